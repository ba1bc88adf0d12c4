#include "ui/palette_swatches.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarvix {
namespace {

constexpr int kColumns = 16;
constexpr int kMinCell = 12;

}  // namespace

PaletteSwatches::PaletteSwatches(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setObjectName(QStringLiteral("previewPalette"));
}

void PaletteSwatches::showPalette(const Palette& palette) {
    palette_ = palette;
    update();
}

QSize PaletteSwatches::sizeHint() const {
    return {kColumns * 24, kColumns * 24};
}

int PaletteSwatches::cellSize() const {
    return std::max(kMinCell, std::min(width(), height()) / kColumns);
}

QString PaletteSwatches::Describe(const Palette& palette, int index) {
    const QRgb c = palette[static_cast<std::size_t>(index)];
    return QStringLiteral("Index %1: RGB %2, %3, %4")
        .arg(index)
        .arg(qRed(c))
        .arg(qGreen(c))
        .arg(qBlue(c));
}

void PaletteSwatches::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int cell = cellSize();
    for (int i = 0; i < kColumns * kColumns; ++i) {
        const QRect rect((i % kColumns) * cell, (i / kColumns) * cell, cell, cell);
        painter.fillRect(rect, QColor(palette_[static_cast<std::size_t>(i)]));
    }
}

void PaletteSwatches::mouseMoveEvent(QMouseEvent* event) {
    const int cell = cellSize();
    const QPoint at = event->position().toPoint();
    const int column = at.x() / cell;
    const int row = at.y() / cell;
    if (at.x() < 0 || at.y() < 0 || column >= kColumns || row >= kColumns) return;
    Q_EMIT hovered(Describe(palette_, row * kColumns + column));
}

}  // namespace tarvix
