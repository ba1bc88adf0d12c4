#include "mount/zlib_random_access.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace tarvix::mount {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;
constexpr unsigned kWindowBytes = 32 * 1024;
constexpr int kRawDeflate = -15;
constexpr std::uint64_t kMaxPoints = 64;
constexpr std::size_t kHeaderBytes = 2;
constexpr std::size_t kTrailerBytes = 4;

// RFC 1950: deflate with a window of at most 32 KiB, a valid check and no preset dictionary.
bool IsZlibHeader(std::uint8_t cmf, std::uint8_t flg) {
    const bool deflate = (cmf & 0x0F) == 8 && (cmf >> 4) <= 7;
    const bool checked = ((unsigned{cmf} << 8) | flg) % 31 == 0;
    return deflate && checked && (flg & 0x20) == 0;
}

// At the end of a deflate block and not of the last one: where a restart may begin.
bool AtBlockBoundary(const z_stream& stream) {
    return (stream.data_type & 128) != 0 && (stream.data_type & 64) == 0;
}

}  // namespace

struct ZlibRandomAccess::Stream {
    z_stream z{};
    bool ready = false;
    ~Stream() {
        if (ready) inflateEnd(&z);
    }
};

ZlibRandomAccess::ZlibRandomAccess(StoredReader read, std::uint32_t storedSize,
                                   std::uint32_t realSize, std::uint64_t minimumSpan)
    : read_(std::move(read)),
      storedSize_(storedSize),
      realSize_(realSize),
      span_(std::max(minimumSpan, realSize / kMaxPoints)),
      stream_(std::make_unique<Stream>()),
      input_(std::make_unique_for_overwrite<std::uint8_t[]>(kChunkBytes)),
      scratch_(std::make_unique_for_overwrite<std::uint8_t[]>(kChunkBytes)) {
    Point start;
    start.in = kHeaderBytes;
    points_.push_back(std::move(start));
}

ZlibRandomAccess::~ZlibRandomAccess() = default;

ZlibRandomAccess::Result ZlibRandomAccess::fail(Result result) {
    positioned_ = false;
    if (result == Result::Damaged && !damagedAt_) {
        // The last byte is only handed out verified, so a failure at the end withholds it.
        damagedAt_ = std::min<std::uint64_t>(outPos_, realSize_ == 0 ? 0 : realSize_ - 1);
    }
    return result;
}

ZlibRandomAccess::Result ZlibRandomAccess::restartAt(const Point& point) {
    z_stream& z = stream_->z;
    if (!stream_->ready) {
        if (storedSize_ < kHeaderBytes + kTrailerBytes) return fail(Result::Damaged);
        std::array<std::uint8_t, kHeaderBytes> header{};
        if (read_(0, header.data(), header.size()) != header.size()) return Result::ReadFailed;
        if (!IsZlibHeader(header[0], header[1])) return fail(Result::Damaged);
        if (inflateInit2(&z, kRawDeflate) != Z_OK) return Result::NoMemory;
        stream_->ready = true;
    } else if (inflateReset(&z) != Z_OK) {
        return fail(Result::Damaged);
    }
    z.avail_in = 0;
    inPos_ = point.in;
    outPos_ = point.out;
    ended_ = false;
    if (point.bits != 0) {
        std::uint8_t partial = 0;
        --inPos_;
        if (read_(inPos_, &partial, 1) != 1) return Result::ReadFailed;
        ++inPos_;
        inflatePrime(&z, point.bits, partial >> (8 - point.bits));
    }
    if (point.windowSize != 0 &&
        inflateSetDictionary(&z, point.window.get(), point.windowSize) != Z_OK) {
        return fail(Result::Damaged);
    }
    positioned_ = true;
    return Result::Ok;
}

ZlibRandomAccess::Result ZlibRandomAccess::fillInput() {
    // The four bytes of the Adler-32 follow the deflate data; inflate never needs them.
    const std::uint64_t deflateEnd = storedSize_ - kTrailerBytes;
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, deflateEnd - inPos_));
    if (read_(inPos_, input_.get(), size) != size) return Result::ReadFailed;
    stream_->z.next_in = input_.get();
    stream_->z.avail_in = static_cast<uInt>(size);
    inPos_ += size;
    return Result::Ok;
}

void ZlibRandomAccess::account(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t end = outPos_ + size;
    if (end > frontier_) {
        const std::uint64_t fresh = end - frontier_;
        adler_ = static_cast<std::uint32_t>(
            adler32(adler_, data + (size - fresh), static_cast<uInt>(fresh)));
        frontier_ = end;
    }
    outPos_ = end;
    inflated_ += size;
}

