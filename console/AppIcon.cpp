#include "AppIcon.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap DrawIcon(int nSize)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal dUnit = nSize / 16.0;
    // A screen with a trace: an instrument console at a glance.
    painter.setPen(QPen(QColor(30, 48, 80), dUnit));
    painter.setBrush(QColor(24, 96, 160));
    painter.drawRoundedRect(QRectF(0.5 * dUnit, 1.5 * dUnit, 15 * dUnit, 13 * dUnit), 2 * dUnit, 2 * dUnit);
    painter.setBrush(QColor(12, 28, 44));
    painter.setPen(Qt::NoPen);
    painter.drawRect(QRectF(2.5 * dUnit, 3.5 * dUnit, 11 * dUnit, 9 * dUnit));
    QPainterPath trace;
    trace.moveTo(3 * dUnit, 9 * dUnit);
    trace.lineTo(5 * dUnit, 9 * dUnit);
    trace.lineTo(6.5 * dUnit, 5 * dUnit);
    trace.lineTo(8.5 * dUnit, 11.5 * dUnit);
    trace.lineTo(10 * dUnit, 7 * dUnit);
    trace.lineTo(11 * dUnit, 9 * dUnit);
    trace.lineTo(13 * dUnit, 9 * dUnit);
    painter.setPen(QPen(QColor(120, 255, 140), 1.2 * dUnit, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(trace);
    return pixmap;
}

} // namespace

QIcon MakeAppIcon()
{
    QIcon icon;
    for (int nSize : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(DrawIcon(nSize));
    return icon;
}
