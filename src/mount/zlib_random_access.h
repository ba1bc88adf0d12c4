#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "mount/random_access_content.h"

namespace tarvix::mount {

// Reads at any offset of the content of one zlib-packed entry too large to unpack whole.
//
// The method is zlib's own "zran" one: while the stream is inflated forward, a restart point
// is kept at a deflate block boundary about every `span` bytes of output: where the block
// begins in the stored bytes (a byte and a bit count) and the 32 KiB of output before it,
// which is all that later blocks may refer back to. A read before the position reached
// restarts a raw inflater at the last point at or before it (inflatePrime for the odd bits,
// inflateSetDictionary for the window), so it inflates less than `span` bytes it does not
// return; a sequential read continues where the previous one ended and inflates no byte
// twice. The span grows with the entry so that no entry keeps more than about 64 points
// (2 MiB of windows).
//
// The zlib header and Adler-32 are checked here rather than by zlib, since restarted
// inflaters see raw deflate data: the checksum runs over every byte the first time it is
// inflated, and the last byte of the content is returned only once the stream has ended
// exactly at the end of the stored bytes, with exactly `realSize` bytes and that checksum.
class ZlibRandomAccess final : public RandomAccessContent {
public:
    static constexpr std::uint64_t kMinimumSpan = std::uint64_t{1} << 20;

    ZlibRandomAccess(StoredReader read, std::uint32_t storedSize, std::uint32_t realSize,
                     std::uint64_t minimumSpan = kMinimumSpan);
    ~ZlibRandomAccess() override;
    ZlibRandomAccess(const ZlibRandomAccess&) = delete;
    ZlibRandomAccess& operator=(const ZlibRandomAccess&) = delete;

    Result read(std::uint64_t offset, std::uint8_t* out, std::size_t size,
                std::size_t& produced) override;

    // Bytes inflated so far, those thrown away on the way to a read's offset included.
    std::uint64_t inflatedBytes() const { return inflated_; }
    std::size_t pointCount() const { return points_.size(); }

private:
    struct Point {
        std::uint64_t in = 0;  // the first stored byte not wholly used
        int bits = 0;          // bits of the byte before `in` still to use
        std::uint64_t out = 0;
        std::unique_ptr<std::uint8_t[]> window;
        unsigned windowSize = 0;
    };
    struct Stream;

    Result restartAt(const Point& point);
    // Inflates the next `want` bytes into `out`, or into scratch space when null.
    Result advance(std::uint8_t* out, std::uint64_t want);
    Result inflateSome(std::uint8_t* out, std::size_t space, std::size_t& got, bool& ended);
    Result fillInput();
    void account(const std::uint8_t* data, std::size_t size);
    void keepPoint();
    Result verifyEnd();
    Result fail(Result result);

    StoredReader read_;
    std::uint32_t storedSize_;
    std::uint32_t realSize_;
    std::uint64_t span_;
    std::unique_ptr<Stream> stream_;
    std::unique_ptr<std::uint8_t[]> input_;
    std::unique_ptr<std::uint8_t[]> scratch_;
    std::vector<Point> points_;

    bool positioned_ = false;  // the inflater stands at outPos_
    bool ended_ = false;       // it has seen the end of the deflate data
    std::uint64_t inPos_ = 0;  // the next stored byte to read into input_
    std::uint64_t outPos_ = 0;
    std::uint64_t frontier_ = 0;  // every byte before it has been inflated once and summed
    std::uint32_t adler_ = 1;
    bool verified_ = false;
    std::optional<std::uint64_t> damagedAt_;
    std::uint64_t inflated_ = 0;
};

}  // namespace tarvix::mount
