// A plain file read as a one-entry archive: the entry list is made in memory, the file's
// bytes are the entry's stored bytes.

#include <algorithm>
#include <limits>
#include <new>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"

namespace tarvix {
namespace {

void PutU32LE(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

bool DatArchive::loadLooseFile(const std::filesystem::path& root,
                               const std::filesystem::path& relative, std::string_view name) {
    CloseArchive();
    path_ = root / relative;
    if (!file_.openBelow(root, relative)) return false;
    const std::optional<std::uint64_t> length = file_.length();
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
    const std::size_t listSize = kEntryFixedBytes + name.size();
    if (!length || *length + listSize + 4 + kTrailerBytes > kLimit) {
        CloseArchive();
        return false;
    }
    const auto size = static_cast<std::uint32_t>(*length);
    dirBlock_ = AllocateLargeBlock(listSize);
    if (!dirBlock_) {
        CloseArchive();
        return false;
    }
    std::uint8_t* entry = dirBlock_.get();
    PutU32LE(entry, static_cast<std::uint32_t>(name.size()));
    std::copy(name.begin(), name.end(), entry + 4);
    std::uint8_t* fixed = entry + 4 + name.size();
    fixed[0] = 0;  // stored as it is
    PutU32LE(fixed + 1, size);
    PutU32LE(fixed + 5, size);
    PutU32LE(fixed + 9, 0);
    dirBlockSize_ = listSize;
    treeSize_ = static_cast<std::uint32_t>(listSize + 4);
    dataSize_ = size + treeSize_ + kTrailerBytes;
    entryCount_ = 1;
    loaded_ = true;
    return true;
}

}  // namespace tarvix
