// The fixed commands, the error-queue readout, the More menu, help and file
// upload, driven through the window against velqsim and its wire log.
#include "ConsoleTestUtil.h"
#include "ErrorQueueReadout.h"
#include "FileUpload.h"
#include "HistoryCombo.h"
#include "MoreMenu.h"
#include "NyEdit.h"
#include "NySysErrorDlg.h"
#include "StringTable.h"
#include "WireLogFixture.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QSaveFile>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kIdentity = QStringLiteral("VELQUIST,VELQSIM SCPI SIMULATOR,000001,1.0.0");
constexpr int kWaitMs = 60000;
constexpr int kSessionTimeOutMs = 30000;
const QString kNoError = QStringLiteral("0,\"No error\"");
const QString kUndefinedHeader = QStringLiteral("-113,\"Undefined header\"");

// How the simulator's wire log writes a message's bytes.
QString Escaped(const QByteArray& baBytes)
{
    QString strOut;
    for (const char c : baBytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u == '\\')
            strOut += QStringLiteral("\\\\");
        else if (u == '\n')
            strOut += QStringLiteral("\\n");
        else if (u == '\r')
            strOut += QStringLiteral("\\r");
        else if (u >= 0x20 && u < 0x7f)
            strOut += QLatin1Char(c);
        else
            strOut += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return strOut;
}

QByteArray Terminators(bool bCR, bool bLF)
{
    return QByteArray(bCR ? "\r" : "") + QByteArray(bLF ? "\n" : "");
}

// Closes the errors dialog when it shows and keeps what it showed.
class CErrorDialogCatcher : public QObject
{
public:
    CErrorDialogCatcher()
    {
        connect(&m_tmPoll, &QTimer::timeout, this, [this] {
            auto* pDlg = qobject_cast<CNySysErrorDlg*>(QApplication::activeModalWidget());
            if (!pDlg)
                return;
            m_lstTexts << pDlg->ErrorBox().toPlainText();
            m_lstColors << pDlg->ErrorBox().palette().color(QPalette::Text);
            pDlg->accept();
        });
        m_tmPoll.start(20);
    }
    QStringList m_lstTexts;
    QList<QColor> m_lstColors;

private:
    QTimer m_tmPoll;
};

} // namespace

class CUrlSink : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> m_lstOpened;

public slots:
    void OnOpen(const QUrl& url) { m_lstOpened << url; }
};

class TestMoreCommands : public QObject, protected CWireLogFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fixedCommands_data();
    void fixedCommands();
    void errorReadout_data();
    void errorReadout();
    void removeCurrentCommand_data();
    void removeCurrentCommand();
    void exportThenImport_data();
    void exportThenImport();
    void writeAndRead();
    void helpDocument_data();
    void helpDocument();
    void upload_data();
    void upload();
    void uploadRefused_data();
    void uploadRefused();

private:
    std::unique_ptr<CTestDlg> NewDialog(const QString& strExeName = QStringLiteral("velquist"));
    std::unique_ptr<CTestDlg> Connect(const QString& strServer, bool bCR, bool bLF,
                                      int nTimeOutMs = kSessionTimeOutMs);
    static CMoreMenu& Menu(CTestDlg& dlg) { return *dlg.findChild<CMoreMenu*>(); }
    static CHistoryCombo& Commands(CTestDlg& dlg) { return *dlg.Child<CHistoryCombo>("m_cbCommand"); }
    static void RunQuery(CTestDlg& dlg, const QString& strQuery)
    {
        Commands(dlg).setEditText(strQuery);
        QTest::mouseClick(dlg.Child<QPushButton>("m_btnAutomatic"), Qt::LeftButton);
        dlg.WaitForWorker();
    }

};

void TestMoreCommands::initTestCase()
{
    QVERIFY2(StartLoggedSim(), qPrintable(m_sim.ErrorText()));
}

std::unique_ptr<CTestDlg> TestMoreCommands::NewDialog(const QString& strExeName)
{
    auto pDlg = std::make_unique<CTestDlg>();
    pDlg->SetExecutablePath(m_dir.filePath(strExeName));
    pDlg->InitDialog();
    pDlg->show();
    return pDlg;
}

