#include "ui/dialog_units.h"

#include <QFontMetrics>

namespace tarvix {
namespace {

// Windows' MulDiv: the product over the divisor, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
    return (value * numerator * 2 + denominator) / (denominator * 2);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // Windows averages the 52 Latin letters and rounds.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseWidth_ = (letters / 26 + 1) / 2;
    baseHeight_ = metrics.height();
}

int DialogUnits::x(int units) const {
    return MulDiv(units, baseWidth_, 4);
}
int DialogUnits::y(int units) const {
    return MulDiv(units, baseHeight_, 8);
}

QRect DialogUnits::rect(int left, int top, int width, int height) const {
    return QRect(x(left), y(top), x(width), y(height));
}

}  // namespace tarvix
