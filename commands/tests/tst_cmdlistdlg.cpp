#include "CmdListConsole.h"
#include "CmdListDlg.h"
#include "FileEditCtrl.h"
#include "StringTable.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

class CFakeConsole : public ICmdListConsole
{
public:
    int RunCommandList(const QStringList& lstCommands) override
    {
        m_lstRuns << lstCommands;
        return m_nRunResult;
    }
    bool IsInstrumentConnected() const override { return m_bConnected; }
    void SetCommandText(const QString& strCommand) override { m_lstCommandTexts << strCommand; }
    QIcon GetConsoleIcon() const override { return QIcon(); }

    bool m_bConnected = true;
    int m_nRunResult = 1;
    QList<QStringList> m_lstRuns;
    QStringList m_lstCommandTexts;
};

// Answers message boxes with OK and file dialogs with m_strFile (or
// cancels them), noting what each box said.
class CAnswerer : public QObject
{
public:
    CAnswerer()
    {
        connect(&m_tmPoll, &QTimer::timeout, this, [this] {
            QWidget* pModal = QApplication::activeModalWidget();
            if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
                m_lstTexts << pBox->text();
                pBox->accept();
            } else if (auto* pFiles = qobject_cast<QFileDialog*>(pModal)) {
                m_lstFileDialogs << pFiles->selectedFiles().value(0);
                if (m_strFile.isEmpty()) {
                    pFiles->reject();
                } else {
                    pFiles->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(m_strFile);
                    static_cast<QDialog*>(pFiles)->accept();
                }
            }
        });
        m_tmPoll.start(20);
    }
    QString m_strFile;
    QStringList m_lstTexts;
    QStringList m_lstFileDialogs;

private:
    QTimer m_tmPoll;
};

template <typename T>
T* Child(const QWidget& parent, const char* pszName)
{
    T* pChild = parent.findChild<T*>(QLatin1String(pszName));
    if (!pChild)
        qFatal("missing control %s", pszName);
    return pChild;
}

QStringList Rows(const CCmdListDlg& dlg)
{
    const auto* pList = Child<QTableWidget>(dlg, "m_listCommands");
    QStringList lstRows;
    for (int nRow = 0; nRow < pList->rowCount(); ++nRow)
        lstRows << QStringLiteral("%1 %2|%3")
                       .arg(pList->item(nRow, 0)->text(), pList->item(nRow, 1)->text(), pList->item(nRow, 2)->text());
    return lstRows;
}

} // namespace

class TestCmdListDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void runAll_data();
    void runAll();
    void parse();
    void modes();
    void restartRestores();
    void textFiles_data();
    void textFiles();
    void saveAs();

private:
    std::unique_ptr<CCmdListDlg> NewDialog()
    {
        auto pDlg = std::make_unique<CCmdListDlg>(&m_console);
        pDlg->show();
        return pDlg;
    }
    QString WriteFile(const QString& strName, const QByteArray& baBytes)
    {
        const QString strPath = m_dir.filePath(strName);
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(baBytes) != baBytes.size())
            qFatal("cannot write %s", qPrintable(strPath));
        return strPath;
    }
    void ParsePath(CCmdListDlg& dlg, const QString& strPath)
    {
        Child<CFileEditCtrl>(dlg, "m_editFilePath")->setText(strPath);
        QTest::mouseClick(Child<QPushButton>(dlg, "m_btnParse"), Qt::LeftButton);
    }
    static void SetMode(CCmdListDlg& dlg, bool bInput)
    {
        if (Child<QPushButton>(dlg, "m_btnInput")->isChecked() != bInput)
            QTest::mouseClick(Child<QPushButton>(dlg, "m_btnInput"), Qt::LeftButton);
    }

    CFakeConsole m_console;
    QTemporaryDir m_dir;
    QString m_strExample;
};

void TestCmdListDlg::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_strExample = WriteFile(QStringLiteral("example.scmd"),
                             "; supply check\r\n*RST\r\n\r\n;set up\r\nVOLT 5|set 5 V\r\nMEAS:VOLT?|read|back\r\n");
}

void TestCmdListDlg::init()
{
    m_console = CFakeConsole();
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TARNOVE TECHNOLOGIES"),
              QStringLiteral("Velquist"))
        .clear();
}

