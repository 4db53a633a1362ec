// The console end to end against velqsim over every transport: the same
// session, driven through the window's own controls, over the raw socket,
// VXI-11, HiSLIP and a serial line (a pseudo-terminal).
#include "ConsoleTestUtil.h"
#include "HistoryCombo.h"
#include "StringTable.h"
#include "WireLogFixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kIdentity = QStringLiteral("VELQUIST,VELQSIM SCPI SIMULATOR,000001,1.0.0");
// Generous: these tests must also pass on a slow, loaded machine.
constexpr int kWaitMs = 60000;
constexpr int kSessionTimeOutMs = 30000;

// The history lines of an *IDN? that failed, each failure followed by the VISA
// status behind it. A stream may still take one write after the peer left; it
// learns of that only when it reads.
bool IsFailedQuery(const QStringList& lstLines)
{
    const QString strSent = QStringLiteral(">>> *IDN?");
    const QString strWriteError = QStringLiteral(">>> # Error: Failed to write command to the instrument");
    return (lstLines.mid(0, 2) == QStringList{strSent, QStringLiteral("<<< ") + kReadError} && lstLines.size() == 3
            && lstLines.at(2).startsWith(QStringLiteral("<<< # VI_ERROR_")))
        || (lstLines.mid(0, 3) == QStringList{strSent, strWriteError, strSent} && lstLines.size() == 4
            && lstLines.at(3).startsWith(QStringLiteral(">>> # VI_ERROR_")));
}

// The bytes velqsim generates for TEST:TEXT? n, without the LF.
QByteArray TextAnswer(int nLength)
{
    static const QByteArray kPattern("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    QByteArray ba;
    ba.reserve(nLength);
    for (int i = 0; i < nLength; ++i)
        ba += kPattern.at(i % kPattern.size());
    return ba;
}

} // namespace

class TestTransports : public QObject, protected CWireLogFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void connectAndDisconnect_data() { AddTransportRows(); }
    void connectAndDisconnect();
    void automaticIdentity_data() { AddTransportRows(); }
    void automaticIdentity();
    void sentBytes_data();
    void sentBytes();
    void writeThenRead_data() { AddTransportRows(); }
    void writeThenRead();
    void binaryBlock_data() { AddTransportRows(); }
    void binaryBlock();
    void bufferFilledExactly_data();
    void bufferFilledExactly();
    void megabyteText_data() { AddTransportRows(); }
    void megabyteText();
    void readTimeOut_data();
    void readTimeOut();
    void instrumentGoesAway_data() { AddTransportRows(); }
    void instrumentGoesAway();
    void instrumentHangsUp_data() { AddTransportRows(); }
    void instrumentHangsUp();
    void failureNamesStatus_data();
    void failureNamesStatus();

private:
    // One row per transport: the server whose resource is opened, and whether
    // messages need the LF option to end.
    void AddTransportRows();
    std::unique_ptr<CTestDlg> Connect(int nTimeOutMs = kSessionTimeOutMs, bool bCR = false);
    void Disconnect(CTestDlg& dlg);
    QString Suffix() const;
    static void SetCommand(CTestDlg& dlg, const QString& strCommand)
    {
        dlg.Child<CHistoryCombo>("m_cbCommand")->setEditText(strCommand);
    }
    static void Click(CTestDlg& dlg, const char* pszButton)
    {
        QTest::mouseClick(dlg.Child<QPushButton>(pszButton), Qt::LeftButton);
    }
    static void RunQuery(CTestDlg& dlg, const QString& strQuery)
    {
        SetCommand(dlg, strQuery);
        Click(dlg, "m_btnAutomatic");
        dlg.WaitForWorker();
    }

};

void TestTransports::initTestCase()
{
    QVERIFY2(StartLoggedSim({QStringLiteral("--serial")}), qPrintable(m_sim.ErrorText()));
    for (const char* pszServer : {"SOCKET", "VXI11", "HISLIP", "PORTMAPPER"})
        QVERIFY2(m_sim.Port(QLatin1String(pszServer)) != 0, pszServer);
    QVERIFY(m_sim.Resource(QStringLiteral("ASRL")).startsWith("ASRL/"));
    // The VISA library asks this portmapper, not port 111, when it opens a VXI-11 link.
    qputenv("VELQ_VXI11_PORTMAPPER_PORT", QByteArray::number(m_sim.Port(QStringLiteral("PORTMAPPER"))));
}

