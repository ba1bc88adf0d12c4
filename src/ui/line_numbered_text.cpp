#include "ui/line_numbered_text.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>

namespace tarvix {

class LineNumberedText::Margin : public QWidget {
public:
    explicit Margin(LineNumberedText* text) : QWidget(text), text_(text) {}
    QSize sizeHint() const override { return {text_->marginWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { text_->paintMargin(event); }

private:
    LineNumberedText* text_;
};

LineNumberedText::LineNumberedText(QWidget* parent)
    : QPlainTextEdit(parent), margin_(new Margin(this)) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setObjectName(QStringLiteral("previewText"));
    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this] { setViewportMargins(marginWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this, &LineNumberedText::updateMargin);
}

void LineNumberedText::showText(const QString& text) {
    setPlainText(text);
    setViewportMargins(marginWidth(), 0, 0, 0);
}

int LineNumberedText::marginWidth() const {
    const int digits = static_cast<int>(QString::number(std::max(1, blockCount())).size());
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void LineNumberedText::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    margin_->setGeometry(area.left(), area.top(), marginWidth(), area.height());
}

void LineNumberedText::updateMargin(const QRect& rect, int dy) {
    if (dy != 0) {
        margin_->scroll(0, dy);
    } else {
        margin_->update(0, rect.y(), margin_->width(), rect.height());
    }
}

// Only the blocks in view are visited, so a long text costs no more than a short one.
void LineNumberedText::paintMargin(QPaintEvent* event) {
    QPainter painter(margin_);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    const int lineHeight = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible() && top + lineHeight >= event->rect().top()) {
            painter.drawText(0, static_cast<int>(top), margin_->width() - 4, lineHeight,
                             Qt::AlignRight, QString::number(block.blockNumber() + 1));
        }
        top += blockBoundingRect(block).height();
        block = block.next();
    }
}

}  // namespace tarvix
