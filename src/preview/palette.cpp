#include "preview/palette.h"

#include <algorithm>

namespace tarvix {
namespace {

int ScaleSixBits(std::uint8_t value) {
    return std::min<int>(value, 63) * 255 / 63;
}

}  // namespace

std::optional<Palette> ParsePalette(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kPaletteBytes) return std::nullopt;
    Palette palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const std::uint8_t* rgb = bytes.data() + 3 * i;
        palette[i] = qRgb(ScaleSixBits(rgb[0]), ScaleSixBits(rgb[1]), ScaleSixBits(rgb[2]));
    }
    return palette;
}

Palette GrayscalePalette() {
    Palette palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const int level = static_cast<int>(i);
        palette[i] = qRgb(level, level, level);
    }
    return palette;
}

}  // namespace tarvix
