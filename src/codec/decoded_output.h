#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

namespace tarvix {

// Where a decoder puts what it decodes: a buffer of fixed size, handed on to `flush` whenever
// it fills and at the end, and a limit on the bytes in all. A decoder asks for room before it
// writes, so the output stops as soon as it would pass the limit and no claim of an archive
// sizes any buffer.
class DecodedOutput {
public:
    static constexpr std::size_t kBufferBytes = std::size_t{64} * 1024;
    using Flush = std::function<bool(const std::uint8_t* data, std::size_t size)>;

    DecodedOutput(std::uint64_t limit, Flush flush)
        : limit_(limit),
          flush_(std::move(flush)),
          buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferBytes)) {}

    // Room for `n` more bytes (n <= kBufferBytes); false when they would pass the limit
    // (tooLong()) or handing on what came before failed (failed()).
    bool reserve(std::size_t n) {
        if (limit_ - produced_ < n) {
            tooLong_ = true;
            return false;
        }
        return kBufferBytes - fill_ >= n || flushNow();
    }
    // The next `n` bytes of the buffer, after reserve() made room for them, counted as written.
    std::uint8_t* claim(std::size_t n) {
        std::uint8_t* at = buffer_.get() + fill_;
        fill_ += n;
        produced_ += n;
        return at;
    }
    // `size` bytes of any length, room made here.
    bool write(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const std::size_t n = std::min(size, kBufferBytes);
            if (!reserve(n)) return false;
            std::memcpy(buffer_.get() + fill_, data, n);
            fill_ += n;
            produced_ += n;
            data += n;
            size -= n;
        }
        return true;
    }
    // Hands on what is left; false when that failed.
    bool finish() { return fill_ == 0 || flushNow(); }

    std::uint64_t produced() const { return produced_; }
    // Bytes that may still come before the limit.
    std::uint64_t room() const { return limit_ - produced_; }
    bool tooLong() const { return tooLong_; }
    bool failed() const { return failed_; }

private:
    bool flushNow() {
        failed_ = !flush_(buffer_.get(), fill_);
        fill_ = 0;
        return !failed_;
    }

    std::uint64_t limit_;
    Flush flush_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t fill_ = 0;
    std::uint64_t produced_ = 0;
    bool tooLong_ = false;
    bool failed_ = false;
};

}  // namespace tarvix
