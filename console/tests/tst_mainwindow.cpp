#include "ConsoleTestUtil.h"
#include "HistoryCombo.h"
#include "SimProcess.h"
#include "StringTable.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList kConnectionFields{"m_cbResource", "m_editTimeOut", "m_chkOpc", "m_chkEoi", "m_chkAppendLF",
                                    "m_chkAppendCR"};
const QStringList kFixedCommands{"m_btnGoToLocal", "m_btnRemote", "m_btnIdn", "m_btnStb",
                                 "m_btnOpt",       "m_btnCls",    "m_btnRst", "m_btnSystErr"};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsDisconnected();
    void connectAndDisconnect();
    void connectRefused_data();
    void connectRefused();
    void closeConfirmation_data();
    void closeConfirmation();
    void footerOpensHelpDocument();

private:
    std::unique_ptr<CTestDlg> NewDialog(const QString& strResource);
    static bool Enabled(const CTestDlg& dlg, const char* pszName)
    {
        return dlg.Child<QWidget>(pszName)->isEnabled();
    }

    CSimProcess m_sim;
    QString m_strResource;
    QTemporaryDir m_dirExe;
};

void TestMainWindow::initTestCase()
{
    QVERIFY2(m_sim.Start(), qPrintable(m_sim.ErrorText()));
    m_strResource = QString::fromLatin1(m_sim.SocketResource());
    QVERIFY(!m_strResource.isEmpty());
}

std::unique_ptr<CTestDlg> TestMainWindow::NewDialog(const QString& strResource)
{
    auto pDlg = std::make_unique<CTestDlg>(strResource);
    pDlg->SetExecutablePath(m_dirExe.filePath(QStringLiteral("velquist")));
    pDlg->InitDialog();
    pDlg->show();
    return pDlg;
}

void TestMainWindow::startsDisconnected()
{
    auto pDlg = NewDialog(m_strResource);
    for (const QString& strField : kConnectionFields)
        QVERIFY2(Enabled(*pDlg, qPrintable(strField)), qPrintable(strField));
    for (const char* pszButton : {"m_btnWrite", "m_btnRead", "m_btnAutomatic"})
        QVERIFY2(!Enabled(*pDlg, pszButton), pszButton);
    for (const QString& strButton : kFixedCommands)
        QVERIFY2(!Enabled(*pDlg, qPrintable(strButton)), qPrintable(strButton));
    for (const char* pszTool : {"m_btnMore", "m_btnCommandList", "m_btnPlugins", "m_btnConnect"})
        QVERIFY2(Enabled(*pDlg, pszTool), pszTool);
    QVERIFY(pDlg->Child<QWidget>("m_btnStop")->isHidden());
    QVERIFY(pDlg->Child<QProgressBar>("m_progress")->isHidden());
    QCOMPARE(pDlg->Child<QPushButton>("m_btnConnect")->text(), QStringLiteral("Connec&t"));
    QVERIFY(pDlg->Child<QPushButton>("m_btnConnect")->isDefault());
    // English names the byte each option appends and shows EOI.
    QCOMPARE(pDlg->Child<QCheckBox>("m_chkAppendCR")->text(), QStringLiteral("Terminate with CR (0x0D)"));
    QCOMPARE(pDlg->Child<QCheckBox>("m_chkAppendLF")->text(), QStringLiteral("Terminate with LF (0x0A)"));
    QVERIFY(!pDlg->Child<QCheckBox>("m_chkEoi")->isHidden());
    QCOMPARE(pDlg->Child<CHistoryCombo>("m_cbResource")->currentText(), m_strResource);
}

