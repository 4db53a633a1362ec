#include "ConsoleTestUtil.h"
#include "FindInstrumentsDlg.h"
#include "HistoryCombo.h"
#include "InstrumentFinder.h"
#include "SimProcess.h"

#include <QLabel>
#include <QTreeWidget>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class TestFindInstruments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void kinds_data();
    void kinds();
    void searchesAndIdentifies();
    void reportsBadExpression();
    void stopEndsQueries();
    void doubleClickFillsResourceBox();
    void cleanupTestCase();

private:
    void Configure(const QStringList& lstResources);
    static QTreeWidget* List(const CFindInstrumentsDlg& dlg) { return dlg.findChild<QTreeWidget*>(); }
    static QString Status(const CFindInstrumentsDlg& dlg);

    CSimProcess m_sim;
    QTemporaryDir m_dirConfig;
    QTemporaryDir m_dirExe;
    // Connections are taken by the backlog and never answered.
    std::vector<int> m_lstSilentFds;
    QStringList m_lstSilent;
};

void TestFindInstruments::initTestCase()
{
    QVERIFY2(m_sim.Start(), qPrintable(m_sim.ErrorText()));
    QVERIFY(m_dirConfig.isValid());
    for (int n = 0; n < 2; ++n) {
        const int nFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(nFd >= 0);
        m_lstSilentFds.push_back(nFd);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t nLen = sizeof addr;
        QVERIFY(::bind(nFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
        QVERIFY(::listen(nFd, 8) == 0);
        QVERIFY(::getsockname(nFd, reinterpret_cast<sockaddr*>(&addr), &nLen) == 0);
        m_lstSilent << QStringLiteral("TCPIP0::127.0.0.1::%1::SOCKET").arg(ntohs(addr.sin_port));
    }
    qputenv("XDG_CONFIG_HOME", m_dirConfig.path().toLocal8Bit());
    qputenv("VELQ_SYSFS_ROOT", m_dirConfig.filePath(QStringLiteral("no-sys")).toLocal8Bit());
}

void TestFindInstruments::cleanupTestCase()
{
    for (int nFd : m_lstSilentFds)
        ::close(nFd);
}

void TestFindInstruments::Configure(const QStringList& lstResources)
{
    QFile f(m_dirConfig.filePath(QStringLiteral("velqvisa.conf")));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[find]\nbroadcast = off\nmdns = off\n[resources]\n" + lstResources.join(QLatin1Char('\n')).toLatin1() + "\n");
}

QString TestFindInstruments::Status(const CFindInstrumentsDlg& dlg)
{
    for (const QLabel* pLabel : dlg.findChildren<QLabel*>()) {
        if (!pLabel->buddy())
            return pLabel->text();
    }
    return QString();
}

void TestFindInstruments::kinds_data()
{
    QTest::addColumn<QString>("strName");
    QTest::addColumn<int>("nKind");
    QTest::newRow("vxi11") << "TCPIP0::h::inst0::INSTR" << int(CInstrumentFinder::EKind::Vxi11);
    QTest::newRow("hislip with port") << "TCPIP0::h::hislip0,4881::INSTR" << int(CInstrumentFinder::EKind::HiSlip);
    QTest::newRow("socket") << "TCPIP0::h::5025::SOCKET" << int(CInstrumentFinder::EKind::Socket);
    QTest::newRow("host named hislip is vxi11") << "TCPIP0::hislip.lab::inst0::INSTR" << int(CInstrumentFinder::EKind::Vxi11);
    QTest::newRow("serial path") << "ASRL/dev/ttyUSB0::INSTR" << int(CInstrumentFinder::EKind::Serial);
    QTest::newRow("usb") << "USB0::0x0957::0x1755::MY1::0::INSTR" << int(CInstrumentFinder::EKind::Usb);
    QTest::newRow("gpib") << "GPIB0::5::INSTR" << int(CInstrumentFinder::EKind::Gpib);
    QTest::newRow("gpib-vxi") << "GPIB-VXI0::5::INSTR" << int(CInstrumentFinder::EKind::Other);
}

void TestFindInstruments::kinds()
{
    QFETCH(QString, strName);
    QFETCH(int, nKind);
    QCOMPARE(int(CInstrumentFinder::Kind(strName)), nKind);
}

void TestFindInstruments::searchesAndIdentifies()
{
    const QString strSocket = QString::fromLatin1(m_sim.SocketResource());
    const QString strHislip = QString::fromLatin1(m_sim.Resource(QStringLiteral("HISLIP")));
    QVERIFY(!strHislip.isEmpty());
    Configure({strSocket, strHislip});
    CFindInstrumentsDlg dlg;
    dlg.show();
    dlg.OnSearch();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), 30000);
    QTreeWidget* pList = List(dlg);
    QCOMPARE(pList->topLevelItemCount(), 2);
    // One host: HiSLIP is the better way in and comes first.
    QCOMPARE(pList->topLevelItem(0)->text(0), strHislip);
    QCOMPARE(pList->topLevelItem(0)->text(1), QStringLiteral("HiSLIP"));
    QCOMPARE(pList->topLevelItem(1)->text(0), strSocket);
    QCOMPARE(pList->topLevelItem(1)->text(1), QStringLiteral("Socket"));
    QCOMPARE(Status(dlg), QStringLiteral("Resources found: 2"));

    // The search selects the first row: only that one is asked.
    dlg.OnQueryIdentity();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), 30000);
    QVERIFY2(pList->topLevelItem(0)->text(2).startsWith(QLatin1String("VELQUIST,")),
             qPrintable(pList->topLevelItem(0)->text(2)));
    QCOMPARE(pList->topLevelItem(1)->text(2), QString());
    // Nothing selected: every row is asked.
    pList->clearSelection();
    dlg.OnQueryIdentity();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), 30000);
    QCOMPARE(pList->topLevelItem(1)->text(2), pList->topLevelItem(0)->text(2));
    QCOMPARE(Status(dlg), QStringLiteral("Resources found: 2"));
    QCOMPARE(dlg.SelectedName(), QString());
    pList->setCurrentItem(pList->topLevelItem(1));
    QCOMPARE(dlg.SelectedName(), strSocket);
}

