#include "ConsoleTestUtil.h"
#include "HistoryCombo.h"
#include "StringTable.h"
#include "WireLogFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString kWriteError = QStringLiteral("# Error: Failed to write command to the instrument");
constexpr int kWaitMs = 30000;

} // namespace

class TestExecution : public QObject, protected CWireLogFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writtenBytes_data();
    void writtenBytes();
    void writeFailures_data();
    void writeFailures();
    void readSizes_data();
    void readSizes();
    void readFailures_data();
    void readFailures();
    void stopCommandList();
    void stopDuringSingleReadIsDropped();
    void bufferFullWithoutData();
    void hugeAnswerWithoutMemory();
    void historyLimit_data();
    void historyLimit();
    void insertionCutAtLimit();
    void closeWhileReading();

private:
    std::unique_ptr<CTestDlg> Connected(bool bCR, bool bLF, int nTimeOutMs = 10000);
    static void SetCommand(CTestDlg& dlg, const QString& strCommand)
    {
        dlg.Child<CHistoryCombo>("m_cbCommand")->setEditText(strCommand);
    }

};

void TestExecution::initTestCase()
{
    QVERIFY2(StartLoggedSim(), qPrintable(m_sim.ErrorText()));
}

std::unique_ptr<CTestDlg> TestExecution::Connected(bool bCR, bool bLF, int nTimeOutMs)
{
    auto pDlg = std::make_unique<CTestDlg>(QString::fromLatin1(m_sim.SocketResource()));
    pDlg->SetExecutablePath(m_dir.filePath(QStringLiteral("velquist")));
    pDlg->InitDialog();
    pDlg->show();
    pDlg->Child<QCheckBox>("m_chkAppendCR")->setChecked(bCR);
    pDlg->Child<QCheckBox>("m_chkAppendLF")->setChecked(bLF);
    pDlg->Child<QLineEdit>("m_editTimeOut")->setText(QString::number(nTimeOutMs));
    pDlg->OnConnect();
    if (!pDlg->GetInstrument() || !pDlg->GetInstrument()->IsInstruConnected())
        qFatal("cannot connect to velqsim");
    return pDlg;
}

void TestExecution::writtenBytes_data()
{
    QTest::addColumn<QString>("strCommand");
    QTest::addColumn<bool>("bCR");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<QString>("strOnWire");
    QTest::addColumn<bool>("bPending");

    QTest::newRow("*RST as it is") << "*RST" << false << false << "*RST" << false;
    QTest::newRow("*IDN? with LF") << "*IDN?" << false << true << "*IDN?\\n" << true;
    QTest::newRow("CR before LF") << "*CLS" << true << true << "*CLS\\r\\n" << false;
    QTest::newRow("? first is no query") << "?STB" << false << true << "?STB\\n" << false;
    QTest::newRow("untrimmed") << " *CLS " << false << true << " *CLS \\n" << false;
    QTest::newRow("? in a string asks nothing") << "DISP:TEXT \"Ready?\"" << false << true
                                                << "DISP:TEXT \"Ready?\"\\n" << false;
    const QString strLong = QStringLiteral("DISP:TEXT \"") + QString(3000, QLatin1Char('x')) + QStringLiteral("\"");
    QTest::newRow("3000 characters go out whole") << strLong << false << true << strLong + QStringLiteral("\\n")
                                                  << false;
}

void TestExecution::writtenBytes()
{
    QFETCH(QString, strCommand);
    QFETCH(bool, bCR);
    QFETCH(bool, bLF);
    QFETCH(QString, strOnWire);
    QFETCH(bool, bPending);

    auto pDlg = Connected(bCR, bLF);
    MarkWireLog();
    SetCommand(*pDlg, strCommand);
    QTest::mouseClick(pDlg->Child<QPushButton>("m_btnWrite"), Qt::LeftButton);
    QCOMPARE(pDlg->Child<QPushButton>("m_btnRead")->isEnabled(), bPending);
    QCOMPARE(pDlg->Child<QPushButton>("m_btnAutomatic")->isEnabled(), !bPending);
    QVERIFY(!pDlg->IsWorkerRunning());
    QCOMPARE(HistoryLines(*pDlg), QStringList{QStringLiteral(">>> ") + strCommand});
    QCOMPARE(pDlg->Child<CHistoryCombo>("m_cbCommand")->itemText(0), strCommand.trimmed());

    // A message without its terminator is logged when the connection ends.
    pDlg->OnConnect();
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), QStringList{strOnWire}, kWaitMs);
}