void TestTransports::AddTransportRows()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<bool>("bLF");

    // A byte stream has no END: the line feed ends the message.
    QTest::newRow("SOCKET") << "SOCKET" << true;
    // END travels with the last byte; no terminator is sent.
    QTest::newRow("VXI-11") << "VXI11" << false;
    QTest::newRow("HiSLIP") << "HISLIP" << false;
    // A serial read ends at the line feed, the instrument's message too.
    QTest::newRow("ASRL") << "ASRL" << true;
}

// How the option's terminator shows at the end of a message in the wire log.
QString TestTransports::Suffix() const
{
    QFETCH(bool, bLF);
    return bLF ? QStringLiteral("\\n") : QString();
}

std::unique_ptr<CTestDlg> TestTransports::Connect(int nTimeOutMs, bool bCR)
{
    QFETCH(QString, strServer);
    QFETCH(bool, bLF);

    const QString strResource = QString::fromLatin1(m_sim.Resource(strServer));
    auto pDlg = std::make_unique<CTestDlg>();
    pDlg->SetExecutablePath(m_dir.filePath(QStringLiteral("velquist")));
    pDlg->InitDialog();
    pDlg->show();
    auto* pResource = pDlg->Child<CHistoryCombo>("m_cbResource");
    pResource->lineEdit()->clear();
    QTest::keyClicks(pResource->lineEdit(), strResource);
    pDlg->Child<QCheckBox>("m_chkAppendCR")->setChecked(bCR);
    pDlg->Child<QCheckBox>("m_chkAppendLF")->setChecked(bLF);
    auto* pTimeOut = pDlg->Child<QLineEdit>("m_editTimeOut");
    pTimeOut->clear();
    QTest::keyClicks(pTimeOut, QString::number(nTimeOutMs));
    // A failed connect says so in a message box, which must not wait for ever.
    CModalAnswerer answerer;
    Click(*pDlg, "m_btnConnect");
    if (!pDlg->GetInstrument() || !pDlg->GetInstrument()->IsInstruConnected()) {
        qWarning("cannot connect to velqsim at %s: %s", qPrintable(strResource),
                 qPrintable(answerer.m_lstTexts.join(QLatin1Char(' '))));
        return nullptr;
    }
    return pDlg;
}

void TestTransports::Disconnect(CTestDlg& dlg)
{
    Click(dlg, "m_btnConnect");
    QVERIFY(!dlg.GetInstrument());
}

void TestTransports::connectAndDisconnect()
{
    QFETCH(QString, strServer);

    auto pDlg = Connect();
    QVERIFY(pDlg);
    const QStringList lstFields{"m_cbResource", "m_editTimeOut", "m_chkOpc", "m_chkEoi", "m_chkAppendLF",
                                "m_chkAppendCR"};
    const QStringList lstCommands{"m_btnWrite",  "m_btnGoToLocal", "m_btnRemote", "m_btnIdn",
                                  "m_btnStb",    "m_btnOpt",       "m_btnCls",    "m_btnRst",
                                  "m_btnSystErr"};
    auto* pConnect = pDlg->Child<QPushButton>("m_btnConnect");
    QCOMPARE(pConnect->text(), QStringLiteral("Disonnec&t"));
    QVERIFY(pConnect->isEnabled());
    for (const QString& strField : lstFields)
        QVERIFY2(!pDlg->Child<QWidget>(qPrintable(strField))->isEnabled(), qPrintable(strField));
    for (const QString& strButton : lstCommands)
        QVERIFY2(pDlg->Child<QWidget>(qPrintable(strButton))->isEnabled(), qPrintable(strButton));
    QVERIFY(!pDlg->Child<QPushButton>("m_btnRead")->isEnabled());
    QVERIFY(pDlg->Child<QPushButton>("m_btnAutomatic")->isEnabled());
    QCOMPARE(pDlg->Child<CHistoryCombo>("m_cbResource")->itemText(0),
             QString::fromLatin1(m_sim.Resource(strServer)));

    Disconnect(*pDlg);
    QCOMPARE(pConnect->text(), QStringLiteral("Connec&t"));
    for (const QString& strField : lstFields)
        QVERIFY2(pDlg->Child<QWidget>(qPrintable(strField))->isEnabled(), qPrintable(strField));
    for (const QString& strButton : lstCommands)
        QVERIFY2(!pDlg->Child<QWidget>(qPrintable(strButton))->isEnabled(), qPrintable(strButton));
    QVERIFY(!pDlg->Child<QPushButton>("m_btnRead")->isEnabled());
    QVERIFY(pDlg->Child<QPushButton>("m_btnAutomatic")->isEnabled());

    // The link was really given up: connecting again works at once.
    Click(*pDlg, "m_btnConnect");
    QVERIFY(pDlg->GetInstrument() && pDlg->GetInstrument()->IsInstruConnected());
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    QCOMPARE(HistoryLines(*pDlg).value(1), QStringLiteral("<<< ") + kIdentity);
}

