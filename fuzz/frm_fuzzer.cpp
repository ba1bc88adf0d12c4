// Runs arbitrary bytes through the viewer's FRM decoding: the header and frame walk, the
// layout of every direction, and decoding every frame. Any broken promise aborts, so the
// fuzzer reports it; sizes the bytes claim must never cost more than the bytes themselves.
//
// Built with -fsanitize=fuzzer this is a libFuzzer target; linked with replay_main.cpp it runs
// the committed corpus once, as the normal test run does.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "preview/content_kind.h"
#include "preview/frm_image.h"
#include "preview/frm_render.h"
#include "preview/hex_dump.h"
#include "preview/palette.h"

namespace {

using namespace tarvix;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "frm_fuzzer: broken promise: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

void CheckDirection(std::span<const std::uint8_t> bytes, const FrmImage& frm, int direction,
                    const Palette& palette) {
    const DirectionLayout layout = LayOutDirection(frm, direction);
    Check(layout.frames.size() == frm.framesPerDirection, "a layout without every frame");
    Check(layout.width >= 0 && layout.height >= 0 && layout.width <= 65535 * 2 &&
              layout.height <= 65535 * 2,
          "a direction laid out beyond any frame's reach");
    for (int i = 0; i < frm.framesPerDirection; ++i) {
        const FrmFrame& frame = frm.frame(direction, i);
        const FramePlacement place = layout.frames[static_cast<std::size_t>(i)];
        Check(place.left >= 0 && place.top >= 0 && place.left + frame.width <= layout.width &&
                  place.top + frame.height <= layout.height,
              "a frame placed outside its direction's bounds");
        Check(frame.pixelsAt + std::size_t{frame.width} * frame.height <= bytes.size(),
              "a frame's pixels outside the file");
        const QImage image = RenderFrmFrame(bytes, frame, palette);
        if (frame.width == 0 || frame.height == 0) {
            Check(image.isNull(), "an image for a frame without pixels");
            continue;
        }
        Check(image.width() == frame.width && image.height() == frame.height,
              "a frame decoded at the wrong size");
        const std::size_t last = frame.pixelsAt + std::size_t{frame.width} * frame.height - 1;
        Check(image.pixelIndex(frame.width - 1, frame.height - 1) == bytes[last],
              "the last pixel decoded wrong");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)LooksLikeText(bytes);
    (void)HexLine(bytes, HexLineCount(size) - 1);
    const std::optional<FrmImage> frm = ParseFrm(bytes);
    if (!frm) return 0;
    Check(frm->directions == 1 || frm->directions == kFrmMaxDirections, "a direction count");
    Check(frm->framesPerDirection > 0, "an FRM without frames");
    Check(frm->frames.size() ==
              std::size_t{frm->framesPerDirection} * static_cast<std::size_t>(frm->directions),
          "a frame list of the wrong length");
    const Palette palette = ParsePalette(bytes).value_or(GrayscalePalette());
    for (int d = 0; d < frm->directions; ++d) CheckDirection(bytes, *frm, d, palette);
    return 0;
}
