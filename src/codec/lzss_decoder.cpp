#include "codec/lzss_decoder.h"

namespace tarvix {
namespace {

constexpr std::uint32_t kMask = LzssDecoder::kDictionaryBytes - 1;
constexpr std::size_t kLongestMatch = 18;

}  // namespace

void LzssDecoder::reset() {
    dictionary_.fill(' ');
    position_ = kStartPosition;
    flags_ = 0;
    pendingMatch_ = false;
}

bool LzssDecoder::copyMatch(std::uint8_t b0, std::uint8_t b1, DecodedOutput& out) {
    const std::uint32_t offset = b0 | (std::uint32_t{b1} & 0xF0) << 4;
    const std::uint32_t length = (b1 & 0x0Fu) + 3;
    if (!out.reserve(length)) return false;
    // Byte by byte, each written to the dictionary before the next is read: a match may
    // overlap what it writes.
    std::uint8_t* to = out.claim(length);
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint8_t byte = dictionary_[(offset + i) & kMask];
        to[i] = byte;
        dictionary_[(position_ + i) & kMask] = byte;
    }
    position_ = (position_ + length) & kMask;
    return true;
}

bool LzssDecoder::decode(const std::uint8_t* data, std::size_t size, DecodedOutput& out) {
    static_assert(kLongestMatch <= DecodedOutput::kBufferBytes);
    const std::uint8_t* const end = data + size;
    if (pendingMatch_ && data != end) {
        pendingMatch_ = false;
        if (!copyMatch(firstMatchByte_, *data++, out)) return false;
    }
    while (data != end) {
        if (flags_ < 0x100) {
            flags_ = *data++ | 0xFF00u;
            continue;
        }
        const bool literal = (flags_ & 1) != 0;
        flags_ >>= 1;
        if (literal) {
            if (!out.reserve(1)) return false;
            const std::uint8_t byte = *data++;
            *out.claim(1) = byte;
            dictionary_[position_] = byte;
            position_ = (position_ + 1) & kMask;
        } else if (end - data >= 2) {
            if (!copyMatch(data[0], data[1], out)) return false;
            data += 2;
        } else {
            pendingMatch_ = true;
            firstMatchByte_ = *data++;
        }
    }
    return true;
}

}  // namespace tarvix