void TestTransports::automaticIdentity()
{
    auto pDlg = Connect();
    QVERIFY(pDlg);
    MarkWireLog();
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    QCOMPARE(HistoryLines(*pDlg), (QStringList{QStringLiteral(">>> *IDN?"), QStringLiteral("<<< ") + kIdentity}));
    QCOMPARE(pDlg->GetReplyLength(), uint(kIdentity.size() + 1));
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), QStringList{QStringLiteral("*IDN?") + Suffix()}, kWaitMs);
    Disconnect(*pDlg);
    QCOMPARE(NewWireLines(), QStringList{QStringLiteral("*IDN?") + Suffix()});
}

void TestTransports::sentBytes_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<bool>("bCR");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<QString>("strCommand");
    QTest::addColumn<QString>("strSuffix");

    const QString strLong = QStringLiteral("DISP:TEXT \"") + QString(3000, QLatin1Char('x')) + QLatin1Char('"');
    QTest::newRow("SOCKET, CR before LF") << "SOCKET" << true << true << "*CLS" << "\\r\\n";
    QTest::newRow("SOCKET, long command") << "SOCKET" << false << true << strLong << "\\n";
    // A terminator before END must not make a second, empty message.
    QTest::newRow("VXI-11, LF before END") << "VXI11" << false << true << "*CLS" << "\\n";
    QTest::newRow("VXI-11, CR and LF before END") << "VXI11" << true << true << "*CLS" << "\\r\\n";
    // Past the server's 1024-byte limit: chunks, END only on the last.
    QTest::newRow("VXI-11, long command") << "VXI11" << false << false << strLong << "";
    QTest::newRow("HiSLIP, LF before END") << "HISLIP" << false << true << "*CLS" << "\\n";
    QTest::newRow("HiSLIP, long command") << "HISLIP" << false << false << strLong << "";
}

void TestTransports::sentBytes()
{
    QFETCH(bool, bCR);
    QFETCH(QString, strCommand);
    QFETCH(QString, strSuffix);

    auto pDlg = Connect(kSessionTimeOutMs, bCR);
    QVERIFY(pDlg);
    MarkWireLog();
    SetCommand(*pDlg, strCommand);
    Click(*pDlg, "m_btnWrite");
    // The next query is answered at once: the instrument took the command as one message.
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    QCOMPARE(HistoryLines(*pDlg).mid(1),
             (QStringList{QStringLiteral(">>> *IDN?"), QStringLiteral("<<< ") + kIdentity}));
    const QStringList lstSent{strCommand + strSuffix, QStringLiteral("*IDN?") + strSuffix};
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), lstSent, kWaitMs);
    Disconnect(*pDlg);
}

