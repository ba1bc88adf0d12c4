#include "archive/dat_entry.h"

#include "archive/entry_table.h"

namespace tarvix {

std::string_view EntryName(const std::uint8_t* entry) {
    std::string_view name(reinterpret_cast<const char*>(entry + 4), ReadU32LE(entry));
    return name.substr(0, name.find('\0'));
}

namespace {

// RealSize, PackedSize and Offset follow the name and the Type byte.
const std::uint8_t* SizeFields(const std::uint8_t* entry) {
    return entry + 4 + ReadU32LE(entry) + 1;
}

// A DAT1 record, as the loader lays it out, keeps its Attributes word as the last four bytes
// of the name field (after a zero byte that ends the name).
std::uint32_t Dat1Attributes(const std::uint8_t* entry) {
    return ReadU32LE(entry + 4 + ReadU32LE(entry) - 4);
}

}  // namespace

std::uint32_t Dat1StoredSize(PackingKind packing, std::uint32_t size, std::uint32_t packedSize) {
    if (packing == PackingKind::Stored) return size;
    if (packing == PackingKind::Unknown && packedSize == 0) return size;
    return packedSize;
}

EntrySizes GetEntrySizes(const EntryTable& table, EntryIndex index) {
    const std::uint8_t* e = table[index];
    const std::uint8_t* fields = SizeFields(e);
    const std::uint32_t realSize = ReadU32LE(fields);
    const std::uint32_t packedSize = ReadU32LE(fields + 4);
    if (table.format() == ArchiveFormat::Dat2) return {realSize, packedSize};
    return {realSize, Dat1StoredSize(PackingOfAttributes(Dat1Attributes(e)), realSize, packedSize)};
}

EntryInfo GetEntryInfo(const EntryTable& table, EntryIndex index) {
    const std::uint8_t* e = table[index];
    const std::uint8_t* fields = SizeFields(e);
    EntryInfo info{std::string(EntryName(e)), ReadU32LE(fields), ReadU32LE(fields + 4),
                   ReadU32LE(fields + 8)};
    info.format = table.format();
    if (info.format == ArchiveFormat::Dat2) {
        info.type = fields[-1];
        info.packing = PackingOfType(info.type);
        info.storedSize = info.packedSize;
    } else {
        info.type = Dat1Attributes(e);
        info.packing = PackingOfAttributes(info.type);
        info.storedSize = Dat1StoredSize(info.packing, info.realSize, info.packedSize);
    }
    return info;
}

PackingKind GetEntryPacking(const EntryTable& table, EntryIndex index) {
    const std::uint8_t* e = table[index];
    if (table.format() == ArchiveFormat::Dat2) return PackingOfType(SizeFields(e)[-1]);
    return PackingOfAttributes(Dat1Attributes(e));
}

FolderAndFile SplitFolderAndFile(std::string_view name) {
    const auto slash = name.rfind('\\');
    if (slash == std::string_view::npos) return {name, name};
    return {name.substr(0, slash), name.substr(slash + 1)};
}

}  // namespace tarvix
