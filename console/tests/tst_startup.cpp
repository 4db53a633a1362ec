#include "HistoryCombo.h"
#include "VelquistApp.h"
#include "VelquistDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

// Every run gets its own settings root and history folder; nothing here may
// read or write a real user's files.
static QTemporaryDir* s_pConfigDir = nullptr;

struct SFileSnapshot
{
    QMap<QString, QByteArray> mapContents;

    static SFileSnapshot Take(const QStringList& lstPaths)
    {
        SFileSnapshot snap;
        for (const QString& strPath : lstPaths) {
            QFile file(strPath);
            snap.mapContents.insert(strPath, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>"));
        }
        return snap;
    }
};

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyStoreGivesDefaults();
    void settingsAndHistoriesPersist();
    void commandLine_data();
    void commandLine();
    void failedSaveKeepsPreviousFile();
    void timeoutOutOfRangeStopsExchange();
    void timeoutOutOfRangeNeverReachesField_data();
    void timeoutOutOfRangeNeverReachesField();
    void commandLengthFollowsTyping();

private:
    std::unique_ptr<CVelquistDlg> NewDialog();
    QString SettingsFile() const;
    QStringList PersistedFiles() const;

    std::unique_ptr<QTemporaryDir> m_pExeDir;
    QString m_strExePath;
};

template <typename T>
static T* Child(QWidget& dlg, const char* pszName)
{
    T* pChild = dlg.findChild<T*>(QLatin1String(pszName));
    if (!pChild)
        qFatal("missing control %s", pszName);
    return pChild;
}

void TestStartup::initTestCase()
{
    QVERIFY(s_pConfigDir && s_pConfigDir->isValid());
    QVERIFY(SettingsFile().startsWith(s_pConfigDir->path()));
}

void TestStartup::init()
{
    m_pExeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pExeDir->isValid());
    m_strExePath = m_pExeDir->filePath(QStringLiteral("velquist"));
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(CVelquistApp::kOrganization),
                       QLatin1String(CVelquistApp::kApplication));
    settings.clear();
    settings.sync();
    QFile::remove(SettingsFile());
}

void TestStartup::cleanup()
{
    m_pExeDir.reset();
}

QString TestStartup::SettingsFile() const
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(CVelquistApp::kOrganization),
                       QLatin1String(CVelquistApp::kApplication));
    return settings.fileName();
}

QStringList TestStartup::PersistedFiles() const
{
    return {SettingsFile(), m_strExePath + QStringLiteral(".type"), m_strExePath + QStringLiteral(".cfg")};
}

std::unique_ptr<CVelquistDlg> TestStartup::NewDialog()
{
    auto pDlg = std::make_unique<CVelquistDlg>();
    pDlg->SetExecutablePath(m_strExePath);
    return pDlg;
}

void TestStartup::emptyStoreGivesDefaults()
{
    auto pDlg = NewDialog();
    pDlg->InitDialog();
    QCOMPARE(pDlg->m_nTimeOut, 10000);
    QCOMPARE(Child<QLineEdit>(*pDlg, "m_editTimeOut")->text(), QStringLiteral("10000"));
    for (const char* pszBox : {"m_chkOpc", "m_chkEoi", "m_chkAppendLF", "m_chkAppendCR"})
        QVERIFY2(!Child<QCheckBox>(*pDlg, pszBox)->isChecked(), pszBox);
    auto* pResource = Child<CHistoryCombo>(*pDlg, "m_cbResource");
    QCOMPARE(pResource->currentText(), QStringLiteral("GPIB0::18::INSTR"));
    QCOMPARE(pResource->count(), 4);
    auto* pCommand = Child<CHistoryCombo>(*pDlg, "m_cbCommand");
    QCOMPARE(pCommand->currentText(), QStringLiteral("*IDN?"));
    QCOMPARE(pCommand->count(), 9);
    QCOMPARE(Child<QComboBox>(*pDlg, "m_cbInterface")->currentText(), QStringLiteral("VISA"));
    QCOMPARE(Child<QLabel>(*pDlg, "m_lblCommandLength")->text(), QStringLiteral("5 Ch"));
}