void TestTransports::writeThenRead()
{
    auto pDlg = Connect();
    QVERIFY(pDlg);
    MarkWireLog();
    SetCommand(*pDlg, QStringLiteral("TEST:TEXT? 10"));
    Click(*pDlg, "m_btnWrite");
    QVERIFY(pDlg->Child<QPushButton>("m_btnRead")->isEnabled());
    QVERIFY(!pDlg->Child<QPushButton>("m_btnAutomatic")->isEnabled());
    QVERIFY(!pDlg->IsWorkerRunning());
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), QStringList{QStringLiteral("TEST:TEXT? 10") + Suffix()}, kWaitMs);

    Click(*pDlg, "m_btnRead");
    pDlg->WaitForWorker();
    QCOMPARE(HistoryLines(*pDlg), (QStringList{QStringLiteral(">>> TEST:TEXT? 10"), QStringLiteral("<<< ABCDEFGHIJ")}));
    QVERIFY(pDlg->Child<QPushButton>("m_btnRead")->isEnabled());
    QVERIFY(pDlg->Child<QPushButton>("m_btnAutomatic")->isEnabled());
    QVERIFY(pDlg->Child<QWidget>("m_btnStop")->isHidden());
    // Reading sends nothing.
    QCOMPARE(NewWireLines(), QStringList{QStringLiteral("TEST:TEXT? 10") + Suffix()});
    Disconnect(*pDlg);
}

void TestTransports::binaryBlock()
{
    auto pDlg = Connect();
    QVERIFY(pDlg);
    MarkWireLog();
    // Bytes 0 to 255 and on: zero bytes, and a line feed inside the block.
    RunQuery(*pDlg, QStringLiteral("TEST:BLOCk? 300"));
    QCOMPARE(HistoryLines(*pDlg).value(1), QStringLiteral("<<< #3300"));
    QCOMPARE(pDlg->GetReplyLength(), 306u);
    QByteArray baExpected("#3300");
    for (int i = 0; i < 300; ++i)
        baExpected += char(i & 0xff);
    baExpected += '\n';
    const auto& vecReply = pDlg->GetReplyBuffer();
    QCOMPARE(QByteArray(vecReply.data(), int(pDlg->GetReplyLength())), baExpected);

    // Nothing of the block was left behind for the next answer.
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    QCOMPARE(HistoryLines(*pDlg).value(3), QStringLiteral("<<< ") + kIdentity);
    const QStringList lstSent{QStringLiteral("TEST:BLOCk? 300") + Suffix(), QStringLiteral("*IDN?") + Suffix()};
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), lstSent, kWaitMs);
    Disconnect(*pDlg);
}

void TestTransports::bufferFilledExactly_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<int>("nAnswer");
    QTest::addColumn<QList<int>>("lstReads");

    // The answer's last byte (its END, or the line feed on a stream) falls on
    // the last byte a read asked for: the answer is complete, with no further
    // read that would wait for bytes that never come.
    const struct
    {
        const char* pszName;
        const char* pszServer;
        bool bLF;
    } kTransports[] = {{"SOCKET", "SOCKET", true}, {"VXI-11", "VXI11", false}, {"HiSLIP", "HISLIP", false},
                       {"ASRL", "ASRL", true}};
    for (const auto& transport : kTransports) {
        QTest::addRow("%s, 1024 bytes", transport.pszName)
            << transport.pszServer << transport.bLF << 1024 << QList<int>{1024};
        QTest::addRow("%s, 4096 bytes", transport.pszName)
            << transport.pszServer << transport.bLF << 4096 << QList<int>{1024, 1024, 2048};
    }
}

void TestTransports::bufferFilledExactly()
{
    QFETCH(int, nAnswer);
    QFETCH(QList<int>, lstReads);

    auto pDlg = Connect();
    QVERIFY(pDlg);
    RunQuery(*pDlg, QStringLiteral("TEST:TEXT? %1").arg(nAnswer - 1));
    const std::vector<int> vecReads = pDlg->Recorder()->ReadSizes();
    QCOMPARE(QList<int>(vecReads.begin(), vecReads.end()), lstReads);
    QCOMPARE(pDlg->GetReplyLength(), uint(nAnswer));
    QCOMPARE(int(pDlg->GetReplyBuffer().size()), nAnswer + 1);
    QCOMPARE(HistoryLines(*pDlg).value(1).size(), 4 + nAnswer - 1);
    Disconnect(*pDlg);
}

