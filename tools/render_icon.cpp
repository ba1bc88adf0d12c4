// Renders the program's icon, as the window shows it, to a PNG for the desktop's icon theme.
//
//   tarvix_render_icon <size in pixels> <output.png>
//
// The committed PNGs under data/icons/ come from here: `cmake --build <dir> --target
// update_icons` writes them again after the drawing in src/ui/app_icon.cpp changes.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "ui/app_icon.h"

int main(int argc, char** argv) {
    // Drawing needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size <= 0) {
        std::fprintf(stderr, "usage: %s <size> <output.png>\n", argv[0]);
        return 2;
    }
    const QPixmap pixmap = tarvix::AppIcon().pixmap(QSize(size, size), 1.0);
    if (pixmap.size() != QSize(size, size)) {
        std::fprintf(stderr, "no %dx%d icon\n", size, size);
        return 1;
    }
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
