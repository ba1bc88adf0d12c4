#pragma once

#include <QPlainTextEdit>
#include <QTimer>

namespace tarvix {

// Read-only text in a fixed-width font with the line numbers in a margin on the left; text
// can be selected and copied.
//
// Laying out text costs about 80 ms a MiB, so a long text is shown from its first 64 KiB at
// once and the rest is appended in slices between events: the window paints and answers keys
// meanwhile, and showing another text drops what was still to come.
class LineNumberedText : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit LineNumberedText(QWidget* parent = nullptr);

    void showText(QString text);
    // False while slices of the last text are still to be appended.
    bool isComplete() const { return rest_.isEmpty(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Margin;
    friend class Margin;

    int marginWidth() const;
    void paintMargin(QPaintEvent* event);
    void updateMargin(const QRect& rect, int dy);
    void appendSlice();

    Margin* margin_;
    QString rest_;  // what is still to be appended, beginning after a line break
    QTimer slices_;
};

}  // namespace tarvix
