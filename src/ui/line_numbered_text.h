#pragma once

#include <QPlainTextEdit>

namespace tarvix {

// Read-only text in a fixed-width font with the line numbers in a margin on the left; text
// can be selected and copied.
class LineNumberedText : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit LineNumberedText(QWidget* parent = nullptr);

    void showText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Margin;
    friend class Margin;

    int marginWidth() const;
    void paintMargin(QPaintEvent* event);
    void updateMargin(const QRect& rect, int dy);

    Margin* margin_;
};

}  // namespace tarvix
