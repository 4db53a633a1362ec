// Start-up figures for bench/run-bench.sh, under a display (Xvfb):
//   velqconsolebench console      the console's main window, prepared as the program prepares it
//   velqconsolebench bare N       a plain dialog of N ordinary widgets, the yardstick
// Each prints "EXPOSED <ns>" (CLOCK_REALTIME when the window was first exposed), so that the
// script can count from before the process was started, loading of libraries included, and
// "WIDGETS <n>" (the window's widgets, to size the yardstick).
#include "VelquistApp.h"
#include "VelquistDlg.h"

#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

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
    std::fprintf(stderr, "usage: velqconsolebench console | bare N\n");
    return 2;
}
