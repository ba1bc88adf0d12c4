#include "preview/frm_image.h"

#include <algorithm>
#include <limits>

namespace tarvix {
namespace {

std::uint16_t U16BE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
std::int16_t S16BE(const std::uint8_t* p) {
    return static_cast<std::int16_t>(U16BE(p));
}
std::uint32_t U32BE(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

constexpr std::uint32_t kFrmVersion = 4;

// The frames of one direction, starting at `at`; false when one does not fit `bytes`.
bool ReadDirection(std::span<const std::uint8_t> bytes, std::uint64_t at, FrmImage& image) {
    for (int i = 0; i < image.framesPerDirection; ++i) {
        if (at + kFrmFrameHeaderBytes > bytes.size()) return false;
        const std::uint8_t* header = bytes.data() + at;
        FrmFrame frame;
        frame.width = U16BE(header);
        frame.height = U16BE(header + 2);
        const std::uint32_t pixelCount = U32BE(header + 4);
        frame.offsetX = S16BE(header + 8);
        frame.offsetY = S16BE(header + 10);
        frame.pixelsAt = static_cast<std::size_t>(at + kFrmFrameHeaderBytes);
        if (std::uint64_t{frame.width} * frame.height > pixelCount) return false;
        at = frame.pixelsAt + std::uint64_t{pixelCount};
        if (at > bytes.size()) return false;
        image.frames.push_back(frame);
    }
    return true;
}

}  // namespace

std::optional<FrmImage> ParseFrm(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kFrmHeaderBytes) return std::nullopt;
    const std::uint8_t* h = bytes.data();
    if (U32BE(h) != kFrmVersion) return std::nullopt;
    FrmImage image;
    image.framesPerSecond = U16BE(h + 4);
    image.actionFrame = U16BE(h + 6);
    image.framesPerDirection = U16BE(h + 8);
    std::array<std::uint32_t, kFrmMaxDirections> starts{};
    for (int d = 0; d < kFrmMaxDirections; ++d) {
        image.shiftX[d] = S16BE(h + 10 + 2 * d);
        image.shiftY[d] = S16BE(h + 22 + 2 * d);
        starts[d] = U32BE(h + 34 + 4 * d);
    }
    const std::uint32_t areaSize = U32BE(h + 58);
    if (image.framesPerDirection == 0 || kFrmHeaderBytes + std::uint64_t{areaSize} > bytes.size())
        return std::nullopt;
    const bool oneDirection =
        std::all_of(starts.begin() + 1, starts.end(), [&](auto s) { return s == starts[0]; });
    image.directions = oneDirection ? 1 : kFrmMaxDirections;
    // Every frame takes at least its header, so a count the bytes cannot hold is refused
    // before anything is sized by it.
    const std::uint64_t frameCount = std::uint64_t{image.framesPerDirection} * image.directions;
    if (frameCount * kFrmFrameHeaderBytes > bytes.size() - kFrmHeaderBytes) return std::nullopt;
    image.frames.reserve(static_cast<std::size_t>(frameCount));
    for (int d = 0; d < image.directions; ++d) {
        if (!ReadDirection(bytes, kFrmHeaderBytes + std::uint64_t{starts[d]}, image))
            return std::nullopt;
    }
    return image;
}

namespace {

// Offsets whose sum spreads a direction wider than any frame can be are not worth a canvas
// of that size: such a direction is laid out without them.
constexpr std::int64_t kMaxSpread = 65535;

DirectionLayout LayOut(const FrmImage& image, int direction, bool useOffsets) {
    DirectionLayout layout;
    // Anchors add up 16-bit offsets over at most 65535 frames: well within 64 bits.
    std::int64_t anchorX = 0;
    std::int64_t anchorY = 0;
    std::int64_t left = std::numeric_limits<std::int64_t>::max();
    std::int64_t top = left;
    std::int64_t right = std::numeric_limits<std::int64_t>::min();
    std::int64_t bottom = right;
    std::vector<std::pair<std::int64_t, std::int64_t>> corners;
    corners.reserve(image.framesPerDirection);
    for (int i = 0; i < image.framesPerDirection; ++i) {
        const FrmFrame& frame = image.frame(direction, i);
        if (useOffsets) {
            anchorX += frame.offsetX;
            anchorY += frame.offsetY;
        }
        const std::int64_t x = anchorX - frame.width / 2;
        const std::int64_t y = anchorY - frame.height;
        corners.emplace_back(x, y);
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x + frame.width);
        bottom = std::max(bottom, anchorY);
    }
    if (useOffsets && (right - left > kMaxSpread || bottom - top > kMaxSpread))
        return LayOut(image, direction, false);
    layout.frames.reserve(corners.size());
    for (const auto& [x, y] : corners)
        layout.frames.push_back({static_cast<int>(x - left), static_cast<int>(y - top)});
    layout.width = static_cast<int>(right - left);
    layout.height = static_cast<int>(bottom - top);
    return layout;
}

}  // namespace

DirectionLayout LayOutDirection(const FrmImage& image, int direction) {
    return LayOut(image, direction, true);
}

}  // namespace tarvix