std::unique_ptr<CTestDlg> TestMoreCommands::Connect(const QString& strServer, bool bCR, bool bLF, int nTimeOutMs)
{
    auto pDlg = std::make_unique<CTestDlg>(QString::fromLatin1(m_sim.Resource(strServer)));
    pDlg->SetExecutablePath(m_dir.filePath(QStringLiteral("velquist")));
    pDlg->InitDialog();
    pDlg->show();
    pDlg->Child<QCheckBox>("m_chkAppendCR")->setChecked(bCR);
    pDlg->Child<QCheckBox>("m_chkAppendLF")->setChecked(bLF);
    pDlg->Child<QLineEdit>("m_editTimeOut")->setText(QString::number(nTimeOutMs));
    pDlg->OnConnect();
    if (!pDlg->GetInstrument() || !pDlg->GetInstrument()->IsInstruConnected())
        return nullptr;
    return pDlg;
}

void TestMoreCommands::fixedCommands_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<bool>("bCR");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<QString>("strButton");
    QTest::addColumn<QString>("strRemembered");
    QTest::addColumn<QString>("strCommand");
    QTest::addColumn<QByteArray>("baSent");
    QTest::addColumn<QString>("strAnswer");

    // The zero byte goes out before the line end; the instrument takes it
    // as white space, so its error queue stays empty.
    QTest::newRow("Go To Local, LF") << "SOCKET" << false << true << "m_btnGoToLocal" << "" << "&GTL"
                                     << QByteArray("&GTL\0\n", 6) << "";
    QTest::newRow("Remote, CR and LF") << "SOCKET" << true << true << "m_btnRemote" << "" << "&GTR"
                                       << QByteArray("&GTR\0\r\n", 7) << "";
    QTest::newRow("*CLS, no line end") << "HISLIP" << false << false << "m_btnCls" << "" << "*CLS"
                                       << QByteArray("*CLS\0", 5) << "";
    QTest::newRow("*RST, LF") << "HISLIP" << false << true << "m_btnRst" << "" << "*RST"
                              << QByteArray("*RST\0\n", 6) << "";
    // Queries go through the command box, which picks the first remembered
    // command that begins with them.
    QTest::newRow("*IDN?") << "SOCKET" << false << true << "m_btnIdn" << "" << "*IDN?" << QByteArray("*IDN?\n")
                           << kIdentity;
    QTest::newRow("*OPT? finds a longer entry") << "SOCKET" << false << true << "m_btnOpt" << "*OPT?;*TST?"
                                                << "*OPT?;*TST?" << QByteArray("*OPT?;*TST?\n") << "0;0";
    QTest::newRow("*OPT?") << "HISLIP" << false << false << "m_btnOpt" << "" << "*OPT?" << QByteArray("*OPT?")
                           << "0";
    QTest::newRow("*STB?") << "HISLIP" << false << false << "m_btnStb" << "" << "*STB?" << QByteArray("*STB?")
                           << "0";
}

void TestMoreCommands::fixedCommands()
{
    QFETCH(QString, strServer);
    QFETCH(bool, bCR);
    QFETCH(bool, bLF);
    QFETCH(QString, strButton);
    QFETCH(QString, strRemembered);
    QFETCH(QString, strCommand);
    QFETCH(QByteArray, baSent);
    QFETCH(QString, strAnswer);

    auto pDlg = Connect(strServer, bCR, bLF);
    QVERIFY(pDlg);
    Commands(*pDlg).EmptyHistory();
    if (!strRemembered.isEmpty())
        Commands(*pDlg).addItems({QStringLiteral("*CLS"), strRemembered, QStringLiteral("*OPT?")});
    MarkWireLog();
    QTest::mouseClick(pDlg->Child<QPushButton>(qPrintable(strButton)), Qt::LeftButton);
    pDlg->WaitForWorker();
    QStringList lstHistory{QStringLiteral(">>> ") + strCommand};
    if (!strAnswer.isEmpty()) {
        lstHistory << QStringLiteral("<<< ") + strAnswer;
        QCOMPARE(Commands(*pDlg).itemText(0), strCommand);
    }
    QCOMPARE(HistoryLines(*pDlg), lstHistory);

    // The instrument found nothing wrong with what it got.
    RunQuery(*pDlg, QStringLiteral("SYST:ERR?"));
    QCOMPARE(HistoryLines(*pDlg).constLast(), QStringLiteral("<<< ") + kNoError);
    const QString strQueryEnd = bLF ? QStringLiteral("\\n") : QString();
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(),
                              (QStringList{Escaped(baSent), QStringLiteral("SYST:ERR?") + Escaped(Terminators(bCR, bLF))}),
                              kWaitMs);
}

