#pragma once

#include <QImage>
#include <cstdint>
#include <span>

namespace tarvix {

// A picture in a format Qt reads (with whatever image plugins are installed), within Qt's own
// allocation limit; a null image when it cannot be read.
QImage ReadQtImage(std::span<const std::uint8_t> bytes);

}  // namespace tarvix