void TestExecution::writeFailures_data()
{
    QTest::addColumn<QString>("strCommand");
    QTest::addColumn<bool>("bDisconnect");

    QTest::newRow("no 8-bit form") << QString::fromUtf8("SOUR:VOLT 5\u03a9") << false;
    QTest::newRow("after a disconnect") << "*IDN?" << true;
}

void TestExecution::writeFailures()
{
    QFETCH(QString, strCommand);
    QFETCH(bool, bDisconnect);

    auto pDlg = Connected(false, true);
    if (bDisconnect)
        pDlg->OnConnect();
    MarkWireLog();
    SetCommand(*pDlg, strCommand);
    pDlg->OnAutomatic();
    QVERIFY(!pDlg->IsWorkerRunning());
    const QString strSent = QStringLiteral(">>> ") + strCommand;
    QCOMPARE(HistoryLines(*pDlg), (QStringList{strSent, QStringLiteral(">>> ") + kWriteError, strSent}));
    QVERIFY(!pDlg->Child<QPushButton>("m_btnRead")->isEnabled());

    // Nothing went out: the next message is the first the instrument sees.
    if (bDisconnect)
        pDlg->OnConnect();
    SetCommand(*pDlg, QStringLiteral("*CLS"));
    pDlg->OnWrite();
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), QStringList{QStringLiteral("*CLS\\n")}, kWaitMs);
}

void TestExecution::readSizes_data()
{
    QTest::addColumn<QString>("strQuery");
    QTest::addColumn<QList<int>>("lstReads");
    QTest::addColumn<uint>("uLength");
    QTest::addColumn<int>("nBufferSize");
    QTest::addColumn<QString>("strShownStart");

    QTest::newRow("1024 bytes in one read") << "TEST:TEXT? 1023" << QList<int>{1024} << 1024u << 1025 << "";
    QTest::newRow("3000 bytes: the buffer doubles")
        << "TEST:TEXT? 2999" << QList<int>{1024, 1024, 2048} << 3000u << 4096 << "";
    QTest::newRow("binary block with zero bytes") << "TEST:BLOCk? 300" << QList<int>{1024} << 306u << 1024
                                                  << "<<< #3300";
}

void TestExecution::readSizes()
{
    QFETCH(QString, strQuery);
    QFETCH(QList<int>, lstReads);
    QFETCH(uint, uLength);
    QFETCH(int, nBufferSize);
    QFETCH(QString, strShownStart);

    auto pDlg = Connected(false, true);
    SetCommand(*pDlg, strQuery);
    QTest::mouseClick(pDlg->Child<QPushButton>("m_btnAutomatic"), Qt::LeftButton);
    pDlg->WaitForWorker();

    const std::vector<int> vecReads = pDlg->Recorder()->ReadSizes();
    QCOMPARE(QList<int>(vecReads.begin(), vecReads.end()), lstReads);
    QCOMPARE(pDlg->GetReplyLength(), uLength);
    QCOMPARE(int(pDlg->GetReplyBuffer().size()), nBufferSize);
    const QStringList lstLines = HistoryLines(*pDlg);
    QCOMPARE(lstLines.size(), 2);
    if (strShownStart.isEmpty())
        QCOMPARE(lstLines.at(1).size(), 4 + int(uLength) - 1);
    else
        QCOMPARE(lstLines.at(1), strShownStart);

    // Back to idle: every command button usable, Read included.
    for (const char* pszButton : {"m_btnWrite", "m_btnRead", "m_btnAutomatic", "m_btnConnect", "m_btnIdn"})
        QVERIFY2(pDlg->Child<QPushButton>(pszButton)->isEnabled(), pszButton);
    QVERIFY(pDlg->Child<QWidget>("m_btnStop")->isHidden());
    QVERIFY(pDlg->Child<QWidget>("m_progress")->isHidden());
}

