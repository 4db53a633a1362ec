#include "CmdListDlg.h"
#include "ConsoleTestUtil.h"
#include "FileEditCtrl.h"
#include "HistoryCombo.h"
#include "StringTable.h"
#include "VelquistApp.h"
#include "WireLogFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableWidget>
#include <QtTest>

namespace {

constexpr int kWaitMs = 30000;

template <typename T>
T* ListChild(const CCmdListDlg& dlg, const char* pszName)
{
    T* pChild = dlg.findChild<T*>(QLatin1String(pszName));
    if (!pChild)
        qFatal("missing control %s", pszName);
    return pChild;
}

QString StatusText(const CCmdListDlg& dlg)
{
    return ListChild<QLabel>(dlg, "m_lblStatus")->text();
}

} // namespace

class TestCmdList : public QObject, protected CWireLogFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runParsedFile();
    void stopInTheMiddle();
    void windowFollowsConsole();

private:
    std::unique_ptr<CTestDlg> Connected();
    CCmdListDlg& OpenList(CTestDlg& dlg)
    {
        QTest::mouseClick(dlg.Child<QPushButton>("m_btnCommandList"), Qt::LeftButton);
        if (!dlg.GetCmdListDlg())
            qFatal("no command list window");
        return *dlg.GetCmdListDlg();
    }

};

void TestCmdList::initTestCase()
{
    QVERIFY2(StartLoggedSim(), qPrintable(m_sim.ErrorText()));
}

std::unique_ptr<CTestDlg> TestCmdList::Connected()
{
    auto pDlg = std::make_unique<CTestDlg>(QString::fromLatin1(m_sim.SocketResource()));
    pDlg->SetExecutablePath(m_dir.filePath(QStringLiteral("velquist")));
    pDlg->InitDialog();
    pDlg->show();
    pDlg->Child<QCheckBox>("m_chkAppendLF")->setChecked(true);
    pDlg->Child<QLineEdit>("m_editTimeOut")->setText(QStringLiteral("15000"));
    pDlg->OnConnect();
    if (!pDlg->IsInstrumentConnected())
        qFatal("cannot connect to velqsim");
    return pDlg;
}

void TestCmdList::runParsedFile()
{
    const QString strWave = QStringLiteral("TRAC:DATA ") + QString(3000, QLatin1Char('7'));
    const QString strPath = m_dir.filePath(QStringLiteral("check.scmd"));
    {
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("; supply check\r\n*RST|reset\r\n\r\nDISP:TEXT \"Ready?\"|no answer to wait for\r\n;query\r\n"
                   "*IDN?|who\r\n" + strWave.toLatin1() + "|long\r\nSOUR:VOLT 5\xCE\xA9|no 8-bit form\r\n"
                   "TEST:HANGup 3|the instrument hangs up\r\n*OPC?");
    }
    auto pDlg = Connected();
    CCmdListDlg& list = OpenList(*pDlg);
    QVERIFY(list.isVisible());
    ListChild<CFileEditCtrl>(list, "m_editFilePath")->setText(strPath);
    QTest::mouseClick(ListChild<QPushButton>(list, "m_btnParse"), Qt::LeftButton);
    QCOMPARE(ListChild<QTableWidget>(list, "m_listCommands")->rowCount(), 7);

    MarkWireLog();
    CModalAnswerer answerer;
    QTest::mouseClick(ListChild<QPushButton>(list, "m_btnRunAll"), Qt::LeftButton);
    QVERIFY(pDlg->IsWorkerRunning() || !HistoryLines(*pDlg).isEmpty());
    pDlg->WaitForWorker();
    QCOMPARE(answerer.m_lstTexts, QStringList());

    // The command that has no 8-bit form never reaches the wire; whatever
    // follows the hang-up may or may not.
    const QStringList lstWire = NewWireLines();
    QCOMPARE(lstWire.mid(0, 5), (QStringList{"*RST\\n", "DISP:TEXT \"Ready?\"\\n", "*IDN?\\n", strWave + "\\n",
                                             "TEST:HANGup 3\\n"}));
    const QStringList lstHistory = HistoryLines(*pDlg);
    QCOMPARE(lstHistory.mid(0, 4), (QStringList{">>> *RST", ">>> DISP:TEXT \"Ready?\"", ">>> *IDN?",
                                                lstHistory.value(3)}));
    QVERIFY2(lstHistory.value(3).startsWith(QStringLiteral("<<< ")), qPrintable(lstHistory.value(3)));
    // The run's one read error line, then the status of the failed read.
    QCOMPARE(lstHistory.value(lstHistory.size() - 2), QStringLiteral("<<< ") + kReadError);
    QVERIFY2(lstHistory.constLast().startsWith(QStringLiteral("<<< # VI_ERROR_")), qPrintable(lstHistory.constLast()));
    QCOMPARE(lstHistory.count(QStringLiteral("<<< ") + kReadError), 1);
    // Five sent and answered as they should be; the unsendable command and
    // the query after the hang-up failed.
    QCOMPARE(StatusText(list), QStringLiteral("All: 7, Success: 5, Failed: 2"));
    QVERIFY(list.isVisible());
}