void TestFindInstruments::reportsBadExpression()
{
    Configure({});
    CFindInstrumentsDlg dlg;
    QLineEdit* pEdit = dlg.findChild<QLineEdit*>();
    for (const auto& row : {std::make_pair(QStringLiteral("?*{"), QStringLiteral("Invalid search expression.")),
                            std::make_pair(QStringLiteral("?*"), QStringLiteral("No resource found."))}) {
        pEdit->setText(row.first);
        dlg.OnSearch();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), 30000);
        QCOMPARE(Status(dlg), row.second);
        QCOMPARE(List(dlg)->topLevelItemCount(), 0);
    }
}

// An instrument that never answers holds the query for its whole time-out; Stop leaves the
// remaining rows unasked.
void TestFindInstruments::stopEndsQueries()
{
    Configure(m_lstSilent);
    CFindInstrumentsDlg dlg;
    dlg.OnSearch();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), 30000);
    QTreeWidget* pList = List(dlg);
    QCOMPARE(pList->topLevelItemCount(), 2);
    pList->clearSelection();
    dlg.OnQueryIdentity();
    QVERIFY(dlg.IsBusy());
    dlg.OnStop();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsBusy(), 30000);
    QCOMPARE(Status(dlg), QStringLiteral("Stopped."));
    QCOMPARE(pList->topLevelItem(1)->text(2), QString());
}

void TestFindInstruments::doubleClickFillsResourceBox()
{
    const QString strSocket = QString::fromLatin1(m_sim.SocketResource());
    Configure({strSocket});
    CTestDlg main;
    main.SetExecutablePath(m_dirExe.filePath(QStringLiteral("velquist")));
    main.InitDialog();
    main.show();
    bool bClicked = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&]() {
        CFindInstrumentsDlg* pDlg = nullptr;
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            if (auto* pFind = qobject_cast<CFindInstrumentsDlg*>(pWidget); pFind && pFind->isVisible())
                pDlg = pFind;
        }
        if (!pDlg || pDlg->IsBusy() || List(*pDlg)->topLevelItemCount() == 0)
            return;
        if (bClicked) {
            pDlg->reject(); // the double click did not close it: end the test rather than hang
            return;
        }
        bClicked = true;
        QTreeWidget* pList = List(*pDlg);
        emit pList->itemDoubleClicked(pList->topLevelItem(0), 0);
    });
    poll.start(50);
    main.OnFindInstruments();
    poll.stop();
    QVERIFY(bClicked);
    auto* pResource = main.Child<CHistoryCombo>("m_cbResource");
    QCOMPARE(pResource->currentText(), strSocket);
    QCOMPARE(pResource->itemText(0), strSocket);
}

QTEST_MAIN(TestFindInstruments)
#include "tst_findinstruments.moc"
