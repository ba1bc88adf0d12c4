#include "mount/stored_entry.h"

#include <algorithm>

namespace tarvix::mount {

bool StoredEntry::reachable() const {
    return archive != nullptr &&
           std::uint64_t{info.offset} + info.storedSize <= archive->dataSize();
}

std::size_t StoredEntry::read(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const {
    if (!reachable() || offset >= info.storedSize) return 0;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, info.storedSize - offset));
    return archive->readAt(info.offset + offset, buffer, wanted);
}

}  // namespace tarvix::mount
