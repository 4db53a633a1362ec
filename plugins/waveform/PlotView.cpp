#include "PlotView.h"

#include "AxisTicks.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

const double kWheelFactor = 0.8; // per notch
const int kMinDragPixels = 5;
// QPainter's coordinates are bounded; a sample far off a zoomed-in view is
// drawn at this distance instead, which keeps its line's direction visible.
const double kFarPixels = 1e5;

double Clamp(double d, double dLimit)
{
    return std::isfinite(d) ? std::clamp(d, -dLimit, dLimit) : 0.0;
}

} // namespace

CPlotView::CPlotView(QWidget* pParent)
    : QWidget(pParent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPlotView::SetSeries(const CSampleSeries* pSeries, const SWaveScaling& scaling)
{
    m_pSeries = pSeries;
    m_scaling = scaling;
    ResetView();
}

void CPlotView::ResetView()
{
    const int64_t nCount = m_pSeries ? m_pSeries->Count() : 0;
    double dX0 = 0;
    double dX1 = std::max<double>(static_cast<double>(nCount - 1), 1);
    if (nCount == 1) {
        dX0 = -1;
        dX1 = 1;
    }
    double dY0 = -1;
    double dY1 = 1;
    if (m_pSeries && m_pSeries->Total().nCount > 0) {
        const SStatistics stats = SStatistics::From(m_pSeries->Total(), m_scaling);
        const double dSpan = stats.dMax - stats.dMin;
        const double dPad = dSpan > 0 ? dSpan * 0.05 : std::max(std::fabs(stats.dMax) * 0.1, 1.0);
        dY0 = stats.dMin - dPad;
        dY1 = stats.dMax + dPad;
    }
    SetView(dX0, dX1, dY0, dY1);
}

SAggregate CPlotView::VisibleAggregate() const
{
    if (!m_pSeries)
        return SAggregate();
    return m_pSeries->Aggregate(static_cast<int64_t>(std::ceil(std::max(m_dX0, -1.0))),
                                static_cast<int64_t>(std::floor(std::min(m_dX1, 9e18))) + 1);
}

QRect CPlotView::PlotRect() const
{
    const QFontMetrics fm = fontMetrics();
    const int nLeft = fm.horizontalAdvance(QStringLiteral("-0.0000000e-00")) + 8;
    return QRect(nLeft, 10, std::max(width() - nLeft - 16, 10), std::max(height() - 10 - fm.height() * 2 - 6, 10));
}

double CPlotView::PixelX(double dIndex) const
{
    const QRect rc = PlotRect();
    return rc.left() + (dIndex - m_dX0) / (m_dX1 - m_dX0) * rc.width();
}

double CPlotView::PixelY(double dY) const
{
    const QRect rc = PlotRect();
    return rc.top() + (m_dY1 - dY) / (m_dY1 - m_dY0) * rc.height();
}

double CPlotView::IndexAt(double dPixel) const
{
    const QRect rc = PlotRect();
    return m_dX0 + (dPixel - rc.left()) / rc.width() * (m_dX1 - m_dX0);
}

double CPlotView::ValueAt(double dPixel) const
{
    const QRect rc = PlotRect();
    return m_dY1 - (dPixel - rc.top()) / rc.height() * (m_dY1 - m_dY0);
}

void CPlotView::SetView(double dX0, double dX1, double dY0, double dY1)
{
    const double dCount = m_pSeries ? static_cast<double>(m_pSeries->Count()) : 1.0;
    // At least two samples across, at most a hundred times the series, and
    // never so narrow that neighbouring pixels fall on the same double.
    double dSpanX = std::clamp(dX1 - dX0, 2.0, dCount * 100 + 2);
    double dMidX = std::clamp((dX0 + dX1) / 2, -dCount * 50, dCount * 51);
    double dSpanY = dY1 - dY0;
    double dMidY = (dY0 + dY1) / 2;
    if (!std::isfinite(dMidY) || !std::isfinite(dSpanY) || dSpanY > 1e300) {
        dMidY = 0;
        dSpanY = 2;
    }
    dSpanY = std::max(dSpanY, std::max(std::fabs(dMidY) * 1e-12, 1e-300));
    if (!std::isfinite(dMidX) || !std::isfinite(dSpanX)) {
        dMidX = dCount / 2;
        dSpanX = std::max(dCount, 2.0);
    }
    m_dX0 = dMidX - dSpanX / 2;
    m_dX1 = dMidX + dSpanX / 2;
    m_dY0 = dMidY - dSpanY / 2;
    m_dY1 = dMidY + dSpanY / 2;
    update();
    emit ViewChanged();
}

void CPlotView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect rcPlot = PlotRect();
    // Axes without a trace would read as a plot of nothing; the window says why there is none.
    if (!m_pSeries || m_pSeries->Count() == 0) {
        painter.setPen(QColor(150, 150, 150));
        painter.drawRect(rcPlot);
        return;
    }
    DrawAxes(painter, rcPlot);
    {
        painter.save();
        painter.setClipRect(rcPlot.adjusted(1, 1, 0, 0));
        DrawTrace(painter, rcPlot);
        painter.restore();
    }
    if (m_bCursor && rcPlot.contains(m_ptCursor) && m_eDrag != EDrag::Pan) {
        painter.setPen(QPen(QColor(120, 120, 120), 0, Qt::DashLine));
        painter.drawLine(m_ptCursor.x(), rcPlot.top(), m_ptCursor.x(), rcPlot.bottom());
        painter.drawLine(rcPlot.left(), m_ptCursor.y(), rcPlot.right(), m_ptCursor.y());
    }
    if (m_eDrag == EDrag::Zoom) {
        const QRect rcBand = QRect(m_ptPress, m_ptCurrent).normalized();
        painter.setPen(QPen(palette().highlight().color(), 0));
        QColor clrFill = palette().highlight().color();
        clrFill.setAlpha(50);
        painter.setBrush(clrFill);
        painter.drawRect(rcBand);
    }
}

