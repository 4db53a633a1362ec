// Developer tool, not a test: drives the main window through a session with
// velqsim and saves what it looks like, for review under xvfb-run in both
// languages. Usage: velq_screenshots <output folder>
#include "ConsoleTestUtil.h"
#include "HistoryCombo.h"
#include "MoreMenu.h"
#include "NySysErrorDlg.h"
#include "SimProcess.h"
#include "StringTable.h"
#include "VelquistApp.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
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
        std::fprintf(stderr, "usage: velq_screenshots <folder>\n");
        return 2;
    }
    const QDir dirOut(QString::fromLocal8Bit(argv[1]));
    const QString strLang = CStringTable::IsChineseLocale(QLocale::system()) ? QStringLiteral("zh") : QStringLiteral("en");
    if (strLang == QLatin1String("zh")) {
        CStringTable::SetChinese(true);
        CVelquistApp::InstallTranslators(app);
    }
    auto fnSave = [&](CVelquistDlg& dlg, const char* pszName) {
        Settle();
        dlg.grab().save(dirOut.filePath(QStringLiteral("%1-%2.png").arg(strLang, QLatin1String(pszName))));
    };

    CSimProcess sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "velqsim: %s\n", qPrintable(sim.ErrorText()));
        return 1;
    }
    QTemporaryDir dirExe;
    CVelquistDlg dlg;
    dlg.SetExecutablePath(dirExe.filePath(QStringLiteral("velquist")));
    dlg.m_bUseSettings = 0;
    dlg.m_strResource = QString::fromLatin1(sim.SocketResource());
    dlg.m_nTimeOut = 5000;
    dlg.InitDialog();
    dlg.show();
    fnSave(dlg, "initial");
    const QSize sizeInitial = dlg.size();
    dlg.resize(sizeInitial + QSize(300, 200));
    fnSave(dlg, "large");
    dlg.resize(sizeInitial);

    auto* pCommand = dlg.findChild<CHistoryCombo*>(QStringLiteral("m_cbCommand"));
    auto* pLf = dlg.findChild<QCheckBox*>(QStringLiteral("m_chkAppendLF"));
    auto fnClick = [&](const char* pszButton) {
        QTest::mouseClick(dlg.findChild<QPushButton*>(QLatin1String(pszButton)), Qt::LeftButton);
    };
    pLf->setChecked(true);
    fnClick("m_btnConnect");
    pCommand->setEditText(QStringLiteral("*IDN?"));
    fnClick("m_btnAutomatic");
    dlg.WaitForWorker();
    pCommand->setEditText(QStringLiteral("SYST:ERR?"));
    fnClick("m_btnWrite");
    fnSave(dlg, "query-pending");
    fnClick("m_btnRead");
    dlg.WaitForWorker();

    // The longest pause of the window's event handling while 10 MB arrive.
    pCommand->setEditText(QStringLiteral("TEST:BLOCk? 10000000"));
    QElapsedTimer timerRead;
    timerRead.start();
    fnClick("m_btnAutomatic");
    qint64 nLongestGap = 0;
    qint64 nLast = timerRead.elapsed();
    bool bShot = false;
    while (dlg.IsWorkerRunning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const qint64 nNow = timerRead.elapsed();
        nLongestGap = qMax(nLongestGap, nNow - nLast);
        nLast = nNow;
        if (!bShot && nNow > 150) {
            dlg.grab().save(dirOut.filePath(strLang + QStringLiteral("-block-running.png")));
            bShot = true;
        }
    }
    std::printf("10 MB block: %lld ms, reply %u bytes, longest event-loop gap %lld ms\n",
                static_cast<long long>(timerRead.elapsed()), dlg.GetReplyLength(), static_cast<long long>(nLongestGap));
    fnSave(dlg, "block-done");

    dlg.WriteText(QStringLiteral("TEST:DELay 7000"), 15);
    pCommand->setEditText(QStringLiteral("*IDN?"));
    fnClick("m_btnAutomatic");
    fnSave(dlg, "timeout-waiting");
    dlg.WaitForWorker();
    fnSave(dlg, "timeout");
    dlg.resize(sizeInitial + QSize(300, 200));
    fnSave(dlg, "session-large");
    dlg.resize(sizeInitial);

    // Modal windows are grabbed from a timer while they are up, then closed.
    auto fnGrabModal = [&](const char* pszName) {
        auto* pTimer = new QTimer(&dlg);
        QObject::connect(pTimer, &QTimer::timeout, [&dlg, &dirOut, strLang, pszName, pTimer] {
            auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!pDialog || qobject_cast<QFileDialog*>(pDialog))
                return;
            pTimer->stop();
            Settle();
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                dirOut.filePath(QStringLiteral("%1-%2.png").arg(strLang, QLatin1String(pszName))));
            pDialog->accept();
            pTimer->deleteLater();
        });
        pTimer->start(50);
    };
    // A fresh connection: the late answer of the time-out above is still on its way.
    fnClick("m_btnConnect");
    fnClick("m_btnConnect");
    fnGrabModal("errors-green");
    fnClick("m_btnSystErr");
    dlg.WaitForWorker();
    Settle(1500);
    dlg.WriteText(QStringLiteral("NO:SUCH:HEADER"), 14);
    dlg.WriteText(QStringLiteral("VOLT 1e9"), 8);
    fnGrabModal("errors-red");
    fnClick("m_btnSystErr");
    dlg.WaitForWorker();
    Settle(1500);

    auto* pMoreMenu = dlg.findChild<CMoreMenu*>();
    const std::unique_ptr<QMenu> pMenu = pMoreMenu->BuildMenu();
    pMenu->popup(dlg.findChild<QPushButton*>(QStringLiteral("m_btnMore"))->mapToGlobal(QPoint(0, 0)));
    Settle();
    for (QAction* pAction : pMenu->actions()) {
        if (pAction->menu()) {
            pMenu->setActiveAction(pAction);
            break;
        }
    }
    Settle(800);
    QGuiApplication::primaryScreen()->grabWindow(0).save(dirOut.filePath(strLang + QStringLiteral("-more-menu.png")));
    pMenu->hide();

    QTemporaryDir dirFiles;
    const QString strUpload = dirFiles.filePath(QStringLiteral("setup.dat"));
    QFile fileUpload(strUpload);
    fileUpload.open(QIODevice::WriteOnly);
    fileUpload.write(QByteArray(123, 'x'));
    fileUpload.close();
    QTimer tmFileDialog;
    QObject::connect(&tmFileDialog, &QTimer::timeout, [&] {
        if (auto* pFiles = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            tmFileDialog.stop();
            if (auto* pName = pFiles->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                pName->setText(strUpload);
            static_cast<QDialog*>(pFiles)->accept();
        }
    });
    tmFileDialog.start(50);
    fnGrabModal("upload-confirm");
    pMoreMenu->OnMoreMenu(CMoreMenu::EEntry::UploadFile);
    fnSave(dlg, "upload-done");
    fnClick("m_btnConnect");
    dlg.resize(sizeInitial);

    // A connect that fails: the message box with its status line, then a write without a session.
    QTimer tmBox;
    int nBoxTicks = 0;
    QObject::connect(&tmBox, &QTimer::timeout, [&] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox || ++nBoxTicks < 5)
            return;
        pBox->grab().save(dirOut.filePath(strLang + QStringLiteral("-connect-failed-box.png")));
        pBox->accept();
        nBoxTicks = 0;
    });
    tmBox.start(60);
    dlg.ClearHistory();
    dlg.findChild<CHistoryCombo*>(QStringLiteral("m_cbResource"))->setEditText(QStringLiteral("TCPIP0::127.0.0.1::1::SOCKET"));
    fnClick("m_btnConnect");
    tmBox.stop();
    pCommand->setEditText(QStringLiteral("*IDN?"));
    fnClick("m_btnAutomatic");
    fnSave(dlg, "connect-failed");
    return 0;
}
