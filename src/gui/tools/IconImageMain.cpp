// Writes the program's icon as a PNG of the given side, from the same drawing as the window's
// magnifier, so the installed icon cannot drift from it. Used at build time.
#include "gui/Magnifier.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.png SIDE\n", argv[0]);
        return 2;
    }
    const int side = std::atoi(argv[2]);
    if (side <= 0 || side > 4096) {
        std::fprintf(stderr, "%s: the side must be 1 to 4096 pixels\n", argv[0]);
        return 2;
    }
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        const qreal scale = static_cast<qreal>(side) / corvane::kMagnifierSide;
        painter.scale(scale, scale);
        corvane::paintMagnifier(painter);
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