void CPlotView::DrawAxes(QPainter& painter, const QRect& rcPlot) const
{
    const QFontMetrics fm = fontMetrics();
    const QColor clrGrid(225, 225, 225);
    const QColor clrText = palette().text().color();

    const double dXLow = m_scaling.X(m_dX0);
    const double dXHigh = m_scaling.X(m_dX1);
    const std::vector<double> lstX = CAxisTicks::Nice(dXLow, dXHigh, std::max(rcPlot.width() / 100, 2));
    const double dStepX = lstX.size() > 1 ? lstX[1] - lstX[0] : 0;
    for (double dTick : lstX) {
        const double dPx = PixelX(m_scaling.Index(dTick));
        painter.setPen(clrGrid);
        painter.drawLine(QPointF(dPx, rcPlot.top()), QPointF(dPx, rcPlot.bottom()));
        painter.setPen(clrText);
        const QString strLabel = CAxisTicks::Label(dTick, dStepX);
        const int nWidth = fm.horizontalAdvance(strLabel);
        painter.drawText(QPointF(dPx - nWidth / 2.0, rcPlot.bottom() + 4 + fm.ascent()), strLabel);
    }
    const std::vector<double> lstY = CAxisTicks::Nice(m_dY0, m_dY1, std::max(rcPlot.height() / 45, 2));
    const double dStepY = lstY.size() > 1 ? lstY[1] - lstY[0] : 0;
    for (double dTick : lstY) {
        const double dPy = PixelY(dTick);
        painter.setPen(clrGrid);
        painter.drawLine(QPointF(rcPlot.left(), dPy), QPointF(rcPlot.right(), dPy));
        painter.setPen(clrText);
        const QString strLabel = CAxisTicks::Label(dTick, dStepY);
        painter.drawText(QPointF(rcPlot.left() - 4 - fm.horizontalAdvance(strLabel), dPy + fm.ascent() / 2.0 - 1),
                         strLabel);
    }
    painter.setPen(QColor(150, 150, 150));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rcPlot);
}

