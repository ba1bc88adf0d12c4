#include "codec/lzss_decoder.h"

#include <algorithm>
#include <cstring>

namespace tarvix {
namespace {

constexpr std::uint32_t kMask = LzssDecoder::kDictionaryBytes - 1;
constexpr std::size_t kLongestMatch = 18;
// A flag byte whose eight items are all matches, and what they may write.
constexpr std::size_t kLongestGroupInput = 1 + 8 * 2;
constexpr std::size_t kLongestGroupOutput = 8 * kLongestMatch;

std::uint32_t MatchLength(std::uint8_t b1) {
    return (b1 & 0x0Fu) + 3;
}

}  // namespace

LzssDecoder::LzssDecoder()
    : window_(std::make_unique_for_overwrite<std::uint8_t[]>(kDictionaryBytes + kChunkBytes +
                                                             kSlackBytes)) {
    reset();
}

void LzssDecoder::reset() {
    fresh_ = write_;
    ringBase_ = (kStartPosition - static_cast<std::uint32_t>(write_)) & kMask;
    flags_ = 0;
    pendingMatch_ = false;
}

LzssDecoder::State LzssDecoder::save() const {
    State state;
    std::memcpy(state.dictionary.data(), window_.get() + write_ - kDictionaryBytes,
                kDictionaryBytes);
    state.position = (static_cast<std::uint32_t>(write_) + ringBase_) & kMask;
    state.spaces = fresh_ + kDictionaryBytes > write_ ? fresh_ + kDictionaryBytes - write_ : 0;
    state.flags = flags_;
    state.pendingMatch = pendingMatch_;
    state.firstMatchByte = firstMatchByte_;
    return state;
}

void LzssDecoder::restore(const State& state) {
    std::memcpy(window_.get(), state.dictionary.data(), kDictionaryBytes);
    write_ = unsent_ = kDictionaryBytes;
    fresh_ = std::min(state.spaces, kDictionaryBytes);
    ringBase_ = (state.position - static_cast<std::uint32_t>(write_)) & kMask;
    flags_ = state.flags;
    pendingMatch_ = state.pendingMatch;
    firstMatchByte_ = state.firstMatchByte;
}

std::uint8_t* LzssDecoder::copyMatch(std::uint8_t b0, std::uint8_t b1, std::uint8_t* to) const {
    const std::uint32_t offset = b0 | (std::uint32_t{b1} & 0xF0) << 4;
    const std::uint32_t length = MatchLength(b1);
    const auto at = static_cast<std::size_t>(to - window_.get());
    std::size_t distance = (static_cast<std::uint32_t>(at) + ringBase_ - offset) & kMask;
    if (distance == 0) distance = kDictionaryBytes;
    const std::uint8_t* from = to - distance;
    if (at - fresh_ < distance) {
        // Reaches back before the output began, into the dictionary's first spaces.
        for (std::uint32_t i = 0; i < length; ++i) {
            to[i] = at + i - distance < fresh_ ? ' ' : from[i];
        }
    } else if (distance >= kLongestMatch) {
        // Source and target apart: one fixed-size copy; what it writes past `length` lies in
        // the window's slack or is overwritten by the next item.
        std::memcpy(to, from, kLongestMatch);
    } else {
        // Byte by byte, each read after the one `distance` before it was written: a match may
        // overlap what it writes.
        for (std::uint32_t i = 0; i < length; ++i) to[i] = from[i];
    }
    return to + length;
}

std::uint8_t* LzssDecoder::decodeFlagGroups(const std::uint8_t*& data, const std::uint8_t* end,
                                            std::uint8_t* to, const std::uint8_t* stop) {
    // Whole flag groups while the data and the room cannot run out inside one: no check per
    // item.
    while (static_cast<std::size_t>(end - data) >= kLongestGroupInput &&
           static_cast<std::size_t>(stop - to) >= kLongestGroupOutput) {
        std::uint32_t flags = *data++;
        for (int item = 0; item < 8; ++item, flags >>= 1) {
            if ((flags & 1) != 0) {
                *to++ = *data++;
            } else {
                to = copyMatch(data[0], data[1], to);
                data += 2;
            }
        }
    }
    return to;
}

std::size_t LzssDecoder::room(const DecodedOutput& out) const {
    const std::size_t inWindow = kDictionaryBytes + kChunkBytes - write_;
    const std::uint64_t withinLimit = out.room() - (write_ - unsent_);
    return static_cast<std::size_t>(std::min<std::uint64_t>(inWindow, withinLimit));
}

bool LzssDecoder::handOn(DecodedOutput& out) {
    const bool ok = out.write(window_.get() + unsent_, write_ - unsent_);
    unsent_ = write_;
    return ok;
}

bool LzssDecoder::makeRoom(std::size_t n, DecodedOutput& out) {
    if (room(out) >= n) return true;
    if (!handOn(out)) return false;
    if (kDictionaryBytes + kChunkBytes - write_ < n) {
        // Keep the dictionary (the last 4096 bytes) in front of a fresh chunk.
        const std::size_t shift = write_ - kDictionaryBytes;
        std::memmove(window_.get(), window_.get() + shift, kDictionaryBytes);
        write_ = unsent_ = kDictionaryBytes;
        fresh_ = fresh_ > shift ? fresh_ - shift : 0;
        ringBase_ = (ringBase_ + static_cast<std::uint32_t>(shift)) & kMask;
    }
    // Past the limit: reserve() refuses and marks the output too long.
    return out.room() >= n || out.reserve(n);
}

bool LzssDecoder::decodeItems(const std::uint8_t*& data, const std::uint8_t* end,
                              DecodedOutput& out) {
    if (pendingMatch_ && data != end) {
        pendingMatch_ = false;
        const std::uint8_t b1 = *data++;
        if (!makeRoom(MatchLength(b1), out)) return false;
        write_ = copyMatch(firstMatchByte_, b1, window_.get() + write_) - window_.get();
    }
    while (data != end) {
        if (flags_ < 0x100) {
            std::uint8_t* to = window_.get() + write_;
            to = decodeFlagGroups(data, end, to, to + room(out));
            write_ = static_cast<std::size_t>(to - window_.get());
            if (data == end) break;
            flags_ = *data++ | 0xFF00u;
            continue;
        }
        const bool literal = (flags_ & 1) != 0;
        flags_ >>= 1;
        if (literal) {
            if (!makeRoom(1, out)) return false;
            window_[write_++] = *data++;
        } else if (end - data >= 2) {
            if (!makeRoom(MatchLength(data[1]), out)) return false;
            write_ = copyMatch(data[0], data[1], window_.get() + write_) - window_.get();
            data += 2;
        } else {
            pendingMatch_ = true;
            firstMatchByte_ = *data++;
        }
    }
    return true;
}

bool LzssDecoder::decode(const std::uint8_t* data, std::size_t size, DecodedOutput& out) {
    const bool decoded = decodeItems(data, data + size, out);
    // What came before a stop is handed on too: a viewer shows it.
    return handOn(out) && decoded;
}

}  // namespace tarvix
