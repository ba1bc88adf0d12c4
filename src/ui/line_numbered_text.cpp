#include "ui/line_numbered_text.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <utility>

namespace tarvix {
namespace {

constexpr qsizetype kFirstSlice = 64 * 1024;
constexpr qsizetype kNextSlices = 128 * 1024;

// A slice of at most about `size` characters from the front of `text`, cut at a line break,
// which belongs to neither part: `text` keeps what follows it. The whole text when it is
// short enough or has no break to cut at.
QString TakeSlice(QString& text, qsizetype size) {
    const qsizetype newline = text.size() <= size ? -1 : text.lastIndexOf(u'\n', size);
    if (newline <= 0) return std::exchange(text, QString());
    // A "\r\n" break goes whole: a '\r' left at the end would break the line once more.
    const qsizetype end = text.at(newline - 1) == u'\r' ? newline - 1 : newline;
    QString slice = text.left(end);
    text.remove(0, newline + 1);
    return slice;
}

}  // namespace

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
    document()->setUndoRedoEnabled(false);
    slices_.setInterval(0);
    connect(&slices_, &QTimer::timeout, this, &LineNumberedText::appendSlice);
}

void LineNumberedText::showText(QString text) {
    rest_ = std::move(text);
    setPlainText(TakeSlice(rest_, kFirstSlice));
    if (rest_.isEmpty()) {
        slices_.stop();
    } else {
        slices_.start();
    }
    setViewportMargins(marginWidth(), 0, 0, 0);
}

// The slice goes in as a new block, which stands for the line break it was cut at.
void LineNumberedText::appendSlice() {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    cursor.insertText(TakeSlice(rest_, kNextSlices));
    if (rest_.isEmpty()) slices_.stop();
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
