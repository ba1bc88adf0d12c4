#pragma once

#include <QAbstractScrollArea>
#include <cstdint>
#include <span>
#include <vector>

namespace tarvix {

// Offsets, bytes in hex and their Windows-1252 characters, 16 bytes a line, for the first
// 1 MiB of some content. Only the lines in view are formatted.
class HexView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit HexView(QWidget* parent = nullptr);

    void showBytes(std::vector<std::uint8_t> bytes);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollBars();
    int lineHeight() const;

    std::vector<std::uint8_t> bytes_;
};

}  // namespace tarvix