void TestExecution::readFailures_data()
{
    QTest::addColumn<QString>("strSetup");
    QTest::addColumn<QString>("strQuery");
    QTest::addColumn<QStringList>("lstRun");

    QTest::newRow("time-out") << "TEST:DELay 5000" << "*IDN?" << QStringList();
    // Read alone: the instrument sends part of an answer and hangs up.
    QTest::newRow("instrument hangs up") << "TEST:HANGup 5" << "" << QStringList();
    // The run's one error line comes at its end, after a write that succeeded, and still
    // names the status of the read that failed.
    QTest::newRow("command list") << "TEST:DELay 5000" << "" << QStringList{"*IDN?", "*CLS"};
}

void TestExecution::readFailures()
{
    QFETCH(QString, strSetup);
    QFETCH(QString, strQuery);
    QFETCH(QStringList, lstRun);

    auto pDlg = Connected(false, true, 700);
    if (!strSetup.isEmpty())
        QVERIFY(pDlg->WriteText(strSetup, strSetup.size()));
    if (!lstRun.isEmpty()) {
        QCOMPARE(pDlg->RunCommandList(lstRun), 1);
    } else if (strQuery.isEmpty()) {
        pDlg->OnRead();
    } else {
        SetCommand(*pDlg, strQuery);
        pDlg->OnAutomatic();
    }
    QVERIFY(pDlg->IsWorkerRunning());
    QCOMPARE(pDlg->RunCommandList({QStringLiteral("*CLS")}), 0);
    pDlg->WaitForWorker();
    const QStringList lstLines = HistoryLines(*pDlg);
    QCOMPARE(lstLines.value(lstLines.size() - 2), QStringLiteral("<<< ") + kReadError);
    QVERIFY(lstLines.value(lstLines.size() - 1).startsWith(QStringLiteral("<<< # VI_ERROR_")));
    QVERIFY(pDlg->Child<QPushButton>("m_btnConnect")->isEnabled());
}

void TestExecution::stopCommandList()
{
    auto pDlg = Connected(false, true);
    MarkWireLog();
    QVERIFY(pDlg->WriteText(QStringLiteral("TEST:DELay 5000"), 15));
    QCOMPARE(pDlg->RunCommandList({}), 0);
    QCOMPARE(pDlg->RunCommandList({QStringLiteral("TEST:TEXT? 4"), QStringLiteral("*IDN?"), QStringLiteral("*CLS")}),
             1);
    QCOMPARE(pDlg->RunCommandList({QStringLiteral("*CLS")}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(pDlg->Child<QWidget>("m_btnStop")->isVisible(), kWaitMs);
    QVERIFY(!pDlg->Child<QPushButton>("m_btnConnect")->isEnabled());
    QVERIFY(!pDlg->Child<QPushButton>("m_btnCommandList")->isEnabled());

    // Pressed while the first answer is awaited.
    const QStringList lstSent{QStringLiteral("TEST:DELay 5000\\n"), QStringLiteral("TEST:TEXT? 4\\n")};
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), lstSent, kWaitMs);
    QTest::mouseClick(pDlg->Child<QPushButton>("m_btnStop"), Qt::LeftButton);
    QVERIFY(!pDlg->IsWorkerRunning());
    const QStringList lstLines = HistoryLines(*pDlg);
    QCOMPARE(lstLines.mid(1, 2), (QStringList{QStringLiteral(">>> TEST:TEXT? 4"),
                                              QStringLiteral(">>> Terminate the running thread. Please waitting ...")}));
    QVERIFY(lstLines.value(3).startsWith(QStringLiteral("<<< ")));
    QCOMPARE(lstLines.value(3).size(), 4 + 4);
    QCOMPARE(lstLines.mid(4), QStringList{QStringLiteral("<<< User abort the operation.")});
    QCOMPARE(NewWireLines(), lstSent);
    QVERIFY(pDlg->Child<QWidget>("m_btnStop")->isHidden());
    QVERIFY(pDlg->Child<QPushButton>("m_btnConnect")->isEnabled());
}

