#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tarvix {
namespace {

// A weathered crate with a downward arrow: something taken out of a box.
QPixmap Render(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.scale(s, s);

    p.setPen(QPen(QColor(0x3B, 0x2A, 0x12), 1.5));
    p.setBrush(QColor(0xB9, 0x8A, 0x3E));
    p.drawRoundedRect(QRectF(3, 9, 26, 20), 2, 2);
    p.drawLine(QPointF(3, 16), QPointF(29, 16));

    QPainterPath arrow;
    arrow.moveTo(16, 27);
    arrow.lineTo(9, 19);
    arrow.lineTo(13, 19);
    arrow.lineTo(13, 2);
    arrow.lineTo(19, 2);
    arrow.lineTo(19, 19);
    arrow.lineTo(23, 19);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x10, 0x30, 0x10), 1.2));
    p.setBrush(QColor(0x5C, 0xD6, 0x4A));
    p.drawPath(arrow);
    return pixmap;
}

}  // namespace

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(Render(size));
    return icon;
}

}  // namespace tarvix