void TestStartup::settingsAndHistoriesPersist()
{
    {
        auto pDlg = NewDialog();
        pDlg->InitDialog();
        Child<QLineEdit>(*pDlg, "m_editTimeOut")->setText(QStringLiteral("2500"));
        Child<QCheckBox>(*pDlg, "m_chkOpc")->setChecked(true);
        Child<QCheckBox>(*pDlg, "m_chkAppendLF")->setChecked(true);
        Child<CHistoryCombo>(*pDlg, "m_cbResource")->setEditText(QStringLiteral("TCPIP0::10.1.1.1::INSTR"));
        Child<CHistoryCombo>(*pDlg, "m_cbCommand")->PushEntry(QStringLiteral("MEAS:VOLT?"));
        QVERIFY(pDlg->TakeControlValues());
    }
    for (const QString& strPath : PersistedFiles())
        QVERIFY2(QFileInfo::exists(strPath), qPrintable(strPath));

    auto pDlg = NewDialog();
    pDlg->InitDialog();
    QCOMPARE(pDlg->m_nTimeOut, 2500);
    QCOMPARE(pDlg->m_bOpcTerminate, 1);
    QCOMPARE(pDlg->m_bAppendLF, 1);
    QCOMPARE(pDlg->m_bAppendCR, 0);
    QCOMPARE(pDlg->m_bEoi, 0);
    QVERIFY(Child<QCheckBox>(*pDlg, "m_chkOpc")->isChecked());
    auto* pResource = Child<CHistoryCombo>(*pDlg, "m_cbResource");
    QCOMPARE(pResource->itemText(0), QStringLiteral("TCPIP0::10.1.1.1::INSTR"));
    QCOMPARE(pResource->count(), 5);
    auto* pCommand = Child<CHistoryCombo>(*pDlg, "m_cbCommand");
    QCOMPARE(pCommand->itemText(0), QStringLiteral("MEAS:VOLT?"));
    QCOMPARE(pCommand->count(), 10);
    // The member default *IDN? is then looked up in the restored list.
    QCOMPARE(pCommand->currentText(), QStringLiteral("*IDN?"));
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QStringList>("lstArgs");
    QTest::addColumn<bool>("bApplied");
    QTest::addColumn<QString>("strResource");
    QTest::addColumn<int>("nTimeOut");

    QTest::newRow("both switches")
        << QStringList{"-VISA:TCPIP0::10.0.0.5::INSTR", "-Timeout:3000"} << true << "TCPIP0::10.0.0.5::INSTR" << 3000;
    QTest::newRow("keys in any case, slash form")
        << QStringList{"/visa:GPIB0::5::INSTR", "/TIMEOUT:500"} << true << "GPIB0::5::INSTR" << 500;
    QTest::newRow("timeout not a number keeps the default")
        << QStringList{"-VISA:ASRL1::INSTR", "-Timeout:soon"} << true << "ASRL1::INSTR" << 10000;
    QTest::newRow("timeout with trailing text")
        << QStringList{"-VISA:ASRL1::INSTR", "-Timeout:3000ms"} << true << "ASRL1::INSTR" << 3000;
    QTest::newRow("VISA alone ignored") << QStringList{"-VISA:TCPIP0::10.0.0.5::INSTR"} << false << "" << 0;
    QTest::newRow("Timeout alone ignored") << QStringList{"-Timeout:3000"} << false << "" << 0;
    QTest::newRow("no arguments") << QStringList{} << false << "" << 0;
}

