#include "ui/preview_window.h"

#include <QAction>
#include <QKeyEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include "preview/text_decoding.h"

namespace tarvix {
namespace {

QScrollArea* Scrolled(QWidget* content, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidget(content);
    scroll->setAlignment(Qt::AlignCenter);
    return scroll;
}

}  // namespace

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      pages_(new QStackedWidget(this)),
      text_(new LineNumberedText(this)),
      hex_(new HexView(this)),
      frm_(new FrmPlayer(this)),
      swatches_(new PaletteSwatches(this)),
      swatchInfo_(new QLabel(this)),
      image_(new QLabel(this)),
      message_(new QLabel(this)),
      status_(new QLabel(this)) {
    setObjectName(QStringLiteral("previewWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    image_->setObjectName(QStringLiteral("previewImage"));
    message_->setObjectName(QStringLiteral("previewMessage"));
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    status_->setObjectName(QStringLiteral("previewStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    pages_->addWidget(text_);
    pages_->addWidget(hex_);
    pages_->addWidget(frm_);
    pages_->addWidget(makePalettePage());
    pages_->addWidget(Scrolled(image_, this));
    pages_->addWidget(message_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addWidget(status_);

    auto* close = new QAction(this);
    close->setShortcut(Qt::Key_F3);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    resize(760, 540);
}

QWidget* PreviewWindow::makePalettePage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(swatches_, 1);
    layout->addWidget(swatchInfo_);
    swatchInfo_->setObjectName(QStringLiteral("previewSwatchInfo"));
    swatchInfo_->setText(tr("Point at a colour to see its index and RGB."));
    connect(swatches_, &PaletteSwatches::hovered, swatchInfo_, &QLabel::setText);
    return page;
}

void PreviewWindow::showContent(const QString& title, PreviewContent content) {
    setWindowTitle(title);
    status_->setText(content.status);
    QWidget* page = message_;
    if (!content.message.isEmpty()) {
        message_->setText(content.message);
    } else {
        switch (content.kind) {
            case ContentKind::Text: {
                const std::size_t shown = std::min(content.bytes.size(), kTextShownBytes);
                text_->showText(DecodeCp1252Text({content.bytes.data(), shown}));
                page = text_;
                break;
            }
            case ContentKind::Frm:
                frm_->showFrm(std::move(content.bytes), std::move(*content.frm), content.palette);
                page = frm_;
                break;
            case ContentKind::Palette:
                if (const auto palette = ParsePalette(content.bytes))
                    swatches_->showPalette(*palette);
                page = swatches_->parentWidget();
                break;
            case ContentKind::Image:
                image_->setPixmap(QPixmap::fromImage(content.image));
                image_->adjustSize();
                page = image_->parentWidget()->parentWidget();  // its scroll area
                break;
            case ContentKind::Binary:
                hex_->showBytes(std::move(content.bytes));
                page = hex_;
                break;
        }
    }
    pages_->setCurrentWidget(page);
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    Q_EMIT closed();
}

}  // namespace tarvix