void TestTransports::megabyteText()
{
    constexpr int kLength = 1 << 20;
    auto pDlg = Connect();
    QVERIFY(pDlg);
    RunQuery(*pDlg, QStringLiteral("TEST:TEXT? %1").arg(kLength));

    // The buffer doubles from 1024 bytes; each read fills what it was given
    // until the last one takes the final line feed.
    QList<int> lstExpected{1024};
    for (int nSize = 1024; nSize <= kLength; nSize *= 2)
        lstExpected << nSize;
    const std::vector<int> vecReads = pDlg->Recorder()->ReadSizes();
    QCOMPARE(QList<int>(vecReads.begin(), vecReads.end()), lstExpected);
    QCOMPARE(pDlg->GetReplyLength(), uint(kLength + 1));
    QCOMPARE(int(pDlg->GetReplyBuffer().size()), 2 * kLength);
    const QByteArray baReply(pDlg->GetReplyBuffer().data(), kLength + 1);
    QVERIFY(baReply == TextAnswer(kLength) + '\n');

    // The pane keeps only its limit, the answer line cut at the end.
    const QStringList lstLines = HistoryLines(*pDlg);
    QCOMPARE(lstLines.size(), 2);
    QVERIFY(lstLines.at(1).startsWith(QStringLiteral("<<< ABCDEFGH")));
    QCOMPARE(pDlg->HistoryText().size(), CVelquistDlg::kHistoryLimit);
    Disconnect(*pDlg);
}

void TestTransports::readTimeOut_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<bool>("bAfterLateAnswer");
    QTest::addColumn<QStringList>("lstAnswers");

    const QString strIdn = QStringLiteral("<<< ") + kIdentity;
    const QString strLate = QStringLiteral("<<< ABCDEFG");
    // A raw byte stream has no message ids: the late answer is the next one
    // read, whole, and the own answer follows on the next Read.
    QTest::newRow("SOCKET, late answer first") << "SOCKET" << true << true << QStringList{strLate, strIdn};
    QTest::newRow("ASRL, late answer first") << "ASRL" << true << true << QStringList{strLate, strIdn};
    // The IEEE 488.2 exchange drops an unread answer when the next message
    // comes, whether it was still held back or already sent.
    QTest::newRow("VXI-11, answer still held back") << "VXI11" << false << false << QStringList{strIdn};
    QTest::newRow("VXI-11, late answer ready") << "VXI11" << false << true << QStringList{strIdn};
    QTest::newRow("HiSLIP, answer still held back") << "HISLIP" << false << false << QStringList{strIdn};
    QTest::newRow("HiSLIP, late answer already sent") << "HISLIP" << false << true << QStringList{strIdn};
}

