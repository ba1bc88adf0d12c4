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
// PackWhole packs a file held in memory; DeflateStream packs one chunk at a time, so that a
// file of any size is packed in a fixed amount of memory. Both give the same bytes for the
// same content and level, whatever the chunk sizes.
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
