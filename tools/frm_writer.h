#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace frmwriter {

// One frame: its header fields and its palette indexes, row by row.
struct Frame {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t offsetX = 0;
    std::int16_t offsetY = 0;
    std::string pixels;
    std::optional<std::uint32_t> pixelCount;  // default: pixels.size()
};

// A whole FRM file. Fields a reader must not trust can be overridden, so tests can make files
// that lie.
struct Frm {
    std::uint32_t version = 4;
    std::uint16_t framesPerSecond = 10;
    std::uint16_t actionFrame = 0;
    std::array<std::int16_t, 6> shiftX{};
    std::array<std::int16_t, 6> shiftY{};
    std::vector<std::vector<Frame>> directions;          // 1 or 6 lists of frames
    std::optional<std::uint16_t> framesPerDirection;     // default: the first list's length
    std::optional<std::array<std::uint32_t, 6>> starts;  // default: where each list was put
    std::optional<std::uint32_t> areaSize;               // default: the frame area's length
    std::size_t gapBeforeEachDirection = 0;              // filler bytes, e.g. 1 for odd offsets
};

std::string BuildFrm(const Frm& frm);

// A frame filled by `index(x, y)`.
template <typename IndexOf>
Frame Draw(std::uint16_t width, std::uint16_t height, IndexOf index) {
    Frame frame;
    frame.width = width;
    frame.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) frame.pixels.push_back(static_cast<char>(index(x, y)));
    return frame;
}

// 768 bytes of 6-bit RGB triples from `colour(i)`, which gives {r, g, b} for index i.
template <typename ColourOf>
std::string SixBitPalette(ColourOf colour) {
    std::string out;
    for (int i = 0; i < 256; ++i) {
        const std::array<int, 3> rgb = colour(i);
        for (int c : rgb) out.push_back(static_cast<char>(c));
    }
    return out;
}

}  // namespace frmwriter
