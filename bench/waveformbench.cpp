// Timings of the waveform plug-in with 10 million float32 samples, driven
// through its contract like the console drives it (bench/run-bench.sh):
//   first plot   CreatePlugIn with the answer until the plot has been painted
//   again        a second invocation with the same answer (window re-used)
//   zoom, pan    one wheel notch or one drag step, until the plot has repainted
#include "PluginContract.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const int kSamples = 10000000;

QByteArray Answer()
{
    QByteArray baPayload(kSamples * 4, Qt::Uninitialized);
    uint32_t uSeed = 1;
    for (int i = 0; i < kSamples; ++i) {
        uSeed = uSeed * 1664525u + 1013904223u;
        const float f = static_cast<float>(std::sin(2 * M_PI * 50.0 * i / kSamples)
                                           + (static_cast<double>(uSeed >> 8) / 16777216.0 - 0.5) * 0.1);
        std::memcpy(baPayload.data() + static_cast<qsizetype>(i) * 4, &f, 4); // the host's order: little-endian here
    }
    const QByteArray baLength = QByteArray::number(baPayload.size());
    return "#" + QByteArray::number(baLength.size()) + baLength + baPayload + "\n";
}

// Counts the plot's paint events; the filter runs before each one is
// delivered, so a count seen after event processing is a finished paint.
class CPaintCounter : public QObject
{
public:
    int m_nPaints = 0;

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint && pObject->objectName() == QLatin1String("m_plot"))
            ++m_nPaints;
        return false;
    }
};

// Until the plot has painted once more than nBefore.
void WaitForPaint(const CPaintCounter& counter, int nBefore)
{
    while (counter.m_nPaints <= nBefore)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct SSteps
{
    std::vector<double> lstMs;
    void Print(const char* pszWhat)
    {
        std::sort(lstMs.begin(), lstMs.end());
        std::printf("  %-34s median %7.2f ms   max %7.2f ms   (%zu steps)\n", pszWhat, lstMs[lstMs.size() / 2],
                    lstMs.back(), lstMs.size());
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLibrary lib(argc > 1 ? QString::fromLocal8Bit(argv[1])
                          : QCoreApplication::applicationDirPath() + QStringLiteral("/plugins/VelqWaveform.so"));
    auto pfnCreate = reinterpret_cast<PfnCreatePlugIn>(lib.resolve(VELQ_PLUGIN_SYMBOL_CREATE));
    if (!pfnCreate) {
        std::fprintf(stderr, "velqwavebench: %s\n", qPrintable(lib.errorString()));
        return 1;
    }
    const QByteArray baAnswer = Answer();
    QWidget owner;
    owner.show();
    PlugInInput input{&owner, baAnswer.constData(), static_cast<int32_t>(baAnswer.size()), u"", 0};
    PlugInInstance instance{};

    CPaintCounter counter;
    app.installEventFilter(&counter);
    QElapsedTimer timer;
    timer.start();
    pfnCreate(&instance, &input);
    WaitForPaint(counter, 0);
    const double dFirst = timer.nsecsElapsed() / 1e6;
    int nPaints = counter.m_nPaints;
    timer.restart();
    pfnCreate(&instance, &input);
    WaitForPaint(counter, nPaints);
    const double dAgain = timer.nsecsElapsed() / 1e6;
    auto* pWindow = static_cast<QWidget*>(instance.window);
    QWidget* pPlot = pWindow ? pWindow->findChild<QWidget*>(QStringLiteral("m_plot")) : nullptr;
    if (!pPlot) {
        std::fprintf(stderr, "velqwavebench: no plot window\n");
        return 1;
    }
    std::printf("Waveform plug-in, %d float32 samples, plot %dx%d px\n", kSamples, pPlot->width(), pPlot->height());
    std::printf("  %-34s %7.1f ms   (target 300 ms)\n", "first plot (new window)", dFirst);
    std::printf("  %-34s %7.1f ms\n", "next invocation (window re-used)", dAgain);

    const QPointF ptCentre(pPlot->width() * 0.6, pPlot->height() * 0.5);
    auto fnWheel = [&](int nDelta) {
        QWheelEvent ev(ptCentre, pPlot->mapToGlobal(ptCentre), QPoint(), QPoint(0, nDelta), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(pPlot, &ev);
    };
    auto fnMouse = [&](QEvent::Type eType, QPointF pt, Qt::MouseButtons buttons) {
        QMouseEvent ev(eType, pt, pPlot->mapToGlobal(pt), Qt::RightButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(pPlot, &ev);
    };
    auto fnTimed = [&](SSteps& steps, const std::function<void()>& fnStep) {
        const int nBefore = counter.m_nPaints;
        timer.restart();
        fnStep();
        pPlot->repaint();
        WaitForPaint(counter, nBefore);
        steps.lstMs.push_back(timer.nsecsElapsed() / 1e6);
    };
    SSteps zoomIn, panZoomed, zoomOut, panFull;
    for (int n = 0; n < 30; ++n)
        fnTimed(zoomIn, [&]() { fnWheel(120); });
    fnMouse(QEvent::MouseButtonPress, ptCentre, Qt::RightButton);
    for (int n = 1; n <= 30; ++n)
        fnTimed(panZoomed, [&]() { fnMouse(QEvent::MouseMove, ptCentre + QPointF(n * 7, 0), Qt::RightButton); });
    fnMouse(QEvent::MouseButtonRelease, ptCentre, Qt::NoButton);
    for (int n = 0; n < 30; ++n)
        fnTimed(zoomOut, [&]() { fnWheel(-120); });
    fnMouse(QEvent::MouseButtonPress, ptCentre, Qt::RightButton);
    for (int n = 1; n <= 30; ++n)
        fnTimed(panFull, [&]() { fnMouse(QEvent::MouseMove, ptCentre - QPointF(n * 7, 0), Qt::RightButton); });
    fnMouse(QEvent::MouseButtonRelease, ptCentre, Qt::NoButton);
    zoomIn.Print("wheel zoom in, redraw");
    panZoomed.Print("pan while zoomed in, redraw");
    zoomOut.Print("wheel zoom out to all, redraw");
    panFull.Print("pan of the whole trace, redraw");
    std::printf("  (target: every zoom or pan step within 30 ms)\n");
    return 0;
}