void CPlotView::DrawTrace(QPainter& painter, const QRect& rcPlot)
{
    const QColor clrTrace(20, 90, 200);
    const int nColumns = rcPlot.width();
    const double dStep = (m_dX1 - m_dX0) / nColumns;
    if (dStep > 1) {
        // Dense: one vertical line per pixel column from its minimum to its
        // maximum, joined to the neighbour where the two do not overlap.
        m_pSeries->Decimate(m_dX0, dStep, nColumns, m_lstColumns);
        std::vector<QLineF> lstLines;
        lstLines.reserve(static_cast<size_t>(nColumns) * 2);
        bool bPrev = false;
        double dPrevTop = 0;
        double dPrevBottom = 0;
        for (int c = 0; c < nColumns; ++c) {
            const SAggregate& col = m_lstColumns[static_cast<size_t>(c)];
            if (col.nCount == 0) {
                bPrev = false;
                continue;
            }
            const double dA = Clamp(PixelY(m_scaling.Y(col.dMin)), kFarPixels);
            const double dB = Clamp(PixelY(m_scaling.Y(col.dMax)), kFarPixels);
            const double dTop = std::min(dA, dB);
            const double dBottom = std::max(dA, dB);
            const double dX = rcPlot.left() + c + 0.5;
            lstLines.emplace_back(dX, dTop, dX, dBottom + 0.01);
            if (bPrev && dTop > dPrevBottom)
                lstLines.emplace_back(dX - 1, dPrevBottom, dX, dTop);
            else if (bPrev && dBottom < dPrevTop)
                lstLines.emplace_back(dX - 1, dPrevTop, dX, dBottom);
            bPrev = true;
            dPrevTop = dTop;
            dPrevBottom = dBottom;
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(clrTrace, 0));
        painter.drawLines(lstLines.data(), static_cast<int>(lstLines.size()));
        return;
    }
    // Sparse: a polyline through the samples, broken where a sample is not finite.
    const int64_t nFirst = std::max<int64_t>(static_cast<int64_t>(std::floor(m_dX0)) - 1, 0);
    const int64_t nEnd = std::min<int64_t>(static_cast<int64_t>(std::ceil(m_dX1)) + 2, m_pSeries->Count());
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(clrTrace, 1.5));
    painter.setBrush(clrTrace);
    const bool bDots = 1 / dStep >= 6 || m_pSeries->Count() == 1;
    QPolygonF poly;
    auto fnFlush = [&]() {
        if (poly.size() > 1)
            painter.drawPolyline(poly);
        poly.clear();
    };
    for (int64_t i = nFirst; i < nEnd; ++i) {
        const double dY = m_scaling.Y(m_pSeries->Value(i));
        if (!std::isfinite(dY)) {
            fnFlush();
            continue;
        }
        const QPointF pt(Clamp(PixelX(static_cast<double>(i)), kFarPixels), Clamp(PixelY(dY), kFarPixels));
        poly << pt;
        if (bDots)
            painter.drawEllipse(pt, 2.5, 2.5);
    }
    fnFlush();
}

void CPlotView::mousePressEvent(QMouseEvent* pEvent)
{
    m_ptPress = m_ptCurrent = pEvent->position().toPoint();
    if (pEvent->button() == Qt::LeftButton) {
        m_eDrag = EDrag::Zoom;
    } else if (pEvent->button() == Qt::RightButton || pEvent->button() == Qt::MiddleButton) {
        m_eDrag = EDrag::Pan;
        setCursor(Qt::ClosedHandCursor);
    }
    m_lstPressView[0] = m_dX0;
    m_lstPressView[1] = m_dX1;
    m_lstPressView[2] = m_dY0;
    m_lstPressView[3] = m_dY1;
}