void TestMainWindow::connectAndDisconnect()
{
    auto pDlg = NewDialog(m_strResource);
    CModalAnswerer answerer;
    QTest::mouseClick(pDlg->Child<QPushButton>("m_btnConnect"), Qt::LeftButton);
    QVERIFY(answerer.m_lstTexts.isEmpty());
    QVERIFY(pDlg->GetInstrument() && pDlg->GetInstrument()->IsInstruConnected());
    QCOMPARE(pDlg->Child<QPushButton>("m_btnConnect")->text(), QStringLiteral("Disonnec&t"));
    for (const QString& strField : kConnectionFields)
        QVERIFY2(!Enabled(*pDlg, qPrintable(strField)), qPrintable(strField));
    QVERIFY(Enabled(*pDlg, "m_btnWrite"));
    QVERIFY(!Enabled(*pDlg, "m_btnRead"));
    QVERIFY(Enabled(*pDlg, "m_btnAutomatic"));
    for (const QString& strButton : kFixedCommands)
        QVERIFY2(Enabled(*pDlg, qPrintable(strButton)), qPrintable(strButton));

    QTest::mouseClick(pDlg->Child<QPushButton>("m_btnConnect"), Qt::LeftButton);
    QVERIFY(!pDlg->GetInstrument());
    QCOMPARE(pDlg->Child<QPushButton>("m_btnConnect")->text(), QStringLiteral("Connec&t"));
    for (const QString& strField : kConnectionFields)
        QVERIFY2(Enabled(*pDlg, qPrintable(strField)), qPrintable(strField));
    QVERIFY(!Enabled(*pDlg, "m_btnWrite"));
    QVERIFY(!Enabled(*pDlg, "m_btnRead"));
    // After a disconnect Automatic stays usable; it then logs a failed write.
    QVERIFY(Enabled(*pDlg, "m_btnAutomatic"));
    QCOMPARE(pDlg->m_nCreated, 1);
}

void TestMainWindow::connectRefused_data()
{
    QTest::addColumn<QString>("strName");
    QTest::addColumn<QString>("strTimeOut");
    QTest::addColumn<QString>("strMessage");
    QTest::addColumn<bool>("bSessionObject");

    const QString strFailed = CStringTable::Load(CStringTable::kConnectFailed);
    // Port 1 on loopback: nothing listens there.
    QTest::newRow("nothing listening") << "TCPIP0::127.0.0.1::1::SOCKET" << "2000" << strFailed << true;
    QTest::newRow("malformed name") << "TCPIP0::::::" << "2000" << strFailed << true;
    QTest::newRow("empty name") << "" << "2000" << CStringTable::Load(CStringTable::kResourceEmpty) << false;
    // Connecting with the previous time-out would not be what the box shows.
    QTest::newRow("time-out out of range") << "" << "0" << "Please enter an integer between 1 and 1000000."
                                           << false;
}

void TestMainWindow::connectRefused()
{
    QFETCH(QString, strName);
    QFETCH(QString, strTimeOut);
    QFETCH(QString, strMessage);
    QFETCH(bool, bSessionObject);

    auto pDlg = NewDialog(m_strResource);
    auto* pResource = pDlg->Child<CHistoryCombo>("m_cbResource");
    const int nEntries = pResource->count();
    if (strTimeOut != QLatin1String("0"))
        pResource->setEditText(strName);
    pDlg->Child<QLineEdit>("m_editTimeOut")->setText(strTimeOut);
    pDlg->Child<QWidget>("m_btnWrite")->setFocus();

    CModalAnswerer answerer;
    QTest::mouseClick(pDlg->Child<QPushButton>("m_btnConnect"), Qt::LeftButton);
    // A connect failure adds the VISA status as a second line, which tst_transports checks.
    QCOMPARE(answerer.m_lstTexts.size(), 1);
    QCOMPARE(answerer.m_lstTexts.value(0).section(QLatin1Char('\n'), 0, 0), strMessage);
    QCOMPARE(pDlg->GetInstrument() != nullptr, bSessionObject);
    if (pDlg->GetInstrument())
        QVERIFY(!pDlg->GetInstrument()->IsInstruConnected());
    for (const QString& strField : kConnectionFields)
        QVERIFY2(Enabled(*pDlg, qPrintable(strField)), qPrintable(strField));
    QCOMPARE(pDlg->Child<QPushButton>("m_btnConnect")->text(), QStringLiteral("Connec&t"));
    if (strTimeOut == QLatin1String("0")) {
        QCOMPARE(pResource->count(), nEntries);
        QCOMPARE(pDlg->focusWidget(), pDlg->Child<QWidget>("m_editTimeOut"));
    } else if (strName.isEmpty()) {
        QCOMPARE(pResource->count(), nEntries);
        QVERIFY(pDlg->focusWidget() == pResource || pDlg->focusWidget() == pResource->lineEdit());
    } else {
        QCOMPARE(pResource->itemText(0), strName);
        QVERIFY(Enabled(*pDlg, "m_btnAutomatic"));
    }
}

