#pragma once

#include <QLabel>
#include <QStackedWidget>
#include <QWidget>

#include "preview/preview_content.h"
#include "ui/frm_player.h"
#include "ui/hex_view.h"
#include "ui/line_numbered_text.h"
#include "ui/palette_swatches.h"

namespace tarvix {

// The viewer: one entry's content, shown by what it was recognised as, with the status line
// below. It never takes the keyboard from the window that opens it; once the user brings it
// forward, Escape or F3 close it.
class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget* parent);

    // `title` is the entry's internal path.
    void showContent(const QString& title, PreviewContent content);
    QString statusText() const { return status_->text(); }

Q_SIGNALS:
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* makePalettePage();

    QStackedWidget* pages_;
    LineNumberedText* text_;
    HexView* hex_;
    FrmPlayer* frm_;
    PaletteSwatches* swatches_;
    QLabel* swatchInfo_;
    QLabel* image_;
    QLabel* message_;
    QLabel* status_;
};

}  // namespace tarvix