void TestStartup::commandLine()
{
    QFETCH(QStringList, lstArgs);
    QFETCH(bool, bApplied);
    QFETCH(QString, strResource);
    QFETCH(int, nTimeOut);

    // A previous normal run leaves settings and histories behind.
    {
        auto pDlg = NewDialog();
        pDlg->InitDialog();
        Child<QLineEdit>(*pDlg, "m_editTimeOut")->setText(QStringLiteral("7777"));
        Child<CHistoryCombo>(*pDlg, "m_cbResource")->PushEntry(QStringLiteral("USB0::1::INSTR"));
        QVERIFY(pDlg->TakeControlValues());
    }
    const SFileSnapshot before = SFileSnapshot::Take(PersistedFiles());
    QVERIFY(!before.mapContents.values().contains(QByteArray("<missing>")));

    {
        auto pDlg = NewDialog();
        QCOMPARE(CVelquistApp::ApplyCommandLine(*pDlg, lstArgs), bApplied);
        pDlg->InitDialog();
        auto* pResource = Child<CHistoryCombo>(*pDlg, "m_cbResource");
        auto* pTimeOut = Child<QLineEdit>(*pDlg, "m_editTimeOut");
        if (bApplied) {
            QCOMPARE(pDlg->m_bUseSettings, 0);
            QCOMPARE(pResource->currentText(), strResource);
            QCOMPARE(pTimeOut->text(), QString::number(nTimeOut));
            QCOMPARE(Child<CHistoryCombo>(*pDlg, "m_cbCommand")->currentText(), QStringLiteral("*IDN?"));
            QVERIFY(pResource->findText(QStringLiteral("USB0::1::INSTR")) < 0);
        } else {
            QCOMPARE(pDlg->m_bUseSettings, 1);
            QCOMPARE(pTimeOut->text(), QStringLiteral("7777"));
            QCOMPARE(pResource->itemText(0), QStringLiteral("USB0::1::INSTR"));
        }
        // Use the window a little before it closes.
        pResource->PushEntry(QStringLiteral("TCPIP0::changed::INSTR"));
        Child<CHistoryCombo>(*pDlg, "m_cbCommand")->PushEntry(QStringLiteral("*RST"));
        pTimeOut->setText(QStringLiteral("1234"));
        QVERIFY(pDlg->TakeControlValues());
    }
    const SFileSnapshot after = SFileSnapshot::Take(PersistedFiles());
    if (bApplied)
        QCOMPARE(after.mapContents, before.mapContents);
    else
        QVERIFY(after.mapContents != before.mapContents);
}

