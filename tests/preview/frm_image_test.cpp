#include "preview/frm_image.h"

#include <gtest/gtest.h>

#include "frm_writer.h"
#include "preview/frm_render.h"

namespace tarvix {
namespace {

using frmwriter::BuildFrm;
using frmwriter::Draw;
using frmwriter::Frame;
using frmwriter::Frm;

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A 2x2 frame with indexes 1 2 / 3 0.
Frame TwoByTwo() {
    return Draw(2, 2, [](int x, int y) { return y == 1 && x == 1 ? 0 : 1 + x + 2 * y; });
}

Frm Single(std::vector<Frame> frames) {
    Frm frm;
    frm.directions = {std::move(frames)};
    return frm;
}

Frm SixDirections(int frames) {
    Frm frm;
    for (int d = 0; d < 6; ++d) {
        std::vector<Frame> list;
        for (int i = 0; i < frames; ++i)
            list.push_back(Draw(1 + d, 1 + i, [d](int, int) { return 10 + d; }));
        frm.directions.push_back(list);
    }
    return frm;
}

std::string Cut(std::string bytes, std::size_t less) {
    bytes.resize(bytes.size() - less);
    return bytes;
}

struct RefusedCase {
    const char* what;
    std::string bytes;
};

TEST(FrmImageTest, RefusesWhatDoesNotHold) {
    Frm version = Single({TwoByTwo()});
    version.version = 3;
    Frm noFrames = Single({});
    Frm hugeClaim = Single({TwoByTwo()});
    hugeClaim.directions[0][0].width = 65535;
    hugeClaim.directions[0][0].height = 65535;
    Frm countBelowPixels = Single({TwoByTwo()});
    countBelowPixels.directions[0][0].pixelCount = 3;
    Frm countBeyondFile = Single({TwoByTwo()});
    countBeyondFile.directions[0][0].pixelCount = 0xFFFFFFFFu;
    Frm manyFrames = Single({TwoByTwo()});
    manyFrames.framesPerDirection = 65535;
    Frm areaBeyondFile = Single({TwoByTwo()});
    areaBeyondFile.areaSize = 1000;
    Frm startBeyondFile = SixDirections(1);
    startBeyondFile.starts = std::array<std::uint32_t, 6>{0, 13, 26, 39, 52, 0xFFFFFFF0u};
    const std::vector<RefusedCase> cases = {
        {"empty", ""},
        {"header only, one byte short", Cut(BuildFrm(Single({TwoByTwo()})), 17)},
        {"version other than 4", BuildFrm(version)},
        {"zero frames per direction", BuildFrm(noFrames)},
        {"truncated inside the last pixels", Cut(BuildFrm(Single({TwoByTwo(), TwoByTwo()})), 1)},
        {"truncated inside a frame header", Cut(BuildFrm(Single({TwoByTwo(), TwoByTwo()})), 10)},
        {"truncated sixth direction", Cut(BuildFrm(SixDirections(2)), 2)},
        {"65535 x 65535 claimed over 4 pixels", BuildFrm(hugeClaim)},
        {"pixel count below width x height", BuildFrm(countBelowPixels)},
        {"pixel count past the end", BuildFrm(countBeyondFile)},
        {"65535 frames claimed, one there", BuildFrm(manyFrames)},
        {"frame area larger than the file", BuildFrm(areaBeyondFile)},
        {"direction starting past the end", BuildFrm(startBeyondFile)},
    };
    for (const RefusedCase& c : cases) {
        EXPECT_FALSE(ParseFrm(Bytes(c.bytes))) << c.what;
    }
}

TEST(FrmImageTest, ReadsHeaderAndFrames) {
    Frm frm = Single({TwoByTwo(), Draw(3, 1, [](int x, int) { return 7 + x; })});
    frm.framesPerSecond = 12;
    frm.actionFrame = 1;
    frm.shiftX[0] = -5;
    frm.shiftY[0] = 9;
    frm.directions[0][1].offsetX = -2;
    frm.directions[0][1].offsetY = 3;
    const std::string bytes = BuildFrm(frm);
    const auto image = ParseFrm(Bytes(bytes));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->framesPerSecond, 12);
    EXPECT_EQ(image->actionFrame, 1);
    EXPECT_EQ(image->framesPerDirection, 2);
    EXPECT_EQ(image->directions, 1);
    EXPECT_EQ(image->shiftX[0], -5);
    EXPECT_EQ(image->shiftY[0], 9);
    const FrmFrame& second = image->frame(0, 1);
    EXPECT_EQ(second.width, 3);
    EXPECT_EQ(second.height, 1);
    EXPECT_EQ(second.offsetX, -2);
    EXPECT_EQ(second.offsetY, 3);
    EXPECT_EQ(second.pixelsAt, kFrmHeaderBytes + 12 + 4 + 12);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[second.pixelsAt + 2]), 9);
}

