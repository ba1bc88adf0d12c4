#include "preview/frm_render.h"

#include <cstring>

namespace tarvix {

QImage RenderFrmFrame(std::span<const std::uint8_t> bytes, const FrmFrame& frame,
                      const Palette& palette) {
    if (frame.width == 0 || frame.height == 0) return {};
    QImage image(frame.width, frame.height, QImage::Format_Indexed8);
    if (image.isNull()) return {};  // no memory for it
    QList<QRgb> colours(palette.begin(), palette.end());
    colours[0] = qRgba(0, 0, 0, 0);
    image.setColorTable(colours);
    // ParseFrm checked that width x height pixels follow pixelsAt inside `bytes`.
    const std::uint8_t* row = bytes.data() + frame.pixelsAt;
    for (int y = 0; y < frame.height; ++y, row += frame.width)
        std::memcpy(image.scanLine(y), row, frame.width);
    return image;
}

}  // namespace tarvix
