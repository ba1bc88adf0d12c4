#pragma once

#include <QFont>
#include <QRect>

namespace tarvix {

// Converts dialog-template units to pixels the way Windows does for a dialog's font:
// a horizontal unit is a quarter of the font's average character width, a vertical unit an
// eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect rect(int x, int y, int width, int height) const;

    int baseWidth() const { return baseWidth_; }
    int baseHeight() const { return baseHeight_; }

private:
    int baseWidth_;
    int baseHeight_;
};

}  // namespace tarvix