void TestMoreCommands::errorReadout_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<QStringList>("lstSetup");
    QTest::addColumn<QStringList>("lstShown");
    QTest::addColumn<bool>("bRed");
    QTest::addColumn<int>("nQueries");

    const QStringList lstTwo{QStringLiteral("NO:SUCH:ONE"), QStringLiteral("NO:SUCH:TWO")};
    QStringList lstEndless(CErrorQueueReadout::kMaxAnswers, QStringLiteral("-300,\"Device-specific error\""));
    lstEndless << QStringLiteral("Stopped after 100 answers: the instrument's error queue never reported 0.");
    for (const char* pszServer : {"SOCKET", "HISLIP"}) {
        const bool bLF = QByteArray(pszServer) == "SOCKET";
        QTest::addRow("%s, empty queue", pszServer) << pszServer << bLF << QStringList{} << QStringList{kNoError}
                                                   << false << 1;
        QTest::addRow("%s, two errors", pszServer)
            << pszServer << bLF << lstTwo << QStringList{kUndefinedHeader, kUndefinedHeader, kNoError} << true << 3;
        QTest::addRow("%s, queue never empties", pszServer)
            << pszServer << bLF << QStringList{QStringLiteral("TEST:ERRor:ENDLess")} << lstEndless << true
            << CErrorQueueReadout::kMaxAnswers;
    }
    // Without its line end a stream instrument never sees the query end:
    // the read runs into the time-out and nothing is shown.
    QTest::newRow("SOCKET without LF") << "SOCKET" << false << QStringList{} << QStringList{QString()} << false << 0;
}

void TestMoreCommands::errorReadout()
{
    QFETCH(QString, strServer);
    QFETCH(bool, bLF);
    QFETCH(QStringList, lstSetup);
    QFETCH(QStringList, lstShown);
    QFETCH(bool, bRed);
    QFETCH(int, nQueries);

    auto pDlg = Connect(strServer, false, bLF, nQueries ? kSessionTimeOutMs : 1500);
    QVERIFY(pDlg);
    MarkWireLog();
    const QString strEnd = bLF ? QStringLiteral("\\n") : QString();
    QStringList lstSent;
    // Held back so that the readout is seen waiting.
    if (nQueries)
        lstSetup << QStringLiteral("TEST:DELay 1000");
    for (const QString& strCommand : lstSetup) {
        QVERIFY(pDlg->WriteText(strCommand, strCommand.size()));
        lstSent << strCommand + strEnd;
    }
    pDlg->ClearHistory();

    CErrorDialogCatcher catcher;
    QTest::mouseClick(pDlg->Child<QPushButton>("m_btnSystErr"), Qt::LeftButton);
    // The window's thread is back at once; the readout runs on the worker.
    QVERIFY(pDlg->IsWorkerRunning());
    QVERIFY(!pDlg->Child<QPushButton>("m_btnSystErr")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(catcher.m_lstTexts.size(), 1, kWaitMs);
    QCOMPARE(catcher.m_lstTexts.constFirst().split(QLatin1Char('\n')), lstShown);
    QCOMPARE(catcher.m_lstColors.constFirst(), bRed ? QColor(255, 0, 0) : QColor(0, 255, 0));
    QVERIFY(pDlg->Child<QPushButton>("m_btnSystErr")->isEnabled());
    // The dialog is posted just before the worker's last action.
    QTRY_VERIFY_WITH_TIMEOUT(!pDlg->IsWorkerRunning(), kWaitMs);
    // Nothing of the readout goes into the session history.
    QCOMPARE(HistoryLines(*pDlg), QStringList());

    const QString strQuery = QStringLiteral("SYST:ERR?\\x00") + strEnd;
    lstSent << QStringList(qMax(1, nQueries), strQuery);
    if (nQueries) {
        QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), lstSent, kWaitMs);
        // The simulator's HiSLIP device outlives the connection. Seen in the
        // log before the next row marks it.
        QVERIFY(pDlg->WriteText(QStringLiteral("*CLS"), 4));
        lstSent << QStringLiteral("*CLS") + strEnd;
        QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), lstSent, kWaitMs);
    }
    pDlg->OnConnect();
    // A message without its end is logged when the connection goes.
    if (!nQueries)
        QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), lstSent, kWaitMs);
}

