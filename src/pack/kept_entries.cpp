#include "pack/kept_entries.h"

#include "archive/cp1252.h"

namespace tarvix {

KeptEntries KeepEntries(const DatArchive& archive, const EntryTable& table,
                        const std::function<bool(EntryIndex, std::string_view)>& keep) {
    KeptEntries kept;
    // Entries are copied as they are stored; a Fallout 1 archive's LZSS entries and records have
    // no Fallout 2 form to be copied into.
    if (archive.format() != ArchiveFormat::Dat2) {
        kept.problem = "a Fallout 1 (DAT1) archive: only Fallout 2 archives can be written";
        return kept;
    }
    for (std::size_t i = 0; i < archive.entryCount(); ++i) {
        const auto index = static_cast<EntryIndex>(i);
        EntryInfo info = GetEntryInfo(table, index);
        if (!keep(index, info.name)) continue;
        if (std::uint64_t{info.offset} + info.packedSize > archive.dataAreaSize()) {
            kept.problem = "'" + Cp1252ToUtf8(info.name) +
                           "': its stored bytes lie outside the data area; nothing to copy";
            return kept;
        }
        kept.entries.push_back({std::move(info.name), static_cast<std::uint8_t>(info.type),
                                info.realSize, info.packedSize, info.offset});
    }
    return kept;
}

}  // namespace tarvix