void TestMainWindow::closeConfirmation_data()
{
    QTest::addColumn<bool>("bConnect");
    QTest::addColumn<bool>("bEscape");
    QTest::addColumn<int>("eAnswer");
    QTest::addColumn<QStringList>("lstAsked");
    QTest::addColumn<bool>("bClosed");

    const QStringList lstAsk{CStringTable::Load(CStringTable::kExitWhileConnected)};
    QTest::newRow("disconnected: closes, asks nothing") << false << false << int(QMessageBox::No) << QStringList{}
                                                        << true;
    QTest::newRow("connected, No: stays") << true << false << int(QMessageBox::No) << lstAsk << false;
    QTest::newRow("connected, Yes: closes") << true << false << int(QMessageBox::Yes) << lstAsk << true;
    QTest::newRow("Escape asks as well") << true << true << int(QMessageBox::No) << lstAsk << false;
}

void TestMainWindow::closeConfirmation()
{
    QFETCH(bool, bConnect);
    QFETCH(bool, bEscape);
    QFETCH(int, eAnswer);
    QFETCH(QStringList, lstAsked);
    QFETCH(bool, bClosed);

    auto pDlg = NewDialog(m_strResource);
    QVERIFY(QTest::qWaitForWindowExposed(pDlg.get()));
    if (bConnect) {
        pDlg->OnConnect();
        QVERIFY(pDlg->GetInstrument()->IsInstruConnected());
    }
    CModalAnswerer answerer{QMessageBox::StandardButton(eAnswer)};
    if (bEscape)
        QTest::keyClick(pDlg.get(), Qt::Key_Escape);
    else
        pDlg->close();
    QCOMPARE(answerer.m_lstTexts, lstAsked);
    QCOMPARE(pDlg->isVisible(), !bClosed);
    if (bConnect && !bClosed) {
        QVERIFY(pDlg->GetInstrument()->IsInstruConnected());
        QCOMPARE(pDlg->Child<QPushButton>("m_btnConnect")->text(), QStringLiteral("Disonnec&t"));
    }
}

void TestMainWindow::footerOpensHelpDocument()
{
    auto pDlg = NewDialog(m_strResource);
    const QString strHelp = pDlg->HelpFilePath();
    QCOMPARE(strHelp, m_dirExe.filePath(QStringLiteral("velquist.pdf")));
    auto* pFooter = pDlg->Child<QLabel>("m_lblFooter");
    QVERIFY(pFooter->text().contains(QStringLiteral("TARNOVE TECHNOLOGIES")));
    QCOMPARE(pFooter->toolTip(), strHelp);
    // The build puts the document where the program looks for it.
    const QString strBuilt = QDir(qEnvironmentVariable("VELQ_BUILD_DIR")).filePath(QStringLiteral("bin/velquist.pdf"));
    QFile pdf(strBuilt);
    QVERIFY2(pdf.open(QIODevice::ReadOnly), qPrintable(strBuilt));
    QVERIFY(pdf.read(5) == "%PDF-");
}

int main(int argc, char** argv)
{
    return RunConsoleTest<TestMainWindow>(argc, argv);
}

#include "tst_mainwindow.moc"
