#include "preview/hex_dump.h"

#include <algorithm>

#include "archive/cp1252.h"

namespace tarvix {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

QChar Printable(std::uint8_t byte) {
    const char16_t c = Cp1252ToUnicode(byte);
    return c < 0x20 || (c >= 0x7F && c < 0xA0) ? QChar(u'.') : QChar(c);
}

}  // namespace

std::size_t HexLineCount(std::size_t size) {
    const std::size_t shown = std::min(size, kHexShownBytes);
    return std::max<std::size_t>(1, (shown + kHexBytesPerLine - 1) / kHexBytesPerLine);
}

QString HexLine(std::span<const std::uint8_t> bytes, std::size_t line) {
    const std::size_t begin = line * kHexBytesPerLine;
    QString text = QStringLiteral("%1  ").arg(begin, 8, 16, QLatin1Char('0')).toUpper();
    QString chars;
    for (std::size_t i = 0; i < kHexBytesPerLine; ++i) {
        if (i == kHexBytesPerLine / 2) text += QLatin1Char(' ');
        if (begin + i < bytes.size()) {
            const std::uint8_t byte = bytes[begin + i];
            text += QLatin1Char(kDigits[byte >> 4]);
            text += QLatin1Char(kDigits[byte & 0xF]);
            chars += Printable(byte);
        } else {
            text += QStringLiteral("  ");
        }
        text += QLatin1Char(' ');
    }
    return text + QLatin1Char(' ') + chars;
}

}  // namespace tarvix
