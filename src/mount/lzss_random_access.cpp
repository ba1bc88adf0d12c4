#include "mount/lzss_random_access.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace tarvix::mount {
namespace {

constexpr std::size_t kInputBytes = std::size_t{64} << 10;
// One stream is decoded this much input at a time: at most some 290 KiB of content.
constexpr std::size_t kStreamPieceBytes = std::size_t{32} << 10;
constexpr std::uint64_t kMaxStreamPoints = 64;
constexpr std::uint64_t kToTheEnd = std::numeric_limits<std::uint64_t>::max();

RandomAccessContent::Result ResultOf(DecodeResult result) {
    switch (result) {
        case DecodeResult::Ok:
            return RandomAccessContent::Result::Ok;
        case DecodeResult::ReadFailed:
            return RandomAccessContent::Result::ReadFailed;
        case DecodeResult::OutputFailed:
            return RandomAccessContent::Result::NoMemory;
        case DecodeResult::Damaged:
        case DecodeResult::Cancelled:
            break;
    }
    return RandomAccessContent::Result::Damaged;
}

}  // namespace

LzssRandomAccess::LzssRandomAccess(StoredReader read, std::uint32_t storedSize,
                                   std::uint32_t realSize,
                                   std::optional<StoredBlockReading> reading,
                                   std::uint64_t minimumStreamSpan)
    : read_(std::move(read)),
      storedSize_(storedSize),
      realSize_(realSize),
      reading_(reading),
      streamSpan_(std::max(minimumStreamSpan, realSize / kMaxStreamPoints)),
      input_(std::make_unique_for_overwrite<std::uint8_t[]>(kInputBytes)) {
    points_.push_back(Point{});
}

LzssRandomAccess::~LzssRandomAccess() = default;

LzssRandomAccess::Result LzssRandomAccess::fail(Result result) {
    positioned_ = false;
    if (result == Result::Damaged && !damagedAt_) {
        // The last byte is only handed out verified, so a failure at the end withholds it.
        damagedAt_ = std::min<std::uint64_t>(out_, realSize_ == 0 ? 0 : realSize_ - 1);
    }
    return result;
}

void LzssRandomAccess::restartAt(const Point& point) {
    in_ = point.in;
    out_ = sessionOut_ = carryStart_ = point.out;
    carry_.clear();
    inputFill_ = 0;
    ended_ = false;
    if (!reading_) {
        if (point.stream) {
            stream_.restore(*point.stream);
        } else {
            stream_ = LzssDecoder();
        }
        streamOutput_ = std::make_unique<DecodedOutput>(
            realSize_ - point.out,
            [this](const std::uint8_t* data, std::size_t size) { return keep(data, size); });
    }
    positioned_ = true;
}

bool LzssRandomAccess::keep(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t at = out_;
    out_ += size;
    decoded_ += size;
    if (out_ <= keepFrom_) {
        carry_.clear();
        carryStart_ = out_;
        return true;
    }
    if (at < keepFrom_) {
        const auto skipped = static_cast<std::size_t>(keepFrom_ - at);
        data += skipped;
        size -= skipped;
        carry_.clear();
        carryStart_ = keepFrom_;
    }
    carry_.insert(carry_.end(), data, data + size);
    return true;
}

void LzssRandomAccess::dropBefore(std::uint64_t offset) {
    if (offset <= carryStart_) return;
    const auto dropped =
        static_cast<std::size_t>(std::min<std::uint64_t>(offset - carryStart_, carry_.size()));
    carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(dropped));
    carryStart_ += dropped;
}

void LzssRandomAccess::notePoint(std::uint64_t in, std::uint64_t out, const LzssDecoder* stream) {
    const std::uint64_t span = stream ? streamSpan_ : kBlockSpan;
    if (out < points_.back().out + span) return;
    Point point{in, out, nullptr};
    if (stream) point.stream = std::make_shared<const LzssDecoder::State>(stream->save());
    points_.push_back(std::move(point));
}

// The stored bytes in order from in_, a buffer at a time.
DecodeResult LzssRandomAccess::take(std::uint8_t* into, std::size_t size) {
    while (size > 0) {
        if (in_ < inputAt_ || in_ >= inputAt_ + inputFill_) {
            if (in_ >= storedSize_) return DecodeResult::Damaged;
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(kInputBytes, storedSize_ - in_));
            if (read_(in_, input_.get(), want) != want) return DecodeResult::ReadFailed;
            inputAt_ = in_;
            inputFill_ = want;
        }
        const auto from = static_cast<std::size_t>(in_ - inputAt_);
        const std::size_t n = std::min(size, inputFill_ - from);
        std::memcpy(into, input_.get() + from, n);
        in_ += n;
        into += n;
        size -= n;
    }
    return DecodeResult::Ok;
}

