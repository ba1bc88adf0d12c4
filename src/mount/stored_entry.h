#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"

namespace tarvix::mount {

// A folder's file that is no longer the one listed: its size or time differs from the scan's.
inline constexpr const char* kChangedSinceMounted = "changed since it was mounted";

// Where one file's stored bytes are read from, for as long as a reader needs them: an entry of
// an archive the mount keeps open, or a folder's file opened for this reader alone.
struct StoredEntry {
    const DatArchive* archive = nullptr;  // null when the bytes cannot be reached now
    std::unique_ptr<DatArchive> own;      // a folder's file, open while this lives
    EntryInfo info;                       // where in `archive`, how long, how packed
    const char* problem = nullptr;        // why `archive` is null, when more is known than that

    // Whether the stored bytes can be read at all: the archive is there and they lie within
    // it, as extraction demands of them.
    bool reachable() const;
    // Up to `size` stored bytes from `offset` within them; fewer than asked (before the end
    // of the stored bytes) means they could not be read. Nothing is read of an entry that is
    // not reachable().
    std::size_t read(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const;
};

}  // namespace tarvix::mount
