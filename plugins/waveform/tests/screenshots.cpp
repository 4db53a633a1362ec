// A developer tool, never run by ctest: pictures of the plug-in's window with
// a text trace, a binary trace and a screenshot from velqsim, for review.
//   xvfb-run -a tests/waveform_screenshots OUTDIR      (LANGUAGE=zh_CN LANG=zh_CN.UTF-8 for Chinese)
#include "PluginContract.h"
#include "SimProcess.h"

#include <visa.h>

#include <QApplication>
#include <QDir>
#include <QLibrary>
#include <QLocale>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <cstdio>

namespace {

QByteArray Query(ViSession vi, const QByteArray& baCommand)
{
    const QByteArray baLine = baCommand + "\n";
    ViUInt32 uCount = 0;
    viWrite(vi, reinterpret_cast<ViConstBuf>(baLine.constData()), static_cast<ViUInt32>(baLine.size()), &uCount);
    QByteArray baAnswer;
    QByteArray baChunk(1 << 16, '\0');
    ViStatus status;
    do {
        status = viRead(vi, reinterpret_cast<ViBuf>(baChunk.data()), static_cast<ViUInt32>(baChunk.size()), &uCount);
        baAnswer.append(baChunk.constData(), static_cast<int>(uCount));
    } while (status == VI_SUCCESS_MAX_CNT);
    return baAnswer;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir configDir; // the user's own settings stay untouched
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    QApplication app(argc, argv);
    const QString strOut = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(strOut);
    const QString strLang =
        QLocale::system().language() == QLocale::Chinese ? QStringLiteral("zh") : QStringLiteral("en");

    QLibrary lib(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/plugins/VelqWaveform.so"));
    auto pfnCreate = reinterpret_cast<PfnCreatePlugIn>(lib.resolve(VELQ_PLUGIN_SYMBOL_CREATE));
    CSimProcess sim;
    if (!pfnCreate || !sim.Start()) {
        std::fprintf(stderr, "waveform_screenshots: %s %s\n", qPrintable(lib.errorString()),
                     qPrintable(sim.ErrorText()));
        return 1;
    }
    ViSession viRM = VI_NULL, vi = VI_NULL;
    viOpenDefaultRM(&viRM);
    viOpen(viRM, sim.SocketResource().constData(), VI_NULL, 5000, &vi);

    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    const struct
    {
        const char* pszName;
        const char* pszCommand;
    } kShots[] = {
        {"text", "TEST:WAV? 2000"},
        {"binary", "TEST:WAV? 1000000,INT16,SWAP"},
        {"screenshot", "TEST:SCR? PNG"},
        {"bad", "*IDN?"},
    };
    for (const auto& shot : kShots) {
        const QByteArray baAnswer = Query(vi, shot.pszCommand);
        PlugInInput input{&owner, baAnswer.constData(), static_cast<int32_t>(baAnswer.size()), u"", 0};
        PlugInInstance instance{};
        pfnCreate(&instance, &input);
        auto* pWindow = static_cast<QWidget*>(instance.window);
        QTest::qWait(200);
        const QString strFile =
            QStringLiteral("%1/waveform-%2-%3.png").arg(strOut, strLang, QLatin1String(shot.pszName));
        pWindow->grab().save(strFile);
        if (qstrcmp(shot.pszName, "text") == 0) {
            // Close enough to see single samples, with the read-out naming one.
            QWidget* pPlot = pWindow->findChild<QWidget*>(QStringLiteral("m_plot"));
            const QPointF ptAt(pPlot->width() * 0.55, pPlot->height() * 0.5);
            for (int n = 0; n < 16; ++n) {
                QWheelEvent ev(ptAt, pPlot->mapToGlobal(ptAt), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                               Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(pPlot, &ev);
            }
            QTest::mouseMove(pPlot, QPoint(pPlot->width() * 55 / 100, pPlot->height() / 3));
            QTest::qWait(100);
            pWindow->grab().save(QStringLiteral("%1/waveform-%2-text-zoomed.png").arg(strOut, strLang));
        }
        if (qstrcmp(shot.pszName, "binary") == 0) {
            // Zoomed into about one period, with the crosshair on the trace.
            QWidget* pPlot = pWindow->findChild<QWidget*>(QStringLiteral("m_plot"));
            const QPoint ptFrom(pPlot->width() * 45 / 100, 20);
            const QPoint ptTo(pPlot->width() * 62 / 100, pPlot->height() - 60);
            QTest::mousePress(pPlot, Qt::LeftButton, {}, ptFrom);
            QTest::mouseMove(pPlot, ptTo);
            QTest::mouseRelease(pPlot, Qt::LeftButton, {}, ptTo);
            QTest::mouseMove(pPlot, QPoint(pPlot->width() / 2, pPlot->height() / 3));
            QTest::qWait(100);
            pWindow->grab().save(QStringLiteral("%1/waveform-%2-binary-zoomed.png").arg(strOut, strLang));
        }
        std::printf("%s\n", qPrintable(strFile));
    }
    viClose(vi);
    viClose(viRM);
    return 0;
}
