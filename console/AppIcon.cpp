#include "AppIcon.h"

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <iterator>

namespace {

// A screen with a trace: an instrument console at a glance. The picture is
// laid out on a 16-unit grid shared by the bitmaps and the SVG, so the two
// cannot drift apart.
const QRectF kFrame(0.5, 1.5, 15, 13);
constexpr qreal kFrameRadius = 2;
constexpr qreal kFramePen = 1;
const QRectF kScreen(2.5, 3.5, 11, 9);
const QPointF kTrace[] = {{3, 9}, {5, 9}, {6.5, 5}, {8.5, 11.5}, {10, 7}, {11, 9}, {13, 9}};
constexpr qreal kTracePen = 1.2;
const QColor kFrameEdge(30, 48, 80);
const QColor kFrameFill(24, 96, 160);
const QColor kScreenFill(12, 28, 44);
const QColor kTraceColour(120, 255, 140);

QString SvgNumber(qreal d)
{
    return QString::number(d, 'g', 6);
}

} // namespace

QImage DrawAppIcon(int nSize)
{
    QImage image(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(nSize / 16.0, nSize / 16.0);
    painter.setPen(QPen(kFrameEdge, kFramePen));
    painter.setBrush(kFrameFill);
    painter.drawRoundedRect(kFrame, kFrameRadius, kFrameRadius);
    painter.setBrush(kScreenFill);
    painter.setPen(Qt::NoPen);
    painter.drawRect(kScreen);
    QPainterPath trace;
    trace.moveTo(kTrace[0]);
    for (size_t n = 1; n < std::size(kTrace); ++n)
        trace.lineTo(kTrace[n]);
    painter.setPen(QPen(kTraceColour, kTracePen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(trace);
    return image;
}

QByteArray AppIconSvg()
{
    QString strPoints;
    for (const QPointF& pt : kTrace)
        strPoints += SvgNumber(pt.x()) + QLatin1Char(',') + SvgNumber(pt.y()) + QLatin1Char(' ');
    const QString strSvg =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" viewBox=\"0 0 16 16\">\n"
                       "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" ry=\"%5\" fill=\"%6\" "
                       "stroke=\"%7\" stroke-width=\"%8\"/>\n"
                       "  <rect x=\"%9\" y=\"%10\" width=\"%11\" height=\"%12\" fill=\"%13\"/>\n"
                       "  <polyline points=\"%14\" fill=\"none\" stroke=\"%15\" stroke-width=\"%16\" "
                       "stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
                       "</svg>\n")
            .arg(SvgNumber(kFrame.x()), SvgNumber(kFrame.y()), SvgNumber(kFrame.width()), SvgNumber(kFrame.height()),
                 SvgNumber(kFrameRadius), kFrameFill.name(), kFrameEdge.name(), SvgNumber(kFramePen))
            .arg(SvgNumber(kScreen.x()), SvgNumber(kScreen.y()), SvgNumber(kScreen.width()),
                 SvgNumber(kScreen.height()), kScreenFill.name())
            .arg(strPoints.trimmed(), kTraceColour.name(), SvgNumber(kTracePen));
    return strSvg.toUtf8();
}

QIcon MakeAppIcon()
{
    QIcon icon;
    for (int nSize : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(DrawAppIcon(nSize)));
    return icon;
}
