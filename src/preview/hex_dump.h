#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvix {

inline constexpr std::size_t kHexBytesPerLine = 16;
// The hex view shows no more than this much of an entry.
inline constexpr std::size_t kHexShownBytes = std::size_t{1} << 20;

// Lines the hex view has for content of `size` bytes: one per 16 shown, at least one.
std::size_t HexLineCount(std::size_t size);

// Line `line` of the hex view: its offset (8 hex digits), the 16 bytes in hex in two groups of
// eight, and the same bytes as Windows-1252 characters, control characters as dots, e.g.
// "00000010  41 42 0A ...  AB.".
QString HexLine(std::span<const std::uint8_t> bytes, std::size_t line);

}  // namespace tarvix
