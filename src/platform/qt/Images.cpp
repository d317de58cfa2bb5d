#include "platform/qt/Images.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace corvane {

namespace {

// A magnifying glass: a ring with a light lens and a handle, drawn at 256 px.
QPixmap drawMagnifier() {
    QPixmap pixmap(256, 256);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2f, 0x3b, 0x4c));
    QPainterPath handle;
    handle.moveTo(150, 168);
    handle.lineTo(168, 150);
    handle.lineTo(236, 218);
    handle.quadTo(240, 236, 218, 236);
    handle.closeSubpath();
    painter.drawPath(handle);
    QRadialGradient lens(96, 88, 90);
    lens.setColorAt(0.0, QColor(230, 244, 255));
    lens.setColorAt(1.0, QColor(150, 200, 235));
    painter.setBrush(lens);
    painter.setPen(QPen(QColor(0, 128, 204), 18));
    painter.drawEllipse(QPointF(104, 104), 78, 78);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 10, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(56, 56, 96, 96), 100 * 16, 70 * 16);
    return pixmap;
}

} // namespace

QIcon namedIcon(const QString& name) {
    static QHash<QString, QIcon> cache;
    if (auto found = cache.constFind(name); found != cache.constEnd()) {
        return *found;
    }
    QIcon icon;
    if (name == QLatin1String(kChooseButtonImage)) {
        icon = QIcon(drawMagnifier());
    }
    cache.insert(name, icon);
    return icon;
}

QIcon iconFor(const Image& image) {
    switch (image.kind) {
    case Image::Kind::Named:
        return namedIcon(QString::fromStdString(image.source));
    case Image::Kind::IconForFile: {
        static QFileIconProvider provider;
        return provider.icon(QFileInfo(QString::fromStdString(image.source)));
    }
    case Image::Kind::None:
        break;
    }
    return {};
}

} // namespace corvane
