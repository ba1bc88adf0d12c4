#pragma once

#include <cstdint>
#include <string>

namespace tarvix {

// How an entry's stored bytes hold its content.
enum class PackingKind {
    Stored,      // the content itself
    Zlib,        // one zlib stream (Fallout 2, Type 1)
    LzssBlocks,  // LZSS in blocks with 16-bit headers (Fallout 1, Attributes 0x40)
    LzssStream,  // one LZSS stream without block headers (Fallout 1, Attributes 0x10)
    Unknown,     // a value no reader knows; reported with the raw value
};

// Fallout 2's Type byte: 0 stored, 1 zlib.
inline constexpr std::uint8_t kTypeStored = 0;
inline constexpr std::uint8_t kTypeZlib = 1;

PackingKind PackingOfType(std::uint32_t type);
// Fallout 1's Attributes word, as the game's reader takes it: 0 counts as 0x10, and only the
// bits 0xF0 matter.
PackingKind PackingOfAttributes(std::uint32_t attributes);

inline bool IsLzss(PackingKind kind) {
    return kind == PackingKind::LzssBlocks || kind == PackingKind::LzssStream;
}

// "stored", "zlib", "lzss" or "unknown": the machine-readable word, as in JSON.
const char* PackingKeyword(PackingKind kind);
// What lists and the viewer show: the keyword, or "type <raw>" for an unknown packing.
std::string PackingName(PackingKind kind, std::uint32_t raw);

}  // namespace tarvix
