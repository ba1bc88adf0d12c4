#pragma once

#include <QImage>
#include <cstdint>
#include <span>

#include "preview/frm_image.h"
#include "preview/palette.h"

namespace tarvix {

// One frame as an indexed image with the palette's colours, index 0 transparent. `bytes` is
// the file `frame` was parsed from. A null image for a frame without pixels.
QImage RenderFrmFrame(std::span<const std::uint8_t> bytes, const FrmFrame& frame,
                      const Palette& palette);

}  // namespace tarvix