void TestExecution::stopDuringSingleReadIsDropped()
{
    auto pDlg = Connected(false, true);
    QVERIFY(pDlg->WriteText(QStringLiteral("TEST:DELay 1500"), 15));
    SetCommand(*pDlg, QStringLiteral("TEST:TEXT? 3"));
    pDlg->OnAutomatic();
    QVERIFY(pDlg->IsWorkerRunning());
    // The press that lands in the moment Stop shows before the read hides it.
    pDlg->OnStop();
    QVERIFY(!pDlg->IsWorkerRunning());
    pDlg->ClearHistory();

    const QStringList lstCommands{QStringLiteral("TEST:TEXT? 1"), QStringLiteral("TEST:TEXT? 2"),
                                  QStringLiteral("TEST:TEXT? 4")};
    QCOMPARE(pDlg->RunCommandList(lstCommands), 1);
    pDlg->WaitForWorker();
    const QStringList lstAnswered{QStringLiteral(">>> TEST:TEXT? 1"), QStringLiteral("<<< A"),
                                  QStringLiteral(">>> TEST:TEXT? 2"), QStringLiteral("<<< AB"),
                                  QStringLiteral(">>> TEST:TEXT? 4"), QStringLiteral("<<< ABCD")};
    QCOMPARE(HistoryLines(*pDlg), lstAnswered);
}

void TestExecution::bufferFullWithoutData()
{
    // A VISA library that keeps reporting a full buffer but delivers nothing.
    CTestDlg dlg(QStringLiteral("ASRL1::INSTR"));
    auto* pScripted = new CScriptedInstrument(CInstrument::kReadBufferFull);
    dlg.m_fnNewInstrument = [pScripted] { return pScripted; };
    dlg.InitDialog();
    dlg.OnConnect();
    QCOMPARE(dlg.GetInstrument(), pScripted);
    SetCommand(dlg, QStringLiteral("*IDN?"));
    dlg.OnAutomatic();
    dlg.WaitForWorker();
    QCOMPARE(HistoryLines(dlg).value(1), QStringLiteral("<<< ") + kReadError);
    QCOMPARE(pScripted->m_nReads.load(), 2);
}

void TestExecution::hugeAnswerWithoutMemory()
{
    auto pDlg = Connected(false, true);
    // Leave room for the worker's stack, not for a 512 MiB answer.
    struct rlimit oldLimit {};
    QCOMPARE(getrlimit(RLIMIT_AS, &oldLimit), 0);
    QFile status(QStringLiteral("/proc/self/statm"));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const rlim_t uPages = status.readAll().split(' ').value(0).toULongLong();
    struct rlimit smallLimit = oldLimit;
    smallLimit.rlim_cur = uPages * rlim_t(getpagesize()) + 256u * 1024 * 1024;
    QCOMPARE(setrlimit(RLIMIT_AS, &smallLimit), 0);
    SetCommand(*pDlg, QStringLiteral("TEST:BLOCk? 536870912"));
    pDlg->OnAutomatic();
    pDlg->WaitForWorker();
    setrlimit(RLIMIT_AS, &oldLimit);
    // No VISA status caused this failure, so no status line follows.
    QCOMPARE(HistoryLines(*pDlg).mid(1), QStringList{QStringLiteral("<<< ") + kReadError});
    QVERIFY(pDlg->GetReplyLength() < 512u * 1024 * 1024);
    pDlg->OnConnect();
}

void TestExecution::historyLimit_data()
{
    QTest::addColumn<int>("eAnswer");
    QTest::addColumn<bool>("bSaveFile");

    QTest::newRow("No clears") << int(QMessageBox::No) << false;
    QTest::newRow("Yes, save cancelled, still clears") << int(QMessageBox::Yes) << false;
    QTest::newRow("Yes, saved") << int(QMessageBox::Yes) << true;
}