void TestMoreCommands::removeCurrentCommand_data()
{
    QTest::addColumn<int>("nChoose");
    QTest::addColumn<QString>("strTyped");
    QTest::addColumn<bool>("bWrite");
    QTest::addColumn<QStringList>("lstAfter");
    QTest::addColumn<QString>("strShown");

    QTest::newRow("first chosen") << 0 << "" << false << QStringList{"*RST", "*CLS"} << "*RST";
    QTest::newRow("last chosen") << 2 << "" << false << QStringList{"*IDN?", "*RST"} << "*RST";
    QTest::newRow("none chosen") << -1 << "" << false << QStringList{"*IDN?", "*RST", "*CLS"} << "";
    QTest::newRow("typed after choosing") << 1 << "X" << false << QStringList{"*IDN?", "*RST", "*CLS"} << "*RSTX";
    // Writing puts the typed command at the top and selects it.
    QTest::newRow("typed, then written") << 1 << "X" << true << QStringList{"*IDN?", "*RST", "*CLS"} << "*IDN?";
}

void TestMoreCommands::removeCurrentCommand()
{
    QFETCH(int, nChoose);
    QFETCH(QString, strTyped);
    QFETCH(bool, bWrite);
    QFETCH(QStringList, lstAfter);
    QFETCH(QString, strShown);

    auto pDlg = NewDialog();
    CHistoryCombo& commands = Commands(*pDlg);
    commands.EmptyHistory();
    commands.addItems({QStringLiteral("*IDN?"), QStringLiteral("*RST"), QStringLiteral("*CLS")});
    commands.setCurrentIndex(-1);
    if (nChoose >= 0) {
        commands.setCurrentIndex(nChoose);
        emit commands.activated(nChoose);
    }
    if (!strTyped.isEmpty()) {
        commands.lineEdit()->end(false);
        QTest::keyClicks(commands.lineEdit(), strTyped);
    }
    if (bWrite) {
        CModalAnswerer answerer;
        pDlg->OnWrite();
    }
    Menu(*pDlg).OnMoreMenu(CMoreMenu::EEntry::RemoveCurrentCommand);
    QCOMPARE(commands.Entries(), lstAfter);
    QCOMPARE(commands.currentText(), strShown);
}

void TestMoreCommands::exportThenImport_data()
{
    QTest::addColumn<QStringList>("lstEntries");
    QTest::newRow("plain") << QStringList{"*IDN?", "MEAS:VOLT? 10,0.001", "*RST"};
    QTest::newRow("beyond ASCII") << QStringList{QString::fromUtf8("DISP:TEXT 'Me\u00df \u00b5V'"),
                                                 QString::fromUtf8("DISP:TEXT '\u6307\u4ee4'"), "*CLS"};
    QTest::newRow("one entry") << QStringList{"*TST?"};
}

void TestMoreCommands::exportThenImport()
{
    QFETCH(QStringList, lstEntries);
    auto pDlg = NewDialog();
    CHistoryCombo& commands = Commands(*pDlg);
    commands.EmptyHistory();
    commands.addItems(lstEntries);
    commands.setCurrentIndex(0);

    const QString strFile = m_dir.filePath(QStringLiteral("commands.txt"));
    QFile::remove(strFile);
    {
        CModalAnswerer answerer;
        answerer.m_strSaveAs = strFile;
        Menu(*pDlg).OnMoreMenu(CMoreMenu::EEntry::CommandExport);
        QCOMPARE(answerer.m_lstFileDialogNames.size(), 1);
        QVERIFY(QFileInfo(answerer.m_lstFileDialogNames.constFirst()).fileName().startsWith(QStringLiteral("velqlog-")));
    }
    QFile file(strFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), lstEntries.join(QStringLiteral("\r\n")).toUtf8());

    commands.EmptyHistory();
    commands.addItems({QStringLiteral("*OLD")});
    {
        CModalAnswerer answerer;
        answerer.m_strSaveAs = strFile;
        Menu(*pDlg).OnMoreMenu(CMoreMenu::EEntry::CommandImport);
    }
    QCOMPARE(commands.Entries(), lstEntries);
    QCOMPARE(commands.currentIndex(), 0);
}

