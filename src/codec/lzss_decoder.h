#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/decoded_output.h"

namespace tarvix {

// Fallout 1's LZSS: a 4096-byte dictionary filled with spaces, written from 0xFEE on. A flag
// byte gives eight flags, least significant bit first: 1 is a literal byte, 0 a match of two
// bytes b0 b1 that copies (b1 & 0x0F) + 3 bytes from dictionary offset b0 | (b1 & 0xF0) << 4,
// wrapping at 4096, each byte written to the dictionary as it is copied, so a match may
// overlap what it writes. Data may end anywhere, right after a flag byte too, but not inside
// a match.
class LzssDecoder {
public:
    static constexpr std::size_t kDictionaryBytes = 4096;
    static constexpr std::uint32_t kStartPosition = 0xFEE;

    LzssDecoder() { reset(); }

    // A fresh dictionary and no flags pending.
    void reset();

    // Decodes `size` more bytes of data into `out`. False when the output stopped (its limit or
    // its flush); a match whose second byte has not come yet waits for the next call.
    bool decode(const std::uint8_t* data, std::size_t size, DecodedOutput& out);

    // Whether the data so far ends inside a match, which makes it damaged if nothing follows.
    bool inMatch() const { return pendingMatch_; }

private:
    bool copyMatch(std::uint8_t b0, std::uint8_t b1, DecodedOutput& out);

    std::array<std::uint8_t, kDictionaryBytes> dictionary_{};
    std::uint32_t position_ = kStartPosition;
    // The flags left of the current flag byte, above a marker bit per flag; 0x100 and up mean
    // "some left".
    std::uint32_t flags_ = 0;
    bool pendingMatch_ = false;
    std::uint8_t firstMatchByte_ = 0;
};

}  // namespace tarvix