void CPlotView::mouseMoveEvent(QMouseEvent* pEvent)
{
    const QPoint pt = pEvent->position().toPoint();
    m_ptCurrent = pt;
    m_bCursor = true;
    m_ptCursor = pt;
    if (m_eDrag == EDrag::Pan) {
        const QRect rc = PlotRect();
        const double dDx = (pt.x() - m_ptPress.x()) * (m_lstPressView[1] - m_lstPressView[0]) / rc.width();
        const double dDy = (pt.y() - m_ptPress.y()) * (m_lstPressView[3] - m_lstPressView[2]) / rc.height();
        SetView(m_lstPressView[0] - dDx, m_lstPressView[1] - dDx, m_lstPressView[2] + dDy, m_lstPressView[3] + dDy);
    } else {
        update();
    }
    const bool bInside = PlotRect().contains(pt);
    const double dIndex = IndexAt(pt.x());
    const double dNearest = std::round(dIndex);
    const bool bSample = m_pSeries && (m_dX1 - m_dX0) <= PlotRect().width() && dNearest >= 0
                      && dNearest < static_cast<double>(m_pSeries->Count());
    emit CursorMoved(bInside, m_scaling.X(dIndex), ValueAt(pt.y()), bSample ? static_cast<qint64>(dNearest) : -1);
}

void CPlotView::mouseReleaseEvent(QMouseEvent* pEvent)
{
    const EDrag eDrag = m_eDrag;
    m_eDrag = EDrag::None;
    unsetCursor();
    const QPoint pt = pEvent->position().toPoint();
    if (eDrag == EDrag::Zoom) {
        const QRect rcBand = QRect(m_ptPress, pt).normalized().intersected(PlotRect());
        const bool bX = rcBand.width() >= kMinDragPixels;
        const bool bY = rcBand.height() >= kMinDragPixels;
        if (bX || bY) {
            SetView(bX ? IndexAt(rcBand.left()) : m_dX0, bX ? IndexAt(rcBand.right()) : m_dX1,
                    bY ? ValueAt(rcBand.bottom()) : m_dY0, bY ? ValueAt(rcBand.top()) : m_dY1);
            return;
        }
    }
    update();
}

void CPlotView::mouseDoubleClickEvent(QMouseEvent*)
{
    m_eDrag = EDrag::None;
    ResetView();
}

void CPlotView::wheelEvent(QWheelEvent* pEvent)
{
    const double dNotches = pEvent->angleDelta().y() / 120.0;
    if (dNotches == 0)
        return;
    const double dFactor = std::pow(kWheelFactor, dNotches);
    const QPointF pt = pEvent->position();
    if (pEvent->modifiers() & Qt::ControlModifier) {
        const double dAnchor = ValueAt(pt.y());
        SetView(m_dX0, m_dX1, dAnchor - (dAnchor - m_dY0) * dFactor, dAnchor + (m_dY1 - dAnchor) * dFactor);
    } else {
        const double dAnchor = IndexAt(pt.x());
        SetView(dAnchor - (dAnchor - m_dX0) * dFactor, dAnchor + (m_dX1 - dAnchor) * dFactor, m_dY0, m_dY1);
    }
    pEvent->accept();
}

void CPlotView::keyPressEvent(QKeyEvent* pEvent)
{
    const double dSpan = m_dX1 - m_dX0;
    const double dMid = (m_dX0 + m_dX1) / 2;
    switch (pEvent->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        SetView(dMid - dSpan * kWheelFactor / 2, dMid + dSpan * kWheelFactor / 2, m_dY0, m_dY1);
        break;
    case Qt::Key_Minus:
        SetView(dMid - dSpan / kWheelFactor / 2, dMid + dSpan / kWheelFactor / 2, m_dY0, m_dY1);
        break;
    case Qt::Key_Left:
        SetView(m_dX0 - dSpan / 10, m_dX1 - dSpan / 10, m_dY0, m_dY1);
        break;
    case Qt::Key_Right:
        SetView(m_dX0 + dSpan / 10, m_dX1 + dSpan / 10, m_dY0, m_dY1);
        break;
    case Qt::Key_Home:
        ResetView();
        break;
    default:
        QWidget::keyPressEvent(pEvent);
    }
}

void CPlotView::leaveEvent(QEvent*)
{
    m_bCursor = false;
    update();
    emit CursorMoved(false, 0, 0, -1);
}
