#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace tarvix {

// zlib streams (RFC 1950) as the game's archives hold them: level 9 begins them 78 DA.
//
// PackWhole packs a file held in memory (libdeflate); DeflateStream packs one chunk at a time
// (zlib), so that a file of any size is packed in a fixed amount of memory. Each gives the same
// bytes for the same content and level every time, whatever the chunk sizes; the two differ
// from each other, so a caller picks one by something fixed, such as the file's size.
inline constexpr int kDefaultPackLevel = 9;

// Packs `content` at `level` (1..9) into `packed`. False when the stream would not be smaller
// than `content` (an entry is then stored as it is) or zlib fails.
bool PackWhole(std::span<const std::uint8_t> content, int level, std::vector<std::uint8_t>& packed);

class DeflateStream {
public:
    // Receives packed bytes; returns false to stop packing (a write failed, or the packed
    // form has grown too large to be worth keeping).
    using Sink = std::function<bool(std::span<const std::uint8_t>)>;

    DeflateStream(int level, Sink sink);
    ~DeflateStream();
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;

    // False when zlib failed or the sink refused.
    bool write(std::span<const std::uint8_t> chunk);
    bool finish();
    std::uint64_t packedBytes() const { return packedBytes_; }

private:
    bool pump(std::span<const std::uint8_t> chunk, bool last);

    struct State;
    std::unique_ptr<State> state_;
    Sink sink_;
    std::uint64_t packedBytes_ = 0;
    bool failed_ = false;
};

}  // namespace tarvix
