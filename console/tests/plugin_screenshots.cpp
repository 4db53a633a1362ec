// Developer tool, not a test: opens the plug-in menu and both delivered
// plug-in windows from the build's bin/plugins and saves what they look like,
// for review under xvfb-run in both languages.
// Usage: velq_plugin_screenshots <output folder>
#include "PlugInHost.h"
#include "StringTable.h"
#include "VelquistApp.h"
#include "VelquistDlg.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstdio>

namespace {

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
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velq_plugin_screenshots <folder>\n");
        return 2;
    }
    const QDir dirOut(QString::fromLocal8Bit(argv[1]));
    const bool bChinese = CStringTable::IsChineseLocale(QLocale::system());
    const QString strLang = bChinese ? QStringLiteral("zh") : QStringLiteral("en");
    if (bChinese) {
        CStringTable::SetChinese(true);
        CVelquistApp::InstallTranslators(app);
    }
    auto fnSave = [&](QWidget& widget, const QString& strName) {
        Settle();
        widget.grab().save(dirOut.filePath(QStringLiteral("%1-%2.png").arg(strLang, strName)));
    };

    CVelquistDlg dlg;
    dlg.SetExecutablePath(QStringLiteral(VELQ_CONSOLE_EXECUTABLE));
    dlg.m_bUseSettings = 0;
    dlg.m_strCommand = QStringLiteral("SOURce1:FREQuency 1e6;:OUTPut:STATe ON");
    dlg.InitDialog();
    dlg.show();
    CPlugInHost* pHost = dlg.GetPlugInHost();
    std::printf("plug-ins found: %lld\n", static_cast<long long>(pHost->GetPlugInPaths().size()));

    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("m_btnPlugins")), Qt::LeftButton);
    if (auto* pMenu = dlg.findChild<QMenu*>(QStringLiteral("m_mnuPlugIns"))) {
        fnSave(*pMenu, QStringLiteral("plugin-menu"));
        // The whole screen shows where the menu opened against the button.
        if (QScreen* pScreen = QGuiApplication::primaryScreen())
            pScreen->grabWindow(0).save(dirOut.filePath(strLang + QStringLiteral("-screen-menu.png")));
        pMenu->close();
    }

    const QByteArray baAnswer("+1.23450E+00,+2.34560E+00,+3.45670E+00,+4.56780E+00,+5.67890E+00\n");
    for (int n = 0; n < pHost->GetPlugInPaths().size(); ++n) {
        const QString strName = CPlugInHost::MenuText(pHost->GetPlugInPaths().at(n));
        const QList<QDialog*> lstBefore = dlg.findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly);
        pHost->InvokePlugIn(CPlugInHost::kFirstCommandId + n, baAnswer.constData(), baAnswer.size(), dlg.m_strCommand);
        for (QDialog* pWindow : dlg.findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!lstBefore.contains(pWindow))
                fnSave(*pWindow, strName);
        }
    }
    for (QDialog* pWindow : dlg.findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly))
        std::printf("window %s: %dx%d\n", qPrintable(pWindow->objectName()), pWindow->width(), pWindow->height());
    return 0;
}
