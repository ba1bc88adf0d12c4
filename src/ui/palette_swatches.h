#pragma once

#include <QWidget>

#include "preview/palette.h"

namespace tarvix {

// A palette's 256 colours as a 16 x 16 grid; says which one is under the pointer.
class PaletteSwatches : public QWidget {
    Q_OBJECT

public:
    explicit PaletteSwatches(QWidget* parent = nullptr);

    void showPalette(const Palette& palette);
    QSize sizeHint() const override;

    // "Index 17: RGB 48, 136, 224"
    static QString Describe(const Palette& palette, int index);

Q_SIGNALS:
    void hovered(const QString& description);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int cellSize() const;

    Palette palette_{};
};

}  // namespace tarvix
