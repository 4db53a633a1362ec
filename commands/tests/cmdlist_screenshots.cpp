// Developer tool, not a test: shows the command list window in both modes,
// at its template size and enlarged, and saves what it looks like, for
// review under xvfb-run in both languages.
// Usage: velq_cmdlist_screenshots <output folder>
#include "CmdListConsole.h"
#include "CmdListDlg.h"
#include "FECFileDialog.h"
#include "FileEditCtrl.h"
#include "StringTable.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>

#include <cstdio>

namespace {

class CShowConsole : public ICmdListConsole
{
public:
    int RunCommandList(const QStringList&) override { return 1; }
    bool IsInstrumentConnected() const override { return true; }
    void SetCommandText(const QString&) override {}
    QIcon GetConsoleIcon() const override { return QIcon(); }
};

void Settle(int nMs = 300)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir dirConfig;
    qputenv("XDG_CONFIG_HOME", dirConfig.path().toLocal8Bit());
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dirConfig.path());
    if (argc != 2) {
        std::fprintf(stderr, "usage: velq_cmdlist_screenshots <folder>\n");
        return 2;
    }
    const QDir dirOut(QString::fromLocal8Bit(argv[1]));
    const bool bChinese = CStringTable::IsChineseLocale(QLocale::system());
    const QString strLang = bChinese ? QStringLiteral("zh") : QStringLiteral("en");
    if (bChinese) {
        CStringTable::SetChinese(true);
        for (const char* pszCatalogue : {"controls", "commands"}) {
            auto* pTranslator = new QTranslator(&app);
            if (pTranslator->load(QStringLiteral(":/i18n/%1_zh_CN.qm").arg(QLatin1String(pszCatalogue))))
                app.installTranslator(pTranslator);
        }
        auto* pQt = new QTranslator(&app);
        if (pQt->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            app.installTranslator(pQt);
    }

    const QString strFile = dirConfig.filePath(QStringLiteral("supply-check.scmd"));
    QFile file(strFile);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("; power supply check\n*RST|reset\n*CLS|clear status\nVOLT 5|set 5 V\nCURR 0.5|limit 500 mA\n"
               "OUTP ON\nMEAS:VOLT?|read back|volts\nMEAS:CURR?|read back\nDISP:TEXT \"Ready?\"|shown on the front\n"
               "|only a note\nSYST:ERR?\n");
    file.close();

    CShowConsole console;
    CCmdListDlg dlg(&console);
    dlg.findChild<CFileEditCtrl*>()->setText(strFile);
    dlg.OnParse();
    if (dlg.m_bInputMode)
        dlg.findChild<QPushButton*>(QStringLiteral("m_btnInput"))->click();
    dlg.show();
    const QSize sizeInitial = dlg.size();
    auto fnSave = [&](const char* pszName) {
        Settle();
        dlg.grab().save(dirOut.filePath(QStringLiteral("cmdlist-%1-%2.png").arg(strLang, QLatin1String(pszName))));
    };
    fnSave("list");
    dlg.ShowRunStatus(10, 7, 3);
    dlg.resize(sizeInitial + QSize(300, 200));
    fnSave("list-large");
    dlg.resize(sizeInitial);

    dlg.findChild<QPushButton*>(QStringLiteral("m_btnInput"))->click();
    dlg.findChild<QPlainTextEdit*>(QStringLiteral("m_editInput"))
        ->setPlainText(QStringLiteral("*RST\nVOLT 5\n\nMEAS:VOLT?\nTRAC:DATA ") + QString(300, QLatin1Char('7'))
                       + QStringLiteral("\n   \n"));
    dlg.ShowRunStatus(5, 5, 0);
    fnSave("input");
    dlg.resize(sizeInitial + QSize(300, 200));
    fnSave("input-large");

    // The browse dialog as the path box opens it, on the file parsed above.
    CFECFileDialog* pBrowse = dlg.findChild<CFileEditCtrl*>()->GetFileDialog();
    pBrowse->SetStart(dirConfig.path(), QStringLiteral("supply-check.scmd"));
    pBrowse->show();
    Settle(600);
    pBrowse->grab().save(dirOut.filePath(QStringLiteral("cmdlist-%1-browse.png").arg(strLang)));
    pBrowse->hide();
    return 0;
}
