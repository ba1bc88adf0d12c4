#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/decoded_output.h"

namespace tarvix {

// Fallout 1's LZSS: a 4096-byte dictionary filled with spaces, written from 0xFEE on. A flag
// byte gives eight flags, least significant bit first: 1 is a literal byte, 0 a match of two
// bytes b0 b1 that copies (b1 & 0x0F) + 3 bytes from dictionary offset b0 | (b1 & 0xF0) << 4,
// wrapping at 4096, each byte written to the dictionary as it is copied, so a match may
// overlap what it writes. Data may end anywhere, right after a flag byte too, but not inside
// a match.
//
// The dictionary is never kept apart: it is always the last 4096 bytes of output, so the
// decoder writes into a window that holds them in front of the new output and copies a match
// straight from where its bytes were written. Bytes before the start of the output (since
// reset) read as the spaces the dictionary starts with. Writing into a separate 4 KiB ring as
// well cost a fifth of the decoding time.
class LzssDecoder {
public:
    static constexpr std::size_t kDictionaryBytes = 4096;
    static constexpr std::uint32_t kStartPosition = 0xFEE;

    LzssDecoder();

    // A fresh dictionary and no flags pending. Output decoded before and not yet handed on
    // stays, to be handed on by the next decode().
    void reset();

    // Decodes `size` more bytes of data into `out` and hands on all it decoded. False when the
    // output stopped (its limit or its flush); a match whose second byte has not come yet
    // waits for the next call.
    bool decode(const std::uint8_t* data, std::size_t size, DecodedOutput& out);

    // Whether the data so far ends inside a match, which makes it damaged if nothing follows.
    bool inMatch() const { return pendingMatch_; }

    // All a decoder needs to go on from where it is: the dictionary in output order and the
    // flags pending, some 4 KiB where the decoder itself holds a 68 KiB window. Kept by those
    // who restart decoding in the middle of a stream.
    struct State {
        std::array<std::uint8_t, kDictionaryBytes> dictionary{};  // oldest byte first
        std::uint32_t position = 0;  // the dictionary position the next byte takes
        std::size_t spaces = 0;      // how many of the oldest bytes are the first spaces
        std::uint32_t flags = 0;
        bool pendingMatch = false;
        std::uint8_t firstMatchByte = 0;
    };
    // Only between decode() calls, when all that was decoded has been handed on.
    State save() const;
    // Goes on from `state` with nothing decoded and not handed on.
    void restore(const State& state);

private:
    // New output gathered in the window between two hand-ons.
    static constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;
    // Room past the chunk for a match copied in whole words.
    static constexpr std::size_t kSlackBytes = 32;

    bool decodeItems(const std::uint8_t*& data, const std::uint8_t* end, DecodedOutput& out);
    std::uint8_t* decodeFlagGroups(const std::uint8_t*& data, const std::uint8_t* end,
                                   std::uint8_t* to, const std::uint8_t* stop);
    std::uint8_t* copyMatch(std::uint8_t b0, std::uint8_t b1, std::uint8_t* to) const;
    // Room for `n` more bytes in the window and within the output's limit.
    bool makeRoom(std::size_t n, DecodedOutput& out);
    bool handOn(DecodedOutput& out);
    std::size_t room(const DecodedOutput& out) const;

    std::unique_ptr<std::uint8_t[]> window_;
    std::size_t write_ = kDictionaryBytes;   // where the next output byte goes
    std::size_t unsent_ = kDictionaryBytes;  // the first byte not yet handed on
    std::size_t fresh_ = kDictionaryBytes;   // bytes before this read as spaces
    // The dictionary position of window_[write_] is (write_ + ringBase_) mod 4096.
    std::uint32_t ringBase_ = 0;
    // The flags left of the current flag byte, above a marker bit per flag; 0x100 and up mean
    // "some left".
    std::uint32_t flags_ = 0;
    bool pendingMatch_ = false;
    std::uint8_t firstMatchByte_ = 0;
};

}  // namespace tarvix