void TestTransports::readTimeOut()
{
    QFETCH(bool, bAfterLateAnswer);
    QFETCH(QStringList, lstAnswers);

    constexpr int kTimeOutMs = 3000;
    constexpr int kDelayMs = 8000;
    auto pDlg = Connect(kTimeOutMs);
    QVERIFY(pDlg);
    MarkWireLog();
    const QString strDelay = QStringLiteral("TEST:DELay %1").arg(kDelayMs);
    QVERIFY(pDlg->WriteText(strDelay, strDelay.size()));
    QElapsedTimer sinceQuery;
    sinceQuery.start();
    SetCommand(*pDlg, QStringLiteral("TEST:TEXT? 7"));
    Click(*pDlg, "m_btnAutomatic");
    // A single read cannot be stopped, and nothing may start I/O meanwhile.
    QVERIFY(pDlg->IsWorkerRunning());
    QTRY_VERIFY_WITH_TIMEOUT(pDlg->Child<QWidget>("m_progress")->isVisible() || !pDlg->IsWorkerRunning(), kWaitMs);
    if (pDlg->IsWorkerRunning()) {
        for (const char* pszButton : {"m_btnConnect", "m_btnWrite", "m_btnRead", "m_btnAutomatic", "m_btnIdn"})
            QVERIFY2(!pDlg->Child<QPushButton>(pszButton)->isEnabled(), pszButton);
        QVERIFY(pDlg->Child<QWidget>("m_btnStop")->isHidden());
    }
    pDlg->WaitForWorker();
    QCOMPARE(HistoryLines(*pDlg).value(2), QStringLiteral("<<< ") + kReadError);
    // Line 3 names the time-out (failureNamesStatus checks its words).
    QVERIFY(pDlg->Child<QWidget>("m_progress")->isHidden());
    QVERIFY(pDlg->Child<QPushButton>("m_btnAutomatic")->isEnabled());
    QVERIFY(pDlg->Child<QPushButton>("m_btnConnect")->isEnabled());

    // Waiting longer only makes sure the instrument has answered by now;
    // it never decides what the right outcome is.
    if (bAfterLateAnswer)
        QTest::qWait(int(qMax<qint64>(0, kDelayMs + 1500 - sinceQuery.elapsed())));
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    for (int i = 1; i < lstAnswers.size(); ++i) {
        Click(*pDlg, "m_btnRead");
        pDlg->WaitForWorker();
    }
    const QStringList lstLines = HistoryLines(*pDlg);
    QCOMPARE(lstLines.mid(4, 1), QStringList{QStringLiteral(">>> *IDN?")});
    QCOMPARE(lstLines.mid(5), lstAnswers);

    // Still in step: a further query gets exactly its own answer.
    RunQuery(*pDlg, QStringLiteral("TEST:TEXT? 3"));
    QCOMPARE(HistoryLines(*pDlg).mid(5 + lstAnswers.size()),
             (QStringList{QStringLiteral(">>> TEST:TEXT? 3"), QStringLiteral("<<< ABC")}));

    const QString strSuffix = Suffix();
    QStringList lstSent;
    for (const QString& strCommand : {strDelay, QStringLiteral("TEST:TEXT? 7"), QStringLiteral("*IDN?"),
                                      QStringLiteral("TEST:TEXT? 3")})
        lstSent << strCommand + strSuffix;
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), lstSent, kWaitMs);
    Disconnect(*pDlg);
}

void TestTransports::instrumentHangsUp()
{
    auto pDlg = Connect();
    QVERIFY(pDlg);
    QVERIFY(pDlg->WriteText(QStringLiteral("TEST:HANGup 5"), 13));
    // Part of an answer, then the connection is gone.
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    const QStringList lstReadFailed{QStringLiteral(">>> *IDN?"), QStringLiteral("<<< ") + kReadError};
    QCOMPARE(HistoryLines(*pDlg).mid(1, 2), lstReadFailed);
    QVERIFY(pDlg->GetReplyLength() <= 5u);

    // The window reports a failure, never an answer, and never hangs.
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    const QStringList lstAfter = HistoryLines(*pDlg).mid(4);
    QVERIFY2(IsFailedQuery(lstAfter), qPrintable(lstAfter.join(QLatin1Char('|'))));
    QVERIFY(pDlg->Child<QPushButton>("m_btnConnect")->isEnabled());

    // Connecting anew gives a working session.
    Disconnect(*pDlg);
    Click(*pDlg, "m_btnConnect");
    QVERIFY(pDlg->GetInstrument() && pDlg->GetInstrument()->IsInstruConnected());
    pDlg->ClearHistory();
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    QCOMPARE(HistoryLines(*pDlg), (QStringList{QStringLiteral(">>> *IDN?"), QStringLiteral("<<< ") + kIdentity}));
    Disconnect(*pDlg);
}