void ZlibRandomAccess::keepPoint() {
    const z_stream& z = stream_->z;
    if (!AtBlockBoundary(z) || outPos_ < points_.back().out + span_) return;
    Point point;
    point.in = inPos_ - z.avail_in;
    point.bits = z.data_type & 7;
    point.out = outPos_;
    point.window = std::make_unique_for_overwrite<std::uint8_t[]>(kWindowBytes);
    uInt size = 0;
    if (inflateGetDictionary(&stream_->z, point.window.get(), &size) != Z_OK) return;
    point.windowSize = size;
    points_.push_back(std::move(point));
}

ZlibRandomAccess::Result ZlibRandomAccess::inflateSome(std::uint8_t* out, std::size_t space,
                                                       std::size_t& got, bool& ended) {
    z_stream& z = stream_->z;
    // With the input used up, inflate may still hold the last bits it needs, so it is called
    // even then; it reports no progress when the stream is cut short.
    const bool inputLeft = inPos_ + kTrailerBytes < storedSize_;
    if (z.avail_in == 0 && inputLeft) {
        const Result filled = fillInput();
        if (filled != Result::Ok) return filled;
    }
    z.next_out = out;
    z.avail_out = static_cast<uInt>(space);
    const int status = inflate(&z, Z_BLOCK);
    got = space - z.avail_out;
    account(out, got);
    ended = status == Z_STREAM_END;
    switch (status) {
        case Z_OK:
        case Z_STREAM_END:
            keepPoint();
            return Result::Ok;
        case Z_BUF_ERROR:  // no progress: right only when more input is to come
            return z.avail_in == 0 && inputLeft ? Result::Ok : Result::Damaged;
        case Z_MEM_ERROR:
            return Result::NoMemory;
        default:
            return Result::Damaged;
    }
}

ZlibRandomAccess::Result ZlibRandomAccess::advance(std::uint8_t* out, std::uint64_t want) {
    while (want > 0) {
        if (ended_) return Result::Damaged;  // the stream ended before `realSize` bytes
        std::uint8_t* target = out ? out : scratch_.get();
        const auto space = static_cast<std::size_t>(std::min<std::uint64_t>(want, kChunkBytes));
        std::size_t got = 0;
        const Result result = inflateSome(target, space, got, ended_);
        if (result != Result::Ok) return result;
        want -= got;
        if (out) out += got;
    }
    return Result::Ok;
}

ZlibRandomAccess::Result ZlibRandomAccess::verifyEnd() {
    // One byte of space: a stream that gives more than `realSize` bytes is damaged.
    while (!ended_) {
        std::uint8_t extra = 0;
        std::size_t got = 0;
        const Result result = inflateSome(&extra, 1, got, ended_);
        if (result != Result::Ok) return result;
        if (got != 0) return Result::Damaged;
    }
    const z_stream& z = stream_->z;
    if (z.avail_in != 0 || inPos_ + kTrailerBytes != storedSize_) return Result::Damaged;
    std::array<std::uint8_t, kTrailerBytes> trailer{};
    if (read_(inPos_, trailer.data(), trailer.size()) != trailer.size()) return Result::ReadFailed;
    const std::uint32_t expected = std::uint32_t{trailer[0]} << 24 |
                                   std::uint32_t{trailer[1]} << 16 |
                                   std::uint32_t{trailer[2]} << 8 | trailer[3];
    if (frontier_ != realSize_ || expected != adler_) return Result::Damaged;
    verified_ = true;
    return Result::Ok;
}

ZlibRandomAccess::Result ZlibRandomAccess::read(std::uint64_t offset, std::uint8_t* out,
                                                std::size_t size, std::size_t& produced) {
    produced = 0;
    if (offset >= realSize_) return Result::Ok;
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, realSize_ - offset));
    if (damagedAt_ && offset + size > *damagedAt_) return Result::Damaged;

    const auto after =
        std::upper_bound(points_.begin(), points_.end(), offset,
                         [](std::uint64_t at, const Point& p) { return at < p.out; });
    const Point& nearest = *std::prev(after);
    if (!positioned_ || outPos_ > offset || outPos_ < nearest.out) {
        const Result restarted = restartAt(nearest);
        if (restarted != Result::Ok) return fail(restarted);
    }
    Result result = advance(nullptr, offset - outPos_);
    if (result == Result::Ok) result = advance(out, size);
    if (result == Result::Ok && offset + size == realSize_ && !verified_) result = verifyEnd();
    if (result != Result::Ok) return fail(result);
    produced = size;
    return Result::Ok;
}

}  // namespace tarvix::mount
