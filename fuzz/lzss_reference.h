#pragma once

// A second, plain reading of Fallout 1's LZSS packing for the fuzz targets' oracles: the whole
// input in memory, byte by byte, both stored-block readings tried in the game's order. Written
// apart from src/codec on purpose, so that the two can disagree.

#include <cstdint>
#include <optional>
#include <string>

namespace lzssref {

// One LZSS stream with a fresh dictionary; nothing when it ends inside a match.
inline std::optional<std::string> Stream(const std::string& in) {
    std::uint8_t dict[4096];
    for (auto& b : dict) b = ' ';
    unsigned pos = 0xFEE;
    std::string out;
    std::size_t i = 0;
    while (i < in.size()) {
        const unsigned flags = static_cast<std::uint8_t>(in[i++]);
        for (int bit = 0; bit < 8 && i < in.size(); ++bit) {
            if (flags >> bit & 1) {
                const auto c = static_cast<std::uint8_t>(in[i++]);
                out.push_back(static_cast<char>(c));
                dict[pos] = c;
                pos = (pos + 1) % 4096;
                continue;
            }
            if (i + 1 >= in.size()) return std::nullopt;
            const unsigned b0 = static_cast<std::uint8_t>(in[i]);
            const unsigned b1 = static_cast<std::uint8_t>(in[i + 1]);
            i += 2;
            const unsigned offset = b0 | (b1 & 0xF0) << 4;
            for (unsigned k = 0; k < (b1 & 0x0F) + 3; ++k) {
                const std::uint8_t c = dict[(offset + k) % 4096];
                out.push_back(static_cast<char>(c));
                dict[pos] = c;
                pos = (pos + 1) % 4096;
            }
        }
    }
    return out;
}

// Blocks under one reading of stored headers; nothing when they do not end exactly at the end.
inline std::optional<std::string> Blocks(const std::string& in, bool lowBits) {
    std::string out;
    std::size_t i = 0;
    while (i < in.size()) {
        if (in.size() - i < 2) return std::nullopt;
        const auto raw = static_cast<std::uint16_t>(static_cast<std::uint8_t>(in[i]) << 8 |
                                                    static_cast<std::uint8_t>(in[i + 1]));
        i += 2;
        if (raw == 0) {
            if (i != in.size()) return std::nullopt;
            break;
        }
        const bool stored = raw & 0x8000;
        const std::size_t length = !stored ? raw : lowBits ? (raw & 0x7FFF) : 0x10000 - raw;
        if (length > in.size() - i) return std::nullopt;
        const std::string body = in.substr(i, length);
        i += length;
        if (stored) {
            out += body;
        } else {
            const auto decoded = Stream(body);
            if (!decoded) return std::nullopt;
            out += *decoded;
        }
    }
    return out;
}

// The content of an entry packed by `attributes` (0x10 or 0x40) that must be `size` bytes.
inline std::optional<std::string> Unpack(const std::string& in, std::uint32_t attributes,
                                         std::uint32_t size) {
    if (attributes == 0x10) {
        auto out = Stream(in);
        if (out && out->size() == size) return out;
        return std::nullopt;
    }
    for (const bool lowBits : {true, false}) {
        auto out = Blocks(in, lowBits);
        if (out && out->size() == size) return out;
    }
    return std::nullopt;
}

}  // namespace lzssref
