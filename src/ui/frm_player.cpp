#include "ui/frm_player.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include "preview/frm_render.h"

namespace tarvix {
namespace {

// Played at this rate when the file says 0 frames per second.
constexpr int kDefaultFps = 10;
// No screen shows more frames than this; a higher rate from the file would only make the
// timer fire back to back.
constexpr int kMaxFps = 240;
// The zoom a new FRM starts with is the largest that keeps its frames within this.
constexpr int kFitWidth = 480;
constexpr int kFitHeight = 360;

const char* const kDirectionNames[kFrmMaxDirections] = {
    "0: north-east", "1: east", "2: south-east", "3: south-west", "4: west", "5: north-west",
};

}  // namespace

// The shown frame at its place among the direction's frames, scaled without smoothing over a
// plain background (index 0 lets it through).
class FrmPlayer::Canvas : public QWidget {
public:
    explicit Canvas(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("previewFrmCanvas"));
    }

    void setFrame(QImage image, QPoint at, QSize bounds) {
        image_ = std::move(image);
        at_ = at;
        bounds_ = bounds;
        resizeToZoom();
        update();
    }
    void setZoom(int zoom) {
        zoom_ = zoom;
        resizeToZoom();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        if (image_.isNull()) return;
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        const QRect target(at_ * zoom_, image_.size() * zoom_);
        painter.drawImage(target, image_);
    }

private:
    void resizeToZoom() { setFixedSize(bounds_.expandedTo(QSize(1, 1)) * zoom_); }

    QImage image_;
    QPoint at_;
    QSize bounds_;
    int zoom_ = 1;
};

FrmPlayer::FrmPlayer(QWidget* parent)
    : QWidget(parent),
      directionBox_(new QComboBox(this)),
      frameBox_(new QSpinBox(this)),
      play_(new QPushButton(tr("Pause"), this)),
      zoomBox_(new QComboBox(this)),
      frameInfo_(new QLabel(this)),
      canvas_(new Canvas(this)) {
    setObjectName(QStringLiteral("previewFrm"));
    directionBox_->setObjectName(QStringLiteral("previewDirection"));
    frameBox_->setObjectName(QStringLiteral("previewFrame"));
    zoomBox_->setObjectName(QStringLiteral("previewZoom"));
    play_->setCheckable(true);
    for (int zoom = 1; zoom <= kMaxZoom; ++zoom) zoomBox_->addItem(QStringLiteral("%1x").arg(zoom));

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("Direction:"), this));
    controls->addWidget(directionBox_);
    controls->addWidget(new QLabel(tr("Frame:"), this));
    controls->addWidget(frameBox_);
    controls->addWidget(play_);
    controls->addWidget(new QLabel(tr("Zoom:"), this));
    controls->addWidget(zoomBox_);
    controls->addWidget(frameInfo_, 1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(canvas_);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setBackgroundRole(QPalette::Dark);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(scroll, 1);

    connect(directionBox_, &QComboBox::currentIndexChanged, this, &FrmPlayer::chooseDirection);
    connect(frameBox_, &QSpinBox::valueChanged, this, &FrmPlayer::chooseFrame);
    connect(play_, &QPushButton::toggled, this, &FrmPlayer::setPlaying);
    connect(zoomBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { canvas_->setZoom(index + 1); });
    connect(&timer_, &QTimer::timeout, this, &FrmPlayer::step);
}

void FrmPlayer::showFrm(std::vector<std::uint8_t> bytes, FrmImage frm, const Palette& palette) {
    timer_.stop();
    bytes_ = std::move(bytes);
    frm_ = std::move(frm);
    palette_ = palette;
    const QSignalBlocker blockDirections(directionBox_);
    directionBox_->clear();
    for (int d = 0; d < frm_.directions; ++d)
        directionBox_->addItem(QString::fromLatin1(kDirectionNames[d]));
    const QSignalBlocker blockFrames(frameBox_);
    frameBox_->setRange(0, frm_.framesPerDirection - 1);
    frameBox_->setValue(0);
    const int fps =
        frm_.framesPerSecond == 0 ? kDefaultFps : std::min<int>(frm_.framesPerSecond, kMaxFps);
    timer_.setInterval(1000 / fps);
    direction_ = -1;
    chooseDirection(0);
    fitZoom();
    const bool animated = frm_.framesPerDirection > 1;
    play_->setEnabled(animated);
    play_->setChecked(animated);
    setPlaying(animated);
}

void FrmPlayer::fitZoom() {
    int zoom = kMaxZoom;
    while (zoom > 1 && (layout_.width * zoom > kFitWidth || layout_.height * zoom > kFitHeight))
        --zoom;
    zoomBox_->setCurrentIndex(zoom - 1);
    canvas_->setZoom(zoom);
}

void FrmPlayer::chooseDirection(int direction) {
    if (direction < 0 || direction >= frm_.directions || direction == direction_) return;
    direction_ = direction;
    layout_ = LayOutDirection(frm_, direction);
    chooseFrame(frameBox_->value());
}

void FrmPlayer::chooseFrame(int index) {
    if (direction_ < 0 || index < 0 || index >= frm_.framesPerDirection) return;
    const FrmFrame& frame = frm_.frame(direction_, index);
    const FramePlacement place = layout_.frames[static_cast<std::size_t>(index)];
    canvas_->setFrame(RenderFrmFrame(bytes_, frame, palette_), QPoint(place.left, place.top),
                      QSize(layout_.width, layout_.height));
    frameInfo_->setText(tr("%1 x %2, offset %3, %4")
                            .arg(frame.width)
                            .arg(frame.height)
                            .arg(frame.offsetX)
                            .arg(frame.offsetY));
}

void FrmPlayer::step() {
    frameBox_->setValue((frameBox_->value() + 1) % frm_.framesPerDirection);
}

void FrmPlayer::setPlaying(bool playing) {
    play_->setText(playing ? tr("Pause") : tr("Play"));
    if (playing && isVisible()) {
        timer_.start();
    } else {
        timer_.stop();
    }
}

// Nothing plays where no one can see it.
void FrmPlayer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    setPlaying(play_->isChecked());
}

void FrmPlayer::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

}  // namespace tarvix
