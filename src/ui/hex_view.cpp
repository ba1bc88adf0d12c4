#include "ui/hex_view.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

#include "preview/hex_dump.h"

namespace tarvix {
namespace {

// Offset, two spaces, 16 bytes of three characters, the gap in the middle, two spaces and the
// 16 characters.
constexpr int kLineCharacters = 8 + 2 + 16 * 3 + 1 + 1 + 16;

}  // namespace

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setObjectName(QStringLiteral("previewHex"));
}

void HexView::showBytes(std::vector<std::uint8_t> bytes) {
    bytes_ = std::move(bytes);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

int HexView::lineHeight() const {
    return fontMetrics().lineSpacing();
}

void HexView::updateScrollBars() {
    const int lines = static_cast<int>(HexLineCount(bytes_.size()));
    const int visible = std::max(1, viewport()->height() / lineHeight());
    verticalScrollBar()->setRange(0, std::max(0, lines - visible));
    verticalScrollBar()->setPageStep(visible);
    const int width = fontMetrics().horizontalAdvance(QLatin1Char('0')) * kLineCharacters + 8;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void HexView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    const std::span<const std::uint8_t> shown(bytes_.data(),
                                              std::min(bytes_.size(), kHexShownBytes));
    const int height = lineHeight();
    const int ascent = fontMetrics().ascent();
    const std::size_t lines = HexLineCount(bytes_.size());
    const int x = 4 - horizontalScrollBar()->value();
    auto line = static_cast<std::size_t>(verticalScrollBar()->value());
    for (int y = 0; y < viewport()->height() && line < lines; y += height, ++line)
        painter.drawText(x, y + ascent, HexLine(shown, line));
}

}  // namespace tarvix
