#include "extract/written_path.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"

namespace tarvix {
namespace {

// The rule EntryExtractor writes by: the zlib header of maximum compression, read from
// stored bytes that lie within the data area.
bool WrittenAsGzip(const DatArchive& archive, const EntryInfo& info) {
    if (info.packedSize < 2 || std::uint64_t{info.offset} + info.packedSize > archive.dataSize())
        return false;
    std::array<std::uint8_t, 2> header{};
    return archive.readAt(info.offset, header.data(), header.size()) == header.size() &&
           header[0] == 0x78 && header[1] == 0xDA;
}

}  // namespace

std::string WrittenPathOf(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                          const ExtractTarget& target) {
    const EntryInfo info = GetEntryInfo(table, index);
    std::string path = Cp1252ToUtf8(OutputPathOf(target, info.name));
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!target.unpack && WrittenAsGzip(archive, info)) path += ".gz";
    return path;
}

}  // namespace tarvix
