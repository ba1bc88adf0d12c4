#include "preview/text_decoding.h"

#include "archive/cp1252.h"

namespace tarvix {

QString DecodeCp1252Text(std::span<const std::uint8_t> bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (std::uint8_t byte : bytes) *out++ = QChar(Cp1252ToUnicode(byte));
    return text;
}

}  // namespace tarvix