void TestCmdListDlg::runAll_data()
{
    QTest::addColumn<bool>("bConnected");
    QTest::addColumn<int>("nRunResult");
    QTest::addColumn<bool>("bInput");
    QTest::addColumn<QByteArray>("baContent"); // the file in list mode, the typed text in input mode
    QTest::addColumn<QStringList>("lstRun");   // what the console was asked to run, if anything
    QTest::addColumn<int>("nMessage");         // 0: none

    const QString strLong = QStringLiteral("TRAC:DATA ") + QString(290, QLatin1Char('1'));
    QTest::newRow("disconnected, nothing listed") << false << 1 << false << QByteArray() << QStringList() << 111;
    QTest::newRow("disconnected, commands listed") << false << 1 << false << QByteArray("*RST") << QStringList() << 111;
    QTest::newRow("nothing listed") << true << 1 << false << QByteArray(";only a comment") << QStringList() << 112;
    QTest::newRow("only empty commands listed") << true << 1 << false << QByteArray("|a note\n|") << QStringList()
                                                << 112;
    QTest::newRow("only blank lines typed") << true << 1 << true << QByteArray("\n\n") << QStringList() << 112;
    QTest::newRow("run refused") << true << 0 << false << QByteArray("*RST") << QStringList{"*RST"} << 110;
    QTest::newRow("list mode sends commands, not descriptions")
        << true << 1 << false << QByteArray(";c\n*RST|reset\n|note only\nVOLT 5| v \n  \n")
        << QStringList{"*RST", "VOLT 5", "  "} << 0;
    QTest::newRow("input mode sends lines whole")
        << true << 1 << true << (QByteArray("*RST\n\n\n") + strLong.toLatin1() + "\n   \n;not a comment|x\n\n")
        << QStringList{"*RST", strLong, "   ", ";not a comment|x"} << 0;
}

void TestCmdListDlg::runAll()
{
    QFETCH(bool, bConnected);
    QFETCH(int, nRunResult);
    QFETCH(bool, bInput);
    QFETCH(QByteArray, baContent);
    QFETCH(QStringList, lstRun);
    QFETCH(int, nMessage);

    m_console.m_bConnected = bConnected;
    m_console.m_nRunResult = nRunResult;
    auto pDlg = NewDialog();
    if (bInput) {
        SetMode(*pDlg, true);
        Child<QPlainTextEdit>(*pDlg, "m_editInput")->setPlainText(QString::fromLatin1(baContent));
    } else {
        ParsePath(*pDlg, WriteFile(QStringLiteral("run.scmd"), baContent));
    }
    CAnswerer answerer;
    QTest::mouseClick(Child<QPushButton>(*pDlg, "m_btnRunAll"), Qt::LeftButton);
    QCOMPARE(answerer.m_lstTexts, nMessage ? QStringList{CStringTable::Load(nMessage)} : QStringList());
    QCOMPARE(m_console.m_lstRuns, lstRun.isEmpty() ? QList<QStringList>() : QList<QStringList>{lstRun});
    QVERIFY(pDlg->isVisible());
}

void TestCmdListDlg::parse()
{
    auto pDlg = NewDialog();
    CAnswerer answerer;
    const QStringList lstExample{"0 *RST|", "1 VOLT 5|set 5 V", "2 MEAS:VOLT?|read|back"};
    ParsePath(*pDlg, m_strExample);
    QCOMPARE(Rows(*pDlg), lstExample);
    QTest::mouseClick(Child<QPushButton>(*pDlg, "m_btnParse"), Qt::LeftButton);
    QCOMPARE(Rows(*pDlg), lstExample);

    // An empty path changes neither the list nor the stored path.
    ParsePath(*pDlg, QString());
    QCOMPARE(Rows(*pDlg), lstExample);
    CCmdListDlg second(&m_console);
    QCOMPARE(Child<CFileEditCtrl>(second, "m_editFilePath")->text(), m_strExample);

    // A missing file empties the list without a word.
    ParsePath(*pDlg, m_dir.filePath(QStringLiteral("missing.scmd")));
    QCOMPARE(Rows(*pDlg), QStringList());
    QCOMPARE(answerer.m_lstTexts, QStringList());
}