void TestMoreCommands::writeAndRead()
{
    auto pDlg = Connect(QStringLiteral("SOCKET"), false, true);
    QVERIFY(pDlg);
    QVERIFY(pDlg->WriteText(QStringLiteral("TEST:TEXT? 3"), 12));
    pDlg->ClearHistory();
    // Not a query, but the answer left from before is read all the same.
    Commands(*pDlg).setEditText(QStringLiteral("*CLS"));
    Menu(*pDlg).OnMoreMenu(CMoreMenu::EEntry::WriteAndRead);
    pDlg->WaitForWorker();
    QCOMPARE(HistoryLines(*pDlg), (QStringList{QStringLiteral(">>> *CLS"), QStringLiteral("<<< ABC")}));
    QCOMPARE(Commands(*pDlg).itemText(0), QStringLiteral("*CLS"));
    pDlg->OnConnect();
}

void TestMoreCommands::helpDocument_data()
{
    QTest::addColumn<bool>("bKey");
    QTest::addColumn<bool>("bPresent");
    QTest::newRow("menu, document there") << false << true;
    QTest::newRow("help key, document there") << true << true;
    QTest::newRow("menu, no document") << false << false;
    QTest::newRow("help key, no document") << true << false;
}

void TestMoreCommands::helpDocument()
{
    QFETCH(bool, bKey);
    QFETCH(bool, bPresent);

    // Letter case is kept: names on this platform are case-sensitive.
    const QString strHelp = m_dir.filePath(QStringLiteral("Velquist.pdf"));
    QFile::remove(strHelp);
    if (bPresent) {
        QFile file(strHelp);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4\n");
    }
    CUrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "OnOpen");
    auto pDlg = NewDialog(QStringLiteral("Velquist"));
    QVERIFY(QTest::qWaitForWindowExposed(pDlg.get()));
    pDlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(pDlg.get()));
    CModalAnswerer answerer;
    if (bKey)
        QTest::keyClick(pDlg->Child<CHistoryCombo>("m_cbCommand")->lineEdit(), Qt::Key_F1);
    else
        Menu(*pDlg).OnMoreMenu(CMoreMenu::EEntry::Help);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(sink.m_lstOpened, bPresent ? QList<QUrl>{QUrl::fromLocalFile(strHelp)} : QList<QUrl>{});
    QCOMPARE(answerer.m_lstTexts, bPresent ? QStringList{} : QStringList{CStringTable::Load(CStringTable::kHelpFailed)});
}

void TestMoreCommands::upload_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<bool>("bCR");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<QString>("strName");
    QTest::addColumn<QByteArray>("baContent");
    QTest::addColumn<QString>("strHeader");

    QByteArray baLarge;
    for (int i = 0; i < 10000; ++i)
        baLarge += char('A' + i % 26);
    // Quote bytes and line feeds inside the block are data, nothing else.
    const QByteArray baBinary("it's\n'\0\r\n''\xff", 12);
    QTest::newRow("5 bytes") << "SOCKET" << false << true << "hello.txt" << QByteArray("ABCDE") << "#15";
    QTest::newRow("empty file") << "SOCKET" << false << true << "empty.dat" << QByteArray() << "#10";
    QTest::newRow("10000 bytes") << "SOCKET" << true << true << "large.bin" << baLarge << "#510000";
    QTest::newRow("apostrophes and line feeds") << "SOCKET" << false << true << "setup.dat" << baBinary << "#212";
    QTest::newRow("name beyond ASCII") << "SOCKET" << false << true << QString::fromUtf8("messwert-\u00e4.bin")
                                       << QByteArray("12345") << "#15";
    QTest::newRow("apostrophe in the name") << "SOCKET" << false << true << "it's.dat" << QByteArray("12345") << "#15";
    QTest::newRow("HiSLIP, no line end") << "HISLIP" << false << false << "setup.dat" << baBinary << "#212";
}