void TestTransports::instrumentGoesAway()
{
    QFETCH(QString, strServer);
    QFETCH(bool, bLF);

    // An instrument of its own, so that it can go away; the session's time-out
    // is far beyond the wait below, so only the lost connection can end the read.
    CSimProcess sim;
    QVERIFY2(sim.Start({QStringLiteral("--serial")}), qPrintable(sim.ErrorText()));
    const QByteArray baPortmapper = qgetenv("VELQ_VXI11_PORTMAPPER_PORT");
    qputenv("VELQ_VXI11_PORTMAPPER_PORT", QByteArray::number(sim.Port(QStringLiteral("PORTMAPPER"))));
    CTestDlg dlg(QString::fromLatin1(sim.Resource(strServer)));
    dlg.SetExecutablePath(m_dir.filePath(QStringLiteral("velquist")));
    dlg.InitDialog();
    dlg.show();
    dlg.Child<QCheckBox>("m_chkAppendLF")->setChecked(bLF);
    dlg.Child<QLineEdit>("m_editTimeOut")->setText(QStringLiteral("250000"));
    {
        CModalAnswerer answerer;
        Click(dlg, "m_btnConnect");
    }
    qputenv("VELQ_VXI11_PORTMAPPER_PORT", baPortmapper);
    QVERIFY(dlg.GetInstrument() && dlg.GetInstrument()->IsInstruConnected());

    QVERIFY(dlg.WriteText(QStringLiteral("TEST:DELay 200000"), 17));
    SetCommand(dlg, QStringLiteral("*IDN?"));
    Click(dlg, "m_btnAutomatic");
    QTRY_VERIFY_WITH_TIMEOUT(dlg.Child<QWidget>("m_progress")->isVisible(), kWaitMs);
    sim.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsWorkerRunning(), kWaitMs);
    QCOMPARE(HistoryLines(dlg).mid(1, 2),
             (QStringList{QStringLiteral(">>> *IDN?"), QStringLiteral("<<< ") + kReadError}));
    QVERIFY(dlg.Child<QPushButton>("m_btnConnect")->isEnabled());

    // Nothing answers any more, and nothing waits for an answer either.
    RunQuery(dlg, QStringLiteral("*IDN?"));
    const QStringList lstAfter = HistoryLines(dlg).mid(4);
    QVERIFY2(IsFailedQuery(lstAfter), qPrintable(lstAfter.join(QLatin1Char('|'))));
    Disconnect(dlg);
}

namespace {

enum EFailure { kConnectFails, kReadFails, kWriteFails };

const QString kNotFound = QStringLiteral("VI_ERROR_RSRC_NFOUND: Insufficient location information or the requested "
                                         "device or resource is not present in the system.");
const QString kRefused = kNotFound + QStringLiteral(" Cannot connect to 127.0.0.1 port %1: Connection refused.");
const QString kTimeOut = QStringLiteral("VI_ERROR_TMO: Timeout expired before operation completed.");
const QString kConnLost = QStringLiteral("VI_ERROR_CONN_LOST: The connection for the given session has been lost.");

// A loopback port that refuses: bound, so nobody else takes it, but not listening.
class CRefusedPort
{
public:
    CRefusedPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            m_nPort = ntohs(addr.sin_port);
    }
    ~CRefusedPort() { ::close(m_fd); }
    int Port() const { return m_nPort; }

private:
    int m_fd = -1;
    int m_nPort = 0;
};

} // namespace

// Every failure the window reports keeps its text and names the VISA status behind it on one
// more line: the message box's second line, or a "# " line in the history after the error lines.
void TestTransports::failureNamesStatus_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<int>("eFailure");
    // %1 is a refused port; empty: the simulator's resource for strServer.
    QTest::addColumn<QString>("strResource");
    // Written first; for a failed write, the query before it loses the connection.
    QTest::addColumn<QString>("strSetup");
    QTest::addColumn<QString>("strStatus");

    QTest::newRow("SOCKET, port refused") << "SOCKET" << true << int(kConnectFails)
                                          << "TCPIP0::127.0.0.1::%1::SOCKET" << "" << kRefused;
    // The portmapper is asked first, so its port is the one that refuses.
    QTest::newRow("VXI-11, portmapper refused") << "VXI11" << false << int(kConnectFails) << "" << "" << kRefused;
    QTest::newRow("HiSLIP, port refused") << "HISLIP" << false << int(kConnectFails)
                                          << "TCPIP0::127.0.0.1::hislip0,%1::INSTR" << "" << kRefused;
    QTest::newRow("unknown host") << "SOCKET" << true << int(kConnectFails)
                                  << "TCPIP0::velq-no-such-host.invalid::5025::SOCKET" << ""
                                  << kNotFound + QStringLiteral(" Host name \"velq-no-such-host.invalid\" not found.");
    QTest::newRow("malformed name")
        << "SOCKET" << true << int(kConnectFails) << "TCPIP0::::::" << ""
        << QStringLiteral("VI_ERROR_INV_RSRC_NAME: Invalid resource reference specified. Parsing error.");
    const struct
    {
        const char* pszName;
        const char* pszServer;
        bool bLF;
    } kTransports[] = {{"SOCKET", "SOCKET", true}, {"VXI-11", "VXI11", false}, {"HiSLIP", "HISLIP", false},
                       {"ASRL", "ASRL", true}};
    for (const auto& transport : kTransports) {
        QTest::addRow("%s, time-out", transport.pszName)
            << transport.pszServer << transport.bLF << int(kReadFails) << "" << "TEST:DELay 6000" << kTimeOut;
        QTest::addRow("%s, hang-up", transport.pszName)
            << transport.pszServer << transport.bLF << int(kReadFails) << "" << "TEST:HANGup 3" << kConnLost;
        // These links know they are gone; a raw stream may still take one write after a hang-up.
        if (!transport.bLF)
            QTest::addRow("%s, write after hang-up", transport.pszName)
                << transport.pszServer << false << int(kWriteFails) << "" << "TEST:HANGup 0" << kConnLost;
    }
}