void TestCmdListDlg::modes()
{
    auto pDlg = NewDialog();
    auto* pToggle = Child<QPushButton>(*pDlg, "m_btnInput");
    const QStringList lstInputOnly{"m_editInput", "m_btnOpenFile", "m_btnSaveAs"};
    const QStringList lstListOnly{"m_listCommands", "m_editFilePath", "m_btnParse"};
    for (bool bInput : {false, true, false}) {
        SetMode(*pDlg, bInput);
        QCOMPARE(pDlg->m_bInputMode, bInput ? 1 : 0);
        QCOMPARE(pToggle->text(), bInput ? QStringLiteral("Command List") : QStringLiteral("Command Input"));
        for (const QString& strName : lstInputOnly)
            QVERIFY2(Child<QWidget>(*pDlg, qPrintable(strName))->isVisible() == bInput, qPrintable(strName));
        for (const QString& strName : lstListOnly)
            QVERIFY2(Child<QWidget>(*pDlg, qPrintable(strName))->isVisible() != bInput, qPrintable(strName));
        for (const char* pszBoth : {"m_btnInput", "m_lblStatus", "m_btnRunAll", "m_btnOK", "m_btnCancel"})
            QVERIFY2(Child<QWidget>(*pDlg, pszBoth)->isVisible(), pszBoth);
    }
    QCOMPARE(Child<QLabel>(*pDlg, "m_lblStatus")->text(), QStringLiteral("Success: 0, Failed: 0"));
    pDlg->ShowRunStatus(50, 12, 3);
    QCOMPARE(Child<QLabel>(*pDlg, "m_lblStatus")->text(), QStringLiteral("All: 50, Success: 12, Failed: 3"));

    // OK and Cancel hide the window and keep what it holds.
    Child<QPlainTextEdit>(*pDlg, "m_editInput")->setPlainText(QStringLiteral("*CLS"));
    for (const char* pszButton : {"m_btnOK", "m_btnCancel"}) {
        pDlg->show();
        QTest::mouseClick(Child<QPushButton>(*pDlg, pszButton), Qt::LeftButton);
        QVERIFY2(pDlg->isHidden(), pszButton);
    }
    QCOMPARE(Child<QPlainTextEdit>(*pDlg, "m_editInput")->toPlainText(), QStringLiteral("*CLS"));
}

void TestCmdListDlg::restartRestores()
{
    {
        auto pDlg = NewDialog();
        QCOMPARE(pDlg->m_bInputMode, 0);
        ParsePath(*pDlg, m_strExample);
        SetMode(*pDlg, true);
    }
    CCmdListDlg dlg(&m_console);
    QCOMPARE(dlg.m_bInputMode, 1);
    QVERIFY(Child<QPushButton>(dlg, "m_btnInput")->isChecked());
    QCOMPARE(Child<CFileEditCtrl>(dlg, "m_editFilePath")->text(), m_strExample);
    QCOMPARE(Rows(dlg).size(), 3);
}

void TestCmdListDlg::textFiles_data()
{
    QTest::addColumn<QByteArray>("baFile");
    QTest::addColumn<QString>("strShown");

    QTest::newRow("UTF-8 with CR LF") << QByteArray("DISP:TEXT \"25\xC2\xB0\x43\"\r\n;note|x\r\n")
                                      << QString::fromUtf8("DISP:TEXT \"25\u00B0C\"\n;note|x\n");
    QTest::newRow("Latin-1, last line unterminated") << QByteArray("DISP:TEXT \"25\xB0\x43\"\n*RST")
                                                     << QString::fromUtf8("DISP:TEXT \"25\u00B0C\"\n*RST\n");
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF*IDN?\n") << QStringLiteral("*IDN?\n");
    QTest::newRow("empty file") << QByteArray() << QString();
}

void TestCmdListDlg::textFiles()
{
    QFETCH(QByteArray, baFile);
    QFETCH(QString, strShown);

    auto pDlg = NewDialog();
    SetMode(*pDlg, true);
    auto* pEdit = Child<QPlainTextEdit>(*pDlg, "m_editInput");
    pEdit->setPlainText(QStringLiteral("to be replaced"));
    CAnswerer answerer;
    answerer.m_strFile = WriteFile(QStringLiteral("open.scmd"), baFile);
    QTest::mouseClick(Child<QPushButton>(*pDlg, "m_btnOpenFile"), Qt::LeftButton);
    QCOMPARE(answerer.m_lstFileDialogs.size(), 1);
    QCOMPARE(QFileInfo(answerer.m_lstFileDialogs.at(0)).completeBaseName(), QStringLiteral("command_input"));
    QCOMPARE(pEdit->toPlainText(), strShown);
    QCOMPARE(pEdit->textCursor().position(), strShown.size());
}

void TestCmdListDlg::saveAs()
{
    auto pDlg = NewDialog();
    SetMode(*pDlg, true);
    const QString strText = QString::fromUtf8("DISP:TEXT \"25\u00B0C\"\n\u7535\u538B|x\n*RST");
    Child<QPlainTextEdit>(*pDlg, "m_editInput")->setPlainText(strText);
    CAnswerer answerer;
    // The default extension is added to a name typed without one.
    answerer.m_strFile = m_dir.filePath(QStringLiteral("saved"));
    QTest::mouseClick(Child<QPushButton>(*pDlg, "m_btnSaveAs"), Qt::LeftButton);
    QFile file(m_dir.filePath(QStringLiteral("saved.scmd")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), strText.toUtf8());
}

int main(int argc, char** argv)
{
    QTemporaryDir configDir;
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("LANGUAGE", "en");
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    TestCmdListDlg test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cmdlistdlg.moc"