void TestStartup::failedSaveKeepsPreviousFile()
{
    {
        auto pDlg = NewDialog();
        pDlg->InitDialog();
    }
    const QString strCfg = m_strExePath + QStringLiteral(".cfg");
    const SFileSnapshot before = SFileSnapshot::Take({strCfg});

    auto pDlg = NewDialog();
    pDlg->InitDialog();
    Child<CHistoryCombo>(*pDlg, "m_cbCommand")->PushEntry(QString(20000, QLatin1Char('x')));

    // Cap the size of any file this process writes, so the save fails part
    // way through (EFBIG instead of the signal).
    struct rlimit oldLimit {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    struct rlimit smallLimit = oldLimit;
    smallLimit.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &smallLimit), 0);
    const bool bSaved = CVelquistDlg::SaveHistory(*Child<CHistoryCombo>(*pDlg, "m_cbCommand"), strCfg);
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!bSaved);
    QCOMPARE(SFileSnapshot::Take({strCfg}).mapContents, before.mapContents);
    QCOMPARE(QDir(m_pExeDir->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestStartup::timeoutOutOfRangeStopsExchange()
{
    auto pDlg = NewDialog();
    pDlg->InitDialog();
    pDlg->show();
    Child<QLineEdit>(*pDlg, "m_editTimeOut")->setText(QStringLiteral("0"));
    Child<QCheckBox>(*pDlg, "m_chkAppendCR")->setChecked(true);
    Child<CHistoryCombo>(*pDlg, "m_cbCommand")->setEditText(QStringLiteral("*RST"));

    QString strShown;
    QTimer::singleShot(0, this, [&strShown] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (pBox) {
            strShown = pBox->text();
            pBox->accept();
        }
    });
    QVERIFY(!pDlg->TakeControlValues());
    QCOMPARE(strShown, QStringLiteral("Please enter an integer between 1 and 1000000."));
    QCOMPARE(pDlg->m_strCommand, QStringLiteral("*RST"));
    QCOMPARE(pDlg->m_nTimeOut, 10000);
    QCOMPARE(pDlg->m_bAppendCR, 0);
}

void TestStartup::timeoutOutOfRangeNeverReachesField_data()
{
    QTest::addColumn<bool>("bCommandLine");
    QTest::addColumn<QString>("strValue");
    QTest::addColumn<QString>("strField");

    QTest::newRow("switch not a number") << true << "soon" << "10000";
    QTest::newRow("switch 0") << true << "0" << "10000";
    QTest::newRow("switch above range") << true << "1000001" << "10000";
    QTest::newRow("switch at the top") << true << "1000000" << "1000000";
    QTest::newRow("stored 0") << false << "0" << "10000";
    QTest::newRow("stored negative") << false << "-5" << "10000";
    QTest::newRow("stored above range") << false << "1000001" << "10000";
    QTest::newRow("stored 1") << false << "1" << "1";
}

void TestStartup::timeoutOutOfRangeNeverReachesField()
{
    QFETCH(bool, bCommandLine);
    QFETCH(QString, strValue);
    QFETCH(QString, strField);

    if (!bCommandLine) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(CVelquistApp::kOrganization),
                           QLatin1String(CVelquistApp::kApplication));
        settings.setValue(QStringLiteral("VelqConsole/TimeOut"), strValue.toInt());
        settings.sync();
    }
    auto pDlg = NewDialog();
    if (bCommandLine)
        QVERIFY(CVelquistApp::ApplyCommandLine(*pDlg, {"-VISA:ASRL1::INSTR", "-Timeout:" + strValue}));
    pDlg->InitDialog();
    pDlg->show();
    QCOMPARE(Child<QLineEdit>(*pDlg, "m_editTimeOut")->text(), strField);

    // Every keystroke takes the control values over; none may complain.
    QStringList lstShown;
    QTimer tmAnswer;
    connect(&tmAnswer, &QTimer::timeout, this, [&lstShown] {
        if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            lstShown << pBox->text();
            pBox->accept();
        }
    });
    tmAnswer.start(20);
    auto* pCommand = Child<CHistoryCombo>(*pDlg, "m_cbCommand");
    QTest::keyClicks(pCommand->lineEdit(), QStringLiteral("*C"));
    QCOMPARE(lstShown, QStringList());
    QCOMPARE(pDlg->m_nTimeOut, strField.toInt());
}

void TestStartup::commandLengthFollowsTyping()
{
    auto pDlg = NewDialog();
    pDlg->InitDialog();
    pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(pDlg.get()));
    auto* pCommand = Child<CHistoryCombo>(*pDlg, "m_cbCommand");
    pCommand->lineEdit()->clear();
    QTest::keyClicks(pCommand->lineEdit(), QStringLiteral("*IDN?"));
    QCOMPARE(Child<QLabel>(*pDlg, "m_lblCommandLength")->text(), QStringLiteral("5 Ch"));
    QCOMPARE(pDlg->m_strCommand, QStringLiteral("*IDN?"));
    QTest::keyClick(pCommand->lineEdit(), Qt::Key_Backspace);
    QCOMPARE(Child<QLabel>(*pDlg, "m_lblCommandLength")->text(), QStringLiteral("4 Ch"));
}

int main(int argc, char** argv)
{
    QTemporaryDir configDir;
    s_pConfigDir = &configDir;
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("LANGUAGE", "en");
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
