#pragma once

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "preview/frm_image.h"
#include "preview/palette.h"

namespace tarvix {

// The frames of an FRM: a direction and a frame to choose, the animation played at the file's
// rate, zoom 1x to 8x without smoothing. Only the frame on screen is ever decoded.
class FrmPlayer : public QWidget {
    Q_OBJECT

public:
    explicit FrmPlayer(QWidget* parent = nullptr);

    void showFrm(std::vector<std::uint8_t> bytes, FrmImage frm, const Palette& palette);
    static constexpr int kMaxZoom = 8;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Canvas;

    void chooseDirection(int direction);
    void chooseFrame(int index);
    void step();
    void setPlaying(bool playing);
    void fitZoom();

    std::vector<std::uint8_t> bytes_;
    FrmImage frm_;
    Palette palette_{};
    DirectionLayout layout_;
    int direction_ = 0;

    QComboBox* directionBox_;
    QSpinBox* frameBox_;
    QPushButton* play_;
    QComboBox* zoomBox_;
    QLabel* frameInfo_;
    Canvas* canvas_;
    QTimer timer_;
};

}  // namespace tarvix
