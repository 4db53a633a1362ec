// Start-up figures for bench/run-bench.sh, under a display (Xvfb):
//   velqconsolebench console      the console's main window, prepared as the program prepares it
//   velqconsolebench bare N       a plain dialog of N ordinary widgets, the yardstick
//   velqconsolebench stall RESOURCE BYTES   connects the console, runs "TEST:BLOC? BYTES" and
//                                 prints "RESULT <ms>": the longest gap between ticks of a 1 ms
//                                 timer on the window's thread while the answer is read and shown
// Each prints "EXPOSED <ns>" (CLOCK_REALTIME when the window was first exposed), so that the
// script can count from before the process was started, loading of libraries included, and
// "WIDGETS <n>" (the window's widgets, to size the yardstick).
#include "VelquistApp.h"
#include "InstrumentVISA.h"
#include "VelquistDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

void PrintExposed(QWidget& window)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 30000)) {
        std::fprintf(stderr, "velqconsolebench: the window was never exposed\n");
        std::exit(1);
    }
    timespec ts = {};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::printf("EXPOSED %lld\nWIDGETS %d\n", static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec,
                static_cast<int>(window.findChildren<QWidget*>().size()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "console") == 0) {
        CVelquistApp app(argc, argv);
        CVelquistApp::IgnoreBrokenPipe();
        CVelquistDlg dlg;
        dlg.InitDialog();
        PrintExposed(dlg);
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "stall") == 0) {
        CVelquistApp app(argc, argv);
        CVelquistApp::IgnoreBrokenPipe();
        CVelquistDlg dlg;
        dlg.InitDialog();
        PrintExposed(dlg);
        auto* pResource = dlg.findChild<QComboBox*>(QStringLiteral("m_cbResource"));
        auto* pCommand = dlg.findChild<QComboBox*>(QStringLiteral("m_cbCommand"));
        auto* pTimeOut = dlg.findChild<QLineEdit*>(QStringLiteral("m_editTimeOut"));
        auto* pLF = dlg.findChild<QCheckBox*>(QStringLiteral("m_chkAppendLF"));
        auto* pConnect = dlg.findChild<QPushButton*>(QStringLiteral("m_btnConnect"));
        auto* pAutomatic = dlg.findChild<QPushButton*>(QStringLiteral("m_btnAutomatic"));
        if (!pResource || !pCommand || !pTimeOut || !pLF || !pConnect || !pAutomatic)
            return 1;
        pResource->setEditText(QString::fromLatin1(argv[2]));
        pTimeOut->setText(QStringLiteral("60000"));
        pLF->setChecked(true);
        QTest::mouseClick(pConnect, Qt::LeftButton);
        if (!dlg.GetInstrument() || !dlg.GetInstrument()->IsInstruConnected()) {
            std::fprintf(stderr, "velqconsolebench: cannot connect to %s\n", argv[2]);
            return 1;
        }
        pCommand->setEditText(QStringLiteral("TEST:BLOC? ") + QString::fromLatin1(argv[3]));
        QElapsedTimer clock;
        qint64 nLastNs = 0;
        qint64 nLongestNs = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 nNow = clock.nsecsElapsed();
            nLongestNs = std::max(nLongestNs, nNow - nLastNs);
            nLastNs = nNow;
        });
        clock.start();
        tick.start(1);
        QTest::mouseClick(pAutomatic, Qt::LeftButton);
        while (dlg.IsWorkerRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
        nLongestNs = std::max(nLongestNs, clock.nsecsElapsed() - nLastNs);
        // Faster than 20 bytes a nanosecond no loopback carries a block: the exchange ended
        // without it, and its figures would say nothing about a long read.
        if (static_cast<double>(clock.nsecsElapsed()) * 20.0 < std::strtod(argv[3], nullptr)) {
            std::fprintf(stderr, "velqconsolebench: the exchange ended after %.1f ms, before the block could arrive\n",
                         clock.nsecsElapsed() / 1e6);
            return 1;
        }
        std::printf("RESULT %.1f ms\nTOTAL %.1f ms\n", nLongestNs / 1e6, clock.nsecsElapsed() / 1e6);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "bare") == 0) {
        QApplication app(argc, argv);
        QDialog dlg;
        auto* pGrid = new QGridLayout(&dlg);
        const int nWidgets = std::atoi(argv[2]);
        // A mix like the console's: labels, buttons, edits and combo boxes.
        for (int n = 0; n < nWidgets; ++n) {
            QWidget* pWidget = nullptr;
            switch (n % 4) {
            case 0: pWidget = new QLabel(QStringLiteral("Label %1").arg(n)); break;
            case 1: pWidget = new QPushButton(QStringLiteral("Button %1").arg(n)); break;
            case 2: pWidget = new QLineEdit(QStringLiteral("Edit %1").arg(n)); break;
            default: {
                auto* pCombo = new QComboBox;
                pCombo->addItems({QStringLiteral("one"), QStringLiteral("two")});
                pWidget = pCombo;
            }
            }
            pGrid->addWidget(pWidget, n / 4, n % 4);
        }
        PrintExposed(dlg);
        return 0;
    }
    std::fprintf(stderr, "usage: velqconsolebench console | bare N | stall RESOURCE BYTES\n");
    return 2;
}
