#include "extract/stored_stream.h"

#include <algorithm>
#include <memory>

#include "codec/zlib_inflater.h"

namespace tarvix {
namespace {

StreamResult Verdict(ZlibInflater::Status status) {
    return status == ZlibInflater::Status::NoMemory ? StreamResult::NoMemory
                                                    : StreamResult::Damaged;
}

}  // namespace

bool CancelRequested(const BatchMonitor* monitor) {
    return monitor && monitor->cancelRequested();
}

bool StoredBytes::readNext() {
    const auto want = static_cast<std::size_t>(
        std::min<std::uint64_t>(kStreamChunkBytes, info_.storedSize - done_));
    size_ = archive_.readAt(std::uint64_t{info_.offset} + done_, buffer_.get(), want);
    done_ += size_;
    if (monitor_) monitor_->addBytes(size_);
    return size_ == want;
}

StreamResult CopyStored(StoredBytes& stored, const ChunkSink& sink, const BatchMonitor* monitor) {
    for (;;) {
        if (!sink(stored.data(), stored.size())) return StreamResult::OutputFailed;
        if (stored.atEnd()) return StreamResult::Ok;
        if (CancelRequested(monitor)) return StreamResult::Cancelled;
        if (!stored.readNext()) return StreamResult::ReadFailed;
    }
}

StreamResult InflateStored(StoredBytes& stored, std::uint32_t realSize, const ChunkSink& sink,
                           const BatchMonitor* monitor) {
    ZlibInflater inflater;
    const auto output = std::make_unique_for_overwrite<std::uint8_t[]>(kStreamChunkBytes);
    inflater.feed(stored.data(), stored.size());
    std::uint64_t produced = 0;
    for (;;) {
        if (CancelRequested(monitor)) return StreamResult::Cancelled;
        const std::uint64_t allowed = realSize - produced;
        const auto space =
            static_cast<std::size_t>(std::min<std::uint64_t>(kStreamChunkBytes, allowed + 1));
        std::size_t got = 0;
        const ZlibInflater::Status status = inflater.inflate(output.get(), space, got);
        if (got > allowed) {
            // What came before the excess stays with the sink, for a viewer that shows it.
            return sink(output.get(), static_cast<std::size_t>(allowed))
                       ? StreamResult::Damaged
                       : StreamResult::OutputFailed;
        }
        if (!sink(output.get(), got)) return StreamResult::OutputFailed;
        produced += got;
        switch (status) {
            case ZlibInflater::Status::End: {
                const bool exact =
                    inflater.unusedInput() == 0 && stored.atEnd() && produced == realSize;
                return exact ? StreamResult::Ok : StreamResult::Damaged;
            }
            case ZlibInflater::Status::OutputFull:
                break;
            case ZlibInflater::Status::NeedInput:
                if (stored.atEnd()) return StreamResult::Damaged;  // cut short
                if (!stored.readNext()) return StreamResult::ReadFailed;
                inflater.feed(stored.data(), stored.size());
                break;
            default:
                return Verdict(status);
        }
    }
}

}  // namespace tarvix
