#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "archive/batch_monitor.h"
#include "archive/dat_archive.h"
#include "archive/dat_entry.h"

namespace tarvix {

// How much of an entry is read, and unpacked, at a time.
inline constexpr std::size_t kStreamChunkBytes = std::size_t{64} * 1024;

// An entry's stored bytes (EntryInfo::storedSize of them), read a chunk at a time and counted
// in the batch's progress.
// The entry must lie within the archive file; a read that comes back short is a read error.
class StoredBytes {
public:
    StoredBytes(const DatArchive& archive, const EntryInfo& info, BatchMonitor* monitor)
        : archive_(archive),
          info_(info),
          monitor_(monitor),
          buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kStreamChunkBytes)) {}

    // Reads the next chunk; false when fewer bytes arrive than the entry has there.
    bool readNext();
    const std::uint8_t* data() const { return buffer_.get(); }
    std::size_t size() const { return size_; }
    bool atEnd() const { return done_ == info_.storedSize; }
    std::uint32_t packedSize() const { return info_.storedSize; }

private:
    const DatArchive& archive_;
    const EntryInfo& info_;
    BatchMonitor* monitor_;
    // Not zeroed: every byte is read into before it is used, and zeroing two chunks for
    // each of 23,000 entries was a visible part of extracting a whole archive.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t size_ = 0;
    std::uint64_t done_ = 0;
};

// Whether `monitor`, if any, asks to stop.
bool CancelRequested(const BatchMonitor* monitor);

// How streaming an entry's bytes somewhere ended.
enum class StreamResult { Ok, ReadFailed, OutputFailed, Damaged, NoMemory, Cancelled };

// Takes each piece of output in turn; false when it could not be kept (a full disk).
using ChunkSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// Hands the stored bytes, from the chunk already read on, to `sink`.
StreamResult CopyStored(StoredBytes& stored, const ChunkSink& sink, const BatchMonitor* monitor);

// Inflates the zlib stream of the stored bytes, from the chunk already read on, into `sink`.
// The stream must be valid to its Adler-32, end exactly where the stored bytes end and give
// exactly `realSize` bytes. The output space offered is never more than one byte past
// `realSize`, so a stream that would give more stops there: no claim of the archive sizes any
// buffer or lets the output grow beyond RealSize.
StreamResult InflateStored(StoredBytes& stored, std::uint32_t realSize, const ChunkSink& sink,
                           const BatchMonitor* monitor);

}  // namespace tarvix