void TestCmdList::stopInTheMiddle()
{
    auto pDlg = Connected();
    CCmdListDlg& list = OpenList(*pDlg);
    QTest::mouseClick(ListChild<QPushButton>(list, "m_btnInput"), Qt::LeftButton);
    QVERIFY(list.m_bInputMode);
    QStringList lstCommands;
    for (int n = 1; n <= 20; ++n)
        lstCommands << QStringLiteral("VOLT %1").arg(n);
    // The 22nd command's answer is held back, so Stop arrives while it is
    // awaited, however slow the machine.
    lstCommands << QStringLiteral("TEST:DELay 5000") << QStringLiteral("TEST:TEXT? 4");
    for (int n = 23; n <= 50; ++n)
        lstCommands << QStringLiteral("VOLT %1").arg(n);
    ListChild<QPlainTextEdit>(list, "m_editInput")->setPlainText(lstCommands.join(QLatin1Char('\n')));

    MarkWireLog();
    QTest::mouseClick(ListChild<QPushButton>(list, "m_btnRunAll"), Qt::LeftButton);
    QVERIFY(pDlg->IsWorkerRunning());
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines().size(), 22, kWaitMs);
    QCOMPARE(StatusText(list), QStringLiteral("All: 50, Success: 21, Failed: 0"));
    // A second batch is refused while this one runs.
    {
        CModalAnswerer answerer;
        QTest::mouseClick(ListChild<QPushButton>(list, "m_btnRunAll"), Qt::LeftButton);
        QCOMPARE(answerer.m_lstTexts, QStringList{CStringTable::Load(CStringTable::kCommandsRunning)});
    }
    QTest::mouseClick(pDlg->Child<QPushButton>("m_btnStop"), Qt::LeftButton);
    QVERIFY(!pDlg->IsWorkerRunning());

    QStringList lstSent;
    for (const QString& strCommand : lstCommands.mid(0, 22))
        lstSent << strCommand + QStringLiteral("\\n");
    QCOMPARE(NewWireLines(), lstSent);
    // The query in progress is answered and counted; the 28 never sent are
    // neither successes nor failures.
    QCOMPARE(StatusText(list), QStringLiteral("All: 50, Success: 22, Failed: 0"));
    QCOMPARE(HistoryLines(*pDlg).constLast(), QStringLiteral("<<< User abort the operation."));
}

void TestCmdList::windowFollowsConsole()
{
    // Starts without the path and mode the runs above left behind.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(CVelquistApp::kOrganization),
              QLatin1String(CVelquistApp::kApplication))
        .clear();
    auto pDlg = Connected();
    QCOMPARE(pDlg->GetCmdListDlg(), nullptr);
    CCmdListDlg& list = OpenList(*pDlg);
    QPointer<CCmdListDlg> pList(&list);
    QVERIFY(list.isVisible());
    QCOMPARE(list.windowIcon().cacheKey(), pDlg->windowIcon().cacheKey());
    OpenList(*pDlg);
    QVERIFY(list.isHidden());
    OpenList(*pDlg);
    QVERIFY(list.isVisible());
    QCOMPARE(pDlg->GetCmdListDlg(), pList.data());

    // Minimised it is restored, not hidden.
    list.showMinimized();
    QVERIFY(list.isMinimized());
    OpenList(*pDlg);
    QVERIFY(list.isVisible());
    QVERIFY(!list.isMinimized());

    // A double click fills the console's command field and its length;
    // without a selection it does nothing.
    QVERIFY(!list.m_bInputMode);
    list.AddCommandRow(0, QStringLiteral("MEAS:VOLT?"), QStringLiteral("volts"));
    auto* pTable = ListChild<QTableWidget>(list, "m_listCommands");
    pTable->clearSelection();
    list.OnListDblClk();
    QCOMPARE(pDlg->Child<CHistoryCombo>("m_cbCommand")->currentText(), QStringLiteral("*IDN?"));
    QTest::mouseClick(pTable->viewport(), Qt::LeftButton, {}, pTable->visualItemRect(pTable->item(0, 1)).center());
    QTest::mouseDClick(pTable->viewport(), Qt::LeftButton, {}, pTable->visualItemRect(pTable->item(0, 1)).center());
    QCOMPARE(pDlg->Child<CHistoryCombo>("m_cbCommand")->currentText(), QStringLiteral("MEAS:VOLT?"));
    QCOMPARE(pDlg->Child<QLabel>("m_lblCommandLength")->text(), QStringLiteral("10 Ch"));

    pDlg->OnDestroy();
    QVERIFY(pList.isNull());
    QCOMPARE(pDlg->GetCmdListDlg(), nullptr);
}

int main(int argc, char** argv)
{
    return RunConsoleTest<TestCmdList>(argc, argv);
}

#include "tst_cmdlist.moc"