void TestMoreCommands::upload()
{
    QFETCH(QString, strServer);
    QFETCH(bool, bCR);
    QFETCH(bool, bLF);
    QFETCH(QString, strName);
    QFETCH(QByteArray, baContent);
    QFETCH(QString, strHeader);

    const QString strPath = m_dir.filePath(strName);
    const QString strQuoted = QString(strName).replace(QLatin1Char('\''), QStringLiteral("''"));
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(baContent);
    file.close();

    auto pDlg = Connect(strServer, bCR, bLF);
    QVERIFY(pDlg);
    MarkWireLog();
    {
        CModalAnswerer answerer;
        answerer.m_strSaveAs = strPath;
        Menu(*pDlg).OnMoreMenu(CMoreMenu::EEntry::UploadFile);
        const QString strData = QStringLiteral("MMEM:DATA '%1',%2").arg(strQuoted, strHeader);
        QCOMPARE(answerer.m_lstTexts, QStringList{strData});
    }
    QCOMPARE(HistoryLines(*pDlg),
             QStringList{QStringLiteral(">>> # Info: Successfully to write the command & file to the instrument!")});

    const QByteArray baEnd = Terminators(bCR, bLF);
    const QByteArray baName = strQuoted.toLatin1();
    const QStringList lstSent{
        Escaped("MMEM:NAME 'C:\\Temp\\" + baName + "'" + baEnd),
        Escaped("MMEM:DATA '" + baName + "'," + strHeader.toLatin1() + baContent + baEnd)};
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), lstSent, kWaitMs);

    // What the instrument stored is the file, byte for byte.
    pDlg->ClearHistory();
    RunQuery(*pDlg, QStringLiteral("MMEM:DATA? '%1'").arg(strQuoted));
    const QByteArray baReply(pDlg->GetReplyBuffer().data(), int(pDlg->GetReplyLength()));
    QCOMPARE(baReply, strHeader.toLatin1() + baContent + '\n');
    RunQuery(*pDlg, QStringLiteral("SYST:ERR?"));
    QCOMPARE(HistoryLines(*pDlg).constLast(), QStringLiteral("<<< ") + kNoError);
    pDlg->OnConnect();
}

void TestMoreCommands::uploadRefused_data()
{
    QTest::addColumn<bool>("bConnect");
    QTest::addColumn<QString>("strKind");
    QTest::addColumn<QStringList>("lstMessages");

    QTest::newRow("not connected") << false << "small" << QStringList{};
    QTest::newRow("name beyond Latin-1") << true << "chinese" << QStringList{};
    QTest::newRow("not a regular file") << true << "fifo" << QStringList{QString::fromUtf8("打开文件读取数据失败!")};
    QTest::newRow("message would reach 2 GiB")
        << true << "huge" << QStringList{QStringLiteral("The file is too large to upload: the message would reach 2 GiB.")};
}

void TestMoreCommands::uploadRefused()
{
    QFETCH(bool, bConnect);
    QFETCH(QString, strKind);
    QFETCH(QStringList, lstMessages);

    QString strPath = m_dir.filePath(QStringLiteral("refused-") + strKind);
    if (strKind == QLatin1String("chinese"))
        strPath = m_dir.filePath(QString::fromUtf8("\u6587\u4ef6.bin"));
    QFile::remove(strPath);
    if (strKind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(strPath).constData(), 0600), 0);
    } else {
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("ABCDE");
        // Sparse: no disk space and no memory for a file of 2 GiB.
        if (strKind == QLatin1String("huge"))
            QVERIFY(file.resize(CFileUpload::kMaxMessage));
    }

    auto pDlg = bConnect ? Connect(QStringLiteral("SOCKET"), false, true) : NewDialog();
    QVERIFY(pDlg);
    MarkWireLog();
    {
        CModalAnswerer answerer;
        answerer.m_strSaveAs = strPath;
        Menu(*pDlg).OnMoreMenu(CMoreMenu::EEntry::UploadFile);
        QCOMPARE(answerer.m_lstFileDialogNames.size(), 1);
        QCOMPARE(answerer.m_lstTexts, lstMessages);
    }
    QCOMPARE(HistoryLines(*pDlg), QStringList());
    QFile::remove(strPath);
    if (!bConnect)
        return;
    // Nothing went out before this query.
    RunQuery(*pDlg, QStringLiteral("*IDN?"));
    QTRY_COMPARE_WITH_TIMEOUT(NewWireLines(), QStringList{QStringLiteral("*IDN?\\n")}, kWaitMs);
    pDlg->OnConnect();
}

int main(int argc, char** argv)
{
    return RunConsoleTest<TestMoreCommands>(argc, argv);
}

#include "tst_morecommands.moc"
