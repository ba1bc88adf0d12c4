#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarvix {

// Fallout's frame format. Every integer is big-endian.
//   header (62 bytes): version (4, always 4), frames per second (2), action frame (2),
//     frames per direction (2), shift x per direction (6 x 2, signed), shift y (6 x 2,
//     signed), offset of each direction's first frame from the frame area (6 x 4), size of
//     the frame area (4)
//   frame area: per direction, its frames one after the other, each a 12-byte header
//     (width 2, height 2, pixel count 4, x and y offset from the previous frame 2 + 2,
//     signed) and then its pixels, row by row, one palette index each.
// A file whose directions 1-5 all start where direction 0 does holds one direction.
inline constexpr std::size_t kFrmHeaderBytes = 62;
inline constexpr std::size_t kFrmFrameHeaderBytes = 12;
inline constexpr int kFrmMaxDirections = 6;

struct FrmFrame {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t offsetX = 0;  // from the previous frame of its direction
    std::int16_t offsetY = 0;
    std::size_t pixelsAt = 0;  // where its width x height indexes begin in the file
};

struct FrmImage {
    std::uint16_t framesPerSecond = 0;
    std::uint16_t actionFrame = 0;
    std::uint16_t framesPerDirection = 0;
    std::array<std::int16_t, kFrmMaxDirections> shiftX{};
    std::array<std::int16_t, kFrmMaxDirections> shiftY{};
    int directions = 0;            // 1 or 6
    std::vector<FrmFrame> frames;  // direction by direction

    const FrmFrame& frame(int direction, int index) const {
        return frames[static_cast<std::size_t>(direction) * framesPerDirection +
                      static_cast<std::size_t>(index)];
    }
};

// Reads the header and every frame's header, and checks that each frame's pixels lie inside
// `bytes`. Nothing when any of it does not hold: then the bytes are not a valid FRM. Costs
// time in the number of frames, not pixels; the pixels stay where they are.
std::optional<FrmImage> ParseFrm(std::span<const std::uint8_t> bytes);

// Where each frame of a direction goes when they are played in one place: frames are anchored
// at the middle of their bottom edge, and each one's offsets move that anchor on from the
// previous frame's.
struct FramePlacement {
    int left = 0;
    int top = 0;
};
struct DirectionLayout {
    std::vector<FramePlacement> frames;  // top-left corners, relative to the bounds
    int width = 0;                       // bounds of every frame of the direction
    int height = 0;
};
DirectionLayout LayOutDirection(const FrmImage& image, int direction);

}  // namespace tarvix
