#pragma once

#include <QColor>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace tarvix {

// 256 colours, as Qt paints them.
using Palette = std::array<QRgb, 256>;

// A palette file holds 256 RGB triples first, each component 0-63 (6 bits); what follows them
// is not colour. Components are scaled to 0-255 (63 becomes 255); a value above 63 is taken
// as full. Nothing for fewer than 768 bytes.
inline constexpr std::size_t kPaletteBytes = 768;
std::optional<Palette> ParsePalette(std::span<const std::uint8_t> bytes);

// For frames without a palette of their archive: index i is grey level i.
Palette GrayscalePalette();

}  // namespace tarvix
