#pragma once

#include "SampleSeries.h"
#include "WaveScaling.h"

#include <QPoint>
#include <QWidget>

#include <vector>

class QPainter;

// A line plot of one series drawn with QPainter. With more samples than
// pixel columns each column shows the exact minimum and maximum of its
// samples. Left drag zooms to a rectangle, right or middle drag pans, the
// wheel zooms x (with Ctrl: y), a double click resets.
class CPlotView : public QWidget
{
    Q_OBJECT

public:
    explicit CPlotView(QWidget* pParent = nullptr);

    // The series must outlive the view or be replaced by SetSeries(nullptr, ...).
    void SetSeries(const CSampleSeries* pSeries, const SWaveScaling& scaling);
    void ResetView();

    // Finite samples whose index lies within the visible x range.
    SAggregate VisibleAggregate() const;
    const SWaveScaling& Scaling() const { return m_scaling; }

signals:
    void ViewChanged();
    // bInside false: the cursor left the plot. dX is scaled x, dY scaled y.
    // nSample is the sample under the cursor while single samples can be
    // told apart (at most one per pixel), else -1.
    void CursorMoved(bool bInside, double dX, double dY, qint64 nSample);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;

private:
    enum class EDrag { None, Zoom, Pan };

    QRect PlotRect() const;
    double PixelX(double dIndex) const;
    double PixelY(double dY) const;
    double IndexAt(double dPixel) const;
    double ValueAt(double dPixel) const;
    void SetView(double dX0, double dX1, double dY0, double dY1);
    void DrawAxes(QPainter& painter, const QRect& rcPlot) const;
    void DrawTrace(QPainter& painter, const QRect& rcPlot);

    const CSampleSeries* m_pSeries = nullptr;
    SWaveScaling m_scaling;
    // Visible range: x in sample index units, y in scaled units.
    double m_dX0 = 0;
    double m_dX1 = 1;
    double m_dY0 = 0;
    double m_dY1 = 1;

    EDrag m_eDrag = EDrag::None;
    QPoint m_ptPress;
    QPoint m_ptCurrent;
    double m_lstPressView[4] = {};
    bool m_bCursor = false;
    QPoint m_ptCursor;
    std::vector<SAggregate> m_lstColumns;
};
