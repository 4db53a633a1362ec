// Developer tool, not a test: the Find Instruments dialog after a search and an *IDN? query
// against velqsim, for review under xvfb-run in both languages.
// Usage: velq_find_screenshots <output folder>
#include "FindInstrumentsDlg.h"
#include "SimProcess.h"
#include "StringTable.h"
#include "VelquistApp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>

namespace {

void SettleUntil(const CFindInstrumentsDlg& dlg)
{
    QElapsedTimer timer;
    timer.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    while ((dlg.IsBusy() || timer.elapsed() < 300) && timer.elapsed() < 30000);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velq_find_screenshots <folder>\n");
        return 2;
    }
    const QDir dirOut(QString::fromLocal8Bit(argv[1]));
    const bool bChinese = CStringTable::IsChineseLocale(QLocale::system());
    if (bChinese) {
        CStringTable::SetChinese(true);
        CVelquistApp::InstallTranslators(app);
    }
    const QString strLang = bChinese ? QStringLiteral("zh") : QStringLiteral("en");
    CSimProcess sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "velqsim: %s\n", qPrintable(sim.ErrorText()));
        return 1;
    }
    QTemporaryDir dirConfig;
    QFile conf(dirConfig.filePath(QStringLiteral("velqvisa.conf")));
    if (!conf.open(QIODevice::WriteOnly))
        return 1;
    conf.write("[find]\nbroadcast = off\nmdns = off\n[resources]\n" + sim.SocketResource() + "\n" + sim.Resource(QStringLiteral("HISLIP"))
               + "\n192.0.2.44\n");
    conf.close();
    qputenv("XDG_CONFIG_HOME", dirConfig.path().toLocal8Bit());

    CFindInstrumentsDlg dlg;
    dlg.show();
    dlg.OnSearch();
    dlg.grab().save(dirOut.filePath(strLang + QStringLiteral("-find-busy.png")));
    SettleUntil(dlg);
    dlg.findChild<QTreeWidget*>()->topLevelItem(1)->setSelected(true);
    dlg.OnQueryIdentity();
    SettleUntil(dlg);
    dlg.grab().save(dirOut.filePath(strLang + QStringLiteral("-find.png")));
    return 0;
}
