#include "gui/Magnifier.h"

#include <QPainter>
#include <QPainterPath>

namespace corvane {

void paintMagnifier(QPainter& painter) {
    painter.save();
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
    painter.restore();
}

} // namespace corvane
