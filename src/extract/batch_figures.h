#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <thread>

#include "archive/dat_entry.h"
#include "archive/entry_table.h"

namespace tarvix {

// Workers for `items` pieces of work when `asked` for (0 for one per core): never more than
// there is work for, never none.
inline unsigned WorkerCount(unsigned asked, std::size_t items) {
    const unsigned threads = asked != 0 ? asked : std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::clamp<std::size_t>(items, 1, threads));
}

// The stored bytes of `entries` together: what a batch that reads them all counts up to.
inline std::uint64_t StoredBytesOf(const EntryTable& table, std::span<const EntryIndex> entries) {
    std::uint64_t bytes = 0;
    for (EntryIndex entry : entries) bytes += GetEntrySizes(table, entry).packedSize;
    return bytes;
}

}  // namespace tarvix