struct DirectionsCase {
    const char* what;
    std::size_t gap;
};

// Six lists of frames, each direction's frames a colour of their own; directions may begin at
// odd offsets, which nothing aligns.
TEST(FrmImageTest, SixDirectionsAtAnyOffsets) {
    for (const DirectionsCase& c :
         {DirectionsCase{"packed", 0}, DirectionsCase{"odd", 1}, DirectionsCase{"gaps of 3", 3}}) {
        SCOPED_TRACE(c.what);
        Frm frm = SixDirections(3);
        frm.gapBeforeEachDirection = c.gap;
        const std::string bytes = BuildFrm(frm);
        const auto image = ParseFrm(Bytes(bytes));
        ASSERT_TRUE(image);
        ASSERT_EQ(image->directions, 6);
        ASSERT_EQ(image->frames.size(), 18u);
        for (int d = 0; d < 6; ++d) {
            for (int i = 0; i < 3; ++i) {
                const FrmFrame& f = image->frame(d, i);
                EXPECT_EQ(f.width, 1 + d);
                EXPECT_EQ(f.height, 1 + i);
                EXPECT_EQ(static_cast<std::uint8_t>(bytes[f.pixelsAt]), 10 + d);
            }
        }
    }
}

TEST(FrmImageTest, DirectionsThatShareTheFirstStartAreOne) {
    const auto image = ParseFrm(Bytes(BuildFrm(Single({TwoByTwo()}))));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->directions, 1);
}

TEST(FrmImageTest, RenderedWithThePaletteAndIndexZeroTransparent) {
    const std::string bytes = BuildFrm(Single({TwoByTwo()}));
    const auto image = ParseFrm(Bytes(bytes));
    ASSERT_TRUE(image);
    Palette palette{};
    palette[0] = qRgb(9, 9, 9);
    palette[1] = qRgb(255, 0, 0);
    palette[2] = qRgb(0, 255, 0);
    palette[3] = qRgb(0, 0, 255);
    const QImage frame = RenderFrmFrame(Bytes(bytes), image->frame(0, 0), palette);
    ASSERT_EQ(frame.size(), QSize(2, 2));
    EXPECT_EQ(frame.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(frame.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(frame.pixel(0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(qAlpha(frame.pixel(1, 1)), 0);
}

TEST(FrmImageTest, FramesWithoutPixelsRenderAsNothing) {
    const std::string bytes =
        BuildFrm(Single({Draw(0, 5, [](int, int) { return 0; }), TwoByTwo()}));
    const auto image = ParseFrm(Bytes(bytes));
    ASSERT_TRUE(image);
    EXPECT_TRUE(RenderFrmFrame(Bytes(bytes), image->frame(0, 0), GrayscalePalette()).isNull());
}

// Frames hang from the middle of their bottom edge; each frame's offsets move that point on.
TEST(FrmImageTest, LayoutFollowsTheOffsetsFromFrameToFrame) {
    Frm frm =
        Single({Draw(4, 4, [](int, int) { return 1; }), Draw(2, 2, [](int, int) { return 2; })});
    frm.directions[0][1].offsetX = 3;
    frm.directions[0][1].offsetY = -1;
    const auto image = ParseFrm(Bytes(BuildFrm(frm)));
    ASSERT_TRUE(image);
    const DirectionLayout layout = LayOutDirection(*image, 0);
    EXPECT_EQ(layout.width, 6);
    EXPECT_EQ(layout.height, 4);
    ASSERT_EQ(layout.frames.size(), 2u);
    EXPECT_EQ(layout.frames[0].left, 0);
    EXPECT_EQ(layout.frames[0].top, 0);
    EXPECT_EQ(layout.frames[1].left, 4);
    EXPECT_EQ(layout.frames[1].top, 1);
}

// 4000 frames each moving 32767 pixels on would need a canvas 131 million pixels wide.
TEST(FrmImageTest, OffsetsSpreadBeyondAnyFrameAreIgnored) {
    std::vector<Frame> frames(4000, Draw(2, 1, [](int, int) { return 1; }));
    for (Frame& f : frames) f.offsetX = 32767;
    const auto image = ParseFrm(Bytes(BuildFrm(Single(frames))));
    ASSERT_TRUE(image);
    const DirectionLayout layout = LayOutDirection(*image, 0);
    EXPECT_EQ(layout.width, 2);
    EXPECT_EQ(layout.height, 1);
    EXPECT_EQ(layout.frames.back().left, 0);
}

}  // namespace
}  // namespace tarvix
