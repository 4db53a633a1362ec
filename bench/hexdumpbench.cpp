// Figures of the hex display for bench/run-bench.sh, each one "RESULT <value> <unit> <what>":
//   hexdumpbench     opening a 1 MiB and a 64 MiB answer (copy into the window's buffer,
//                    load into the dump and the first paint), one full-page repaint of a
//                    large window, and one row scrolled and repainted
// Runs on the offscreen platform unless another one is set; the raster painting is the same.
#include "HexDisplayDlg.h"
#include "PPDumpCtrl.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <fstream>

namespace {

// Paints the dump as a repaint would, into an image of its size, so that the
// figure is the painting and does not depend on the window being exposed.
void Paint(CPPDumpCtrl* pDump, QImage& image)
{
    pDump->render(&image);
}

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point tStart)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - tStart).count();
}

long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long lPages = 0;
    long lResident = 0;
    statm >> lPages >> lResident;
    return lResident * 4;
}

QByteArray BlockAnswer(int nDataBytes)
{
    const QByteArray baLength = QByteArray::number(nDataBytes);
    QByteArray ba = "#" + QByteArray::number(baLength.size()) + baLength;
    ba.reserve(ba.size() + nDataBytes + 1);
    for (int i = 0; i < nDataBytes; ++i)
        ba += char(i * 7 % 256);
    return ba + '\n';
}

void OpenAnswer(const char* pszLabel, int nDataBytes)
{
    const QByteArray baAnswer = BlockAnswer(nDataBytes);
    double dBest = 1e9;
    double dFirst = 0;
    double dBestPaint = 1e9;
    long lGrowthKiB = 0;
    for (int nRun = 0; nRun < 3; ++nRun) {
        const long lBefore = ResidentKiB();
        const auto tStart = Clock::now();
        auto* pDlg = new CHexDisplayDlg;
        pDlg->resize(1100, 760);
        pDlg->show();
        QImage image(pDlg->DumpCtrl()->size(), QImage::Format_ARGB32_Premultiplied);
        const auto tLoad = Clock::now();
        pDlg->LoadAnswer(baAnswer.constData(), static_cast<qint32>(baAnswer.size()));
        const auto tPaint = Clock::now();
        Paint(pDlg->DumpCtrl(), image);
        dBest = std::min(dBest, Milliseconds(tStart));
        if (nRun == 0)
            dFirst = Milliseconds(tStart);
        dBestPaint = std::min(dBestPaint, Milliseconds(tPaint));
        if (nRun == 0)
            std::printf("INFO %.1f ms of it the copy and load\n", std::chrono::duration<double, std::milli>(tPaint - tLoad).count());
        lGrowthKiB = ResidentKiB() - lBefore;
        delete pDlg;
    }
    std::printf("RESULT %.1f ms open %s answer, first time (new window, copy, load, first paint)\n", dFirst,
                pszLabel);
    std::printf("RESULT %.1f ms open %s answer, best of three\n", dBest, pszLabel);
    std::printf("INFO %.1f ms of it the first paint\n", dBestPaint);
    std::printf("INFO %ld KiB resident growth while open (answer %lld KiB)\n", lGrowthKiB,
                static_cast<long long>(baAnswer.size() / 1024));
}

// The floor under any open: the answer copied into fresh memory once.
void PlainCopy(int nBytes)
{
    const QByteArray baAnswer = BlockAnswer(nBytes);
    double dBest = 1e9;
    for (int nRun = 0; nRun < 3; ++nRun) {
        const auto tStart = Clock::now();
        const std::unique_ptr<char[]> pCopy(new char[baAnswer.size()]);
        std::memcpy(pCopy.get(), baAnswer.constData(), baAnswer.size());
        dBest = std::min(dBest, Milliseconds(tStart));
    }
    std::printf("RESULT %.1f ms plain copy of the 64 MiB answer into fresh memory (the floor)\n", dBest);
}

void Repaint()
{
    const QByteArray baAnswer = BlockAnswer(64 * 1024 * 1024);
    CHexDisplayDlg dlg;
    dlg.resize(1100, 760);
    dlg.show();
    dlg.LoadAnswer(baAnswer.constData(), static_cast<qint32>(baAnswer.size()));
    CPPDumpCtrl* pDump = dlg.DumpCtrl();
    QImage image(pDump->size(), QImage::Format_ARGB32_Premultiplied);
    Paint(pDump, image);
    const int nRows = pDump->Layout().PerPage() / pDump->Layout().PerRow();
    std::printf("INFO page of %d rows of %d values (%d cells)\n", nRows, pDump->Layout().PerRow(),
                pDump->Layout().PerPage());

    constexpr int kRepeats = 50;
    QScrollBar* pBar = pDump->ScrollBar();
    auto tStart = Clock::now();
    for (int n = 0; n < kRepeats; ++n) {
        // Somewhere else in the answer each time, as when the thumb is dragged.
        pBar->setValue(static_cast<int>(static_cast<qint64>(pBar->maximum()) * n / kRepeats));
        Paint(pDump, image);
    }
    std::printf("RESULT %.2f ms full-page repaint (64 MiB answer, thumb moved)\n", Milliseconds(tStart) / kRepeats);

    pBar->setValue(0);
    tStart = Clock::now();
    for (int n = 0; n < kRepeats; ++n) {
        pBar->setValue(pBar->value() + 1);
        Paint(pDump, image);
    }
    std::printf("RESULT %.2f ms one row scrolled and repainted\n", Milliseconds(tStart) / kRepeats);
}

} // namespace

int main(int nArgc, char** ppArgv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(nArgc, ppArgv);
    OpenAnswer("1 MiB", 1024 * 1024);
    OpenAnswer("64 MiB", 64 * 1024 * 1024);
    PlainCopy(64 * 1024 * 1024);
    Repaint();
    return 0;
}