LzssRandomAccess::Result LzssRandomAccess::stepBlocks(std::uint64_t wantEnd) {
    const std::uint64_t start = out_;
    DecodedOutput output(realSize_ - start, [this](const std::uint8_t* data, std::size_t size) {
        return keep(data, size);
    });
    // The decoder asks for a header and then, unless it ends the entry, the block's bytes;
    // before a header, decoding may stop or begin again.
    bool header = true;
    std::uint64_t blockStart = start;
    const PackedReader reader = [&](std::uint8_t* into, std::size_t size) {
        if (header) {
            const std::uint64_t at = start + output.produced();
            blockStart = at;
            notePoint(in_, at, nullptr);
            if (at >= wantEnd) return DecodeResult::Cancelled;
        }
        header = !header;
        return take(into, size);
    };
    const DecodeResult result = blocks_.decode(storedSize_ - in_, *reading_, reader, output);
    if (result == DecodeResult::Cancelled) {
        return output.finish() && !output.failed() ? Result::Ok : Result::NoMemory;
    }
    const DecodeResult verdict = FinishOutput(result, output, realSize_ - start);
    if (verdict == DecodeResult::Damaged && result == DecodeResult::Damaged && !output.tooLong() &&
        !damagedAt_) {
        // A block that ended inside a match has had its output handed on already, and none
        // of it can be trusted; only an output that runs long is sound up to its limit.
        damagedAt_ = blockStart;
    }
    if (verdict != DecodeResult::Ok) return ResultOf(verdict);
    ended_ = verified_ = true;
    return Result::Ok;
}

LzssRandomAccess::Result LzssRandomAccess::stepStream() {
    if (in_ == storedSize_) {
        const DecodeResult verdict =
            FinishOutput(stream_.inMatch() ? DecodeResult::Damaged : DecodeResult::Ok,
                         *streamOutput_, realSize_ - sessionOut_);
        if (verdict != DecodeResult::Ok) return ResultOf(verdict);
        ended_ = verified_ = true;
        return Result::Ok;
    }
    const auto piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(kStreamPieceBytes, storedSize_ - in_));
    if (read_(in_, input_.get(), piece) != piece) return Result::ReadFailed;
    in_ += piece;
    const bool decoded = stream_.decode(input_.get(), piece, *streamOutput_);
    if (!streamOutput_->finish() || streamOutput_->failed()) return Result::NoMemory;
    if (!decoded) return Result::Damaged;
    notePoint(in_, out_, &stream_);
    return Result::Ok;
}

LzssRandomAccess::Result LzssRandomAccess::step(std::uint64_t wantEnd) {
    if (ended_) return Result::Damaged;  // the entry ended before the content did
    return reading_ ? stepBlocks(wantEnd) : stepStream();
}

LzssRandomAccess::Result LzssRandomAccess::readKnown(std::uint64_t offset, std::uint8_t* out,
                                                     std::size_t size) {
    const auto after =
        std::upper_bound(points_.begin(), points_.end(), offset,
                         [](std::uint64_t at, const Point& p) { return at < p.out; });
    const Point& nearest = *std::prev(after);
    if (!positioned_ || offset < carryStart_ || nearest.out > out_) restartAt(nearest);
    keepFrom_ = offset;
    dropBefore(offset);
    const std::uint64_t end = offset + size;
    // The last byte waits for the end of the entry and every check on the way.
    const std::uint64_t wantEnd = end == realSize_ ? kToTheEnd : end;
    while (out_ < end || (wantEnd == kToTheEnd && !verified_)) {
        const Result result = step(wantEnd);
        if (result == Result::Ok) continue;
        // Damage found past the read (the last block, say, runs long) spoils only what
        // follows it: what came before it is handed out, as it would be had the read been
        // made before decoding went further.
        if (result != Result::Damaged || wantEnd == kToTheEnd) return result;
        fail(result);
        if (out_ < end || end > *damagedAt_) return result;
    }
    std::memcpy(out, carry_.data() + (offset - carryStart_), size);
    return Result::Ok;
}

LzssRandomAccess::Result LzssRandomAccess::read(std::uint64_t offset, std::uint8_t* out,
                                                std::size_t size, std::size_t& produced) {
    produced = 0;
    if (offset >= realSize_) return Result::Ok;
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, realSize_ - offset));
    if (damagedAt_ && offset + size > *damagedAt_) return Result::Damaged;
    Result result = Result::Ok;
    try {
        result = readKnown(offset, out, size);
    } catch (const std::bad_alloc&) {
        result = Result::NoMemory;
    }
    if (result != Result::Ok) return fail(result);
    produced = size;
    return Result::Ok;
}

}  // namespace tarvix::mount