void TestTransports::failureNamesStatus()
{
    QFETCH(QString, strServer);
    QFETCH(int, eFailure);
    QFETCH(QString, strResource);
    QFETCH(QString, strSetup);
    QFETCH(QString, strStatus);

    const QString strSent = QStringLiteral(">>> *IDN?");
    const QString strWriteError = QStringLiteral(">>> # Error: Failed to write command to the instrument");
    if (eFailure == kConnectFails) {
        CRefusedPort refused;
        QVERIFY(refused.Port() != 0);
        const QByteArray baPortmapper = qgetenv("VELQ_VXI11_PORTMAPPER_PORT");
        if (strResource.isEmpty()) {
            strResource = QString::fromLatin1(m_sim.Resource(strServer));
            qputenv("VELQ_VXI11_PORTMAPPER_PORT", QByteArray::number(refused.Port()));
        }
        const QString strPort = QString::number(refused.Port());
        strResource.replace(QStringLiteral("%1"), strPort);
        CTestDlg dlg(strResource);
        dlg.SetExecutablePath(m_dir.filePath(QStringLiteral("velquist")));
        dlg.InitDialog();
        dlg.show();
        CModalAnswerer answerer;
        Click(dlg, "m_btnConnect");
        qputenv("VELQ_VXI11_PORTMAPPER_PORT", baPortmapper);
        QCOMPARE(answerer.m_lstTexts,
                 QStringList{CStringTable::Load(CStringTable::kConnectFailed) + QLatin1Char('\n') + strStatus.replace(QStringLiteral("%1"), strPort)});

        // The session object stays, without a session: a write reaches VISA and fails there.
        QVERIFY(dlg.GetInstrument() && !dlg.GetInstrument()->IsInstruConnected());
        RunQuery(dlg, QStringLiteral("*IDN?"));
        QCOMPARE(HistoryLines(dlg),
                 (QStringList{strSent, strWriteError, strSent,
                              QStringLiteral(">>> # VI_ERROR_INV_OBJECT: The given session or object reference is "
                                             "invalid.")}));
        return;
    }

    auto pDlg = Connect(2000);
    QVERIFY(pDlg);
    QVERIFY(pDlg->WriteText(strSetup, strSetup.size()));
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    const QStringList lstReadFailed{strSent, QStringLiteral("<<< ") + kReadError};
    if (eFailure == kReadFails) {
        QCOMPARE(HistoryLines(*pDlg).mid(1), lstReadFailed + QStringList{QStringLiteral("<<< # ") + strStatus});
    } else {
        QCOMPARE(HistoryLines(*pDlg).mid(1, 2), lstReadFailed);
        pDlg->ClearHistory();
        RunQuery(*pDlg, QStringLiteral("*IDN?"));
        QCOMPARE(HistoryLines(*pDlg),
                 (QStringList{strSent, strWriteError, strSent, QStringLiteral(">>> # ") + strStatus}));
    }
    Disconnect(*pDlg);
}

int main(int argc, char** argv)
{
    return RunConsoleTest<TestTransports>(argc, argv);
}

#include "tst_transports.moc"