void TestExecution::historyLimit()
{
    QFETCH(int, eAnswer);
    QFETCH(bool, bSaveFile);

    CTestDlg dlg;
    dlg.InitDialog();
    dlg.show();
    dlg.m_timeFixed = QTime(14, 5, 3, 42);
    const QString strFull = QString::fromUtf8("\u4eea") + QString(CVelquistDlg::kHistoryLimit, QLatin1Char('v'));
    dlg.AppendHistory(strFull, CVelquistDlg::kIncoming, 1);
    const QString strBefore = dlg.HistoryText();
    QCOMPARE(strBefore.size(), CVelquistDlg::kHistoryLimit);

    CModalAnswerer answerer{QMessageBox::StandardButton(eAnswer)};
    const QString strSaved = m_dir.filePath(QStringLiteral("saved-%1.txt").arg(QTest::currentDataTag()).remove(' '));
    if (bSaveFile)
        answerer.m_strSaveAs = strSaved;
    dlg.AppendHistory(QStringLiteral("*IDN?"), CVelquistDlg::kOutgoing, 1);

    QCOMPARE(answerer.m_lstTexts, QStringList{CStringTable::Load(CStringTable::kHistoryFull)});
    QCOMPARE(dlg.HistoryText(), QStringLiteral("14: 5: 3  42 >>> *IDN?\n"));
    if (eAnswer == QMessageBox::Yes) {
        QCOMPARE(answerer.m_lstFileDialogNames.size(), 1);
        QVERIFY2(QFileInfo(answerer.m_lstFileDialogNames.at(0)).fileName().startsWith(QStringLiteral("OutputHistory-")),
                 qPrintable(answerer.m_lstFileDialogNames.at(0)));
    } else {
        QVERIFY(answerer.m_lstFileDialogNames.isEmpty());
    }
    QFile file(strSaved);
    QCOMPARE(file.exists(), bSaveFile);
    if (bSaveFile) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), strBefore);
    }
}

void TestExecution::insertionCutAtLimit()
{
    CTestDlg dlg;
    dlg.InitDialog();
    dlg.m_timeFixed = QTime(9, 5, 3, 42);
    dlg.AppendHistory(QString(32000, QLatin1Char('a')), CVelquistDlg::kIncoming, 0);
    dlg.AppendHistory(QString(2000, QLatin1Char('b')), CVelquistDlg::kIncoming, 1);
    const QString strText = dlg.HistoryText();
    QCOMPARE(strText.size(), CVelquistDlg::kHistoryLimit);
    QVERIFY(strText.endsWith(QStringLiteral(" 9: 5: 3  42 <<< ") + QString(32767 - 32000 - 2 * 17, QLatin1Char('b'))));
    dlg.ClearHistory();
    QCOMPARE(dlg.HistoryText(), QString());
    dlg.ClearHistory();
    QCOMPARE(dlg.HistoryText(), QString());
}

void TestExecution::closeWhileReading()
{
    auto pDlg = Connected(false, true);
    QVERIFY(QTest::qWaitForWindowExposed(pDlg.get()));
    QVERIFY(pDlg->WriteText(QStringLiteral("TEST:DELay 1500"), 15));
    SetCommand(*pDlg, QStringLiteral("TEST:TEXT? 3"));
    pDlg->OnAutomatic();
    QVERIFY(pDlg->IsWorkerRunning());

    CModalAnswerer answerer{QMessageBox::Yes};
    pDlg->close();
    QCOMPARE(answerer.m_lstTexts, QStringList{CStringTable::Load(CStringTable::kStopRunningQuery)});
    QVERIFY(!pDlg->IsWorkerRunning());
    QVERIFY(!pDlg->isVisible());
    QCOMPARE(HistoryLines(*pDlg).value(2).size(), 4 + 3);
    pDlg.reset();
}

int main(int argc, char** argv)
{
    return RunConsoleTest<TestExecution>(argc, argv);
}

#include "tst_execution.moc"
