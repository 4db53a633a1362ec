#include "BrowserLookup.h"
#include "HyperLink.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
// Stands in for the desktop: the schemes routed here either open (OnOpen
// exists) or fail (the handler names a slot that does not exist).
class CUrlSink : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> m_lstOpened;
public slots:
    void OnOpen(const QUrl& url) { m_lstOpened << url; }
};

// Closes the next modal message box and keeps its text.
class CBoxCatcher : public QObject
{
public:
    CBoxCatcher()
    {
        m_tmPoll.setInterval(10);
        connect(&m_tmPoll, &QTimer::timeout, this, [this] {
            if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            {
                m_lstTexts << pBox->text();
                m_lstIcons << pBox->icon();
                pBox->accept();
            }
        });
        m_tmPoll.start();
    }
    QStringList m_lstTexts;
    QList<QMessageBox::Icon> m_lstIcons;

private:
    QTimer m_tmPoll;
};

void WriteExecutable(const QString& strPath, const QByteArray& baScript, bool bExecutable = true)
{
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(baScript);
    file.close();
    QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
    if (bExecutable)
        perms |= QFile::ExeOwner;
    QVERIFY(file.setPermissions(perms));
}
} // namespace

class TestHyperLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void clickOutcome_data();
    void clickOutcome();
    void errorTextByResult_data();
    void errorTextByResult();
    void underlineFollowsMode_data();
    void underlineFollowsMode();
    void attachTakesTextOrTarget();
    void fitsToText_data();
    void fitsToText();
    void browserCommandLine_data();
    void browserCommandLine();
    void registeredBrowser_data();
    void registeredBrowser();

private:
    std::unique_ptr<CHyperLink> MakeLink(const QString& strTarget);
    void HoverOver(CHyperLink* pLink);

    CUrlSink m_sink;
    QWidget m_wndHost;
};

void TestHyperLink::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("velqok"), &m_sink, "OnOpen");
    QDesktopServices::setUrlHandler(QStringLiteral("velqfail"), &m_sink, "NoSuchSlot");
    m_wndHost.resize(600, 200);
    m_wndHost.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_wndHost));
}

void TestHyperLink::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("velqok"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("velqfail"));
}

std::unique_ptr<CHyperLink> TestHyperLink::MakeLink(const QString& strTarget)
{
    auto pLink = std::make_unique<CHyperLink>(QStringLiteral("Publisher notice"), &m_wndHost);
    pLink->setGeometry(20, 20, 300, 30);
    pLink->SetLinkTarget(strTarget);
    pLink->Attach();
    pLink->show();
    return pLink;
}

void TestHyperLink::HoverOver(CHyperLink* pLink)
{
    // The pointer has to come from elsewhere, or no move is delivered.
    const QPoint ptAway(590, 190);
    QCursor::setPos(m_wndHost.mapToGlobal(ptAway));
    QTest::mouseMove(&m_wndHost, ptAway);
    const QPoint ptInside(5, 5);
    QCursor::setPos(pLink->mapToGlobal(ptInside));
    QTest::mouseMove(pLink, ptInside);
}

void TestHyperLink::clickOutcome_data()
{
    QTest::addColumn<QString>("strTarget");
    QTest::addColumn<int>("nFallbackResult");
    QTest::addColumn<bool>("bFallbackCalled");
    QTest::addColumn<bool>("bVisited");

    QTest::newRow("desktop opens") << "velqok://example.com/a" << 2 << false << true;
    QTest::newRow("browser command second") << "velqfail://example.com/b" << 42 << true << true;
    QTest::newRow("both fail") << "velqfail://example.com/c" << 31 << true << false;
    QTest::newRow("result 32 is a failure") << "velqfail://example.com/d" << 32 << true << false;
}

void TestHyperLink::clickOutcome()
{
    QFETCH(QString, strTarget);
    QFETCH(int, nFallbackResult);
    QFETCH(bool, bFallbackCalled);
    QFETCH(bool, bVisited);

    auto pLink = MakeLink(strTarget);
    QStringList lstFallbackTargets;
    pLink->SetFallbackLauncher([&](const QString& str) {
        lstFallbackTargets << str;
        return nFallbackResult;
    });
    QSignalSpy spyOpened(pLink.get(), &CHyperLink::LinkOpened);
    QCOMPARE(pLink->CurrentTextColour(), QColor(0, 0, 238));
    m_sink.m_lstOpened.clear();

    CBoxCatcher catcher;
    QTest::mouseClick(pLink.get(), Qt::LeftButton, {}, QPoint(5, 5));

    QCOMPARE(spyOpened.size(), 1);
    QCOMPARE(pLink->IsVisited(), bVisited);
    QCOMPARE(lstFallbackTargets, bFallbackCalled ? QStringList{ strTarget } : QStringList{});
    QCOMPARE(m_sink.m_lstOpened.size(), strTarget.startsWith("velqok") ? 1 : 0);
    QCOMPARE(catcher.m_lstTexts.size(), bVisited ? 0 : 1);
    QCOMPARE(pLink->CurrentTextColour(), bVisited ? QColor(85, 26, 139) : QColor(0, 0, 238));

    // The pointer over the link outranks the visited colour.
    HoverOver(pLink.get());
    QVERIFY(pLink->IsHovering());
    QCOMPARE(pLink->CurrentTextColour(), QColor(255, 0, 0));
}

void TestHyperLink::errorTextByResult_data()
{
    QTest::addColumn<int>("nResult");
    QTest::addColumn<QString>("strText");

    QTest::newRow("0") << 0 << "The operating system is out\nof memory or resources.";
    QTest::newRow("2") << 2 << "The specified file was not found.";
    QTest::newRow("26 keeps its blank") << 26 << "A sharing violation occurred. ";
    QTest::newRow("30") << 30
                        << "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
                           "processed.";
    QTest::newRow("31") << 31 << "There is no application associated\nwith the given filename extension.";
    QTest::newRow("unknown 4") << 4 << "Unknown Error (4) occurred.";
    QTest::newRow("unknown negative") << -7 << "Unknown Error (-7) occurred.";
}

void TestHyperLink::errorTextByResult()
{
    QFETCH(int, nResult);
    QFETCH(QString, strText);

    auto pLink = MakeLink(QStringLiteral("velqfail://example.com/"));
    pLink->SetFallbackLauncher([nResult](const QString&) { return nResult; });
    CBoxCatcher catcher;
    QTest::mouseClick(pLink.get(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(catcher.m_lstTexts, QStringList{ QStringLiteral("Unable to open hyperlink:\n\n") + strText });
    QCOMPARE(catcher.m_lstIcons.value(0), QMessageBox::Warning);
    QVERIFY(!pLink->IsVisited());
}

void TestHyperLink::underlineFollowsMode_data()
{
    QTest::addColumn<bool>("bAlways");
    QTest::addColumn<QString>("strLeave");
    QTest::addColumn<bool>("bBefore");
    QTest::addColumn<bool>("bHovering");
    QTest::addColumn<bool>("bAfter");

    // "moved away" leaves the pointer where it is and moves the link, so only
    // the hover timer can notice.
    QTest::newRow("on hover, pointer leaves") << false << "pointer" << false << true << false;
    QTest::newRow("on hover, moved away") << false << "moved away" << false << true << false;
    QTest::newRow("on hover, leave event") << false << "leave event" << false << true << false;
    QTest::newRow("always, pointer leaves") << true << "pointer" << true << true << true;
    QTest::newRow("always, moved away") << true << "moved away" << true << true << true;
    QTest::newRow("always, leave event") << true << "leave event" << true << true << true;
}

void TestHyperLink::underlineFollowsMode()
{
    QFETCH(bool, bAlways);
    QFETCH(QString, strLeave);
    QFETCH(bool, bBefore);
    QFETCH(bool, bHovering);
    QFETCH(bool, bAfter);

    auto pLink = MakeLink(QStringLiteral("velqok://example.com/"));
    if (bAlways)
        pLink->SetUnderlineMode(CHyperLink::kUnderlineAlways);
    QCOMPARE(pLink->font().underline(), bBefore);

    HoverOver(pLink.get());
    QCOMPARE(pLink->IsHovering(), true);
    QCOMPARE(pLink->font().underline(), bHovering);

    if (strLeave == QLatin1String("pointer"))
    {
        QCursor::setPos(m_wndHost.mapToGlobal(QPoint(550, 180)));
    }
    else if (strLeave == QLatin1String("moved away"))
    {
        pLink->move(pLink->x(), 120);
        QVERIFY(!pLink->rect().contains(pLink->mapFromGlobal(QCursor::pos())));
    }
    else
    {
        QEvent evLeave(QEvent::Leave);
        QApplication::sendEvent(pLink.get(), &evLeave);
    }
    QTRY_VERIFY(!pLink->IsHovering());
    QCOMPARE(pLink->font().underline(), bAfter);
    QCOMPARE(pLink->CurrentTextColour(), QColor(0, 0, 238));
}

void TestHyperLink::attachTakesTextOrTarget()
{
    CHyperLink linkNoText(&m_wndHost);
    linkNoText.SetLinkTarget(QStringLiteral("https://example.com/velquist"));
    linkNoText.Attach();
    QCOMPARE(linkNoText.text(), QStringLiteral("https://example.com/velquist"));
    QCOMPARE(linkNoText.toolTip(), QStringLiteral("https://example.com/velquist"));

    CHyperLink linkNoTarget(QStringLiteral("https://example.com/notice"), &m_wndHost);
    linkNoTarget.Attach();
    QCOMPARE(linkNoTarget.GetLinkTarget(), QStringLiteral("https://example.com/notice"));

    // A form's label is replaced in place and keeps its control id.
    auto* pLabel = new QLabel(QStringLiteral("Footer"), &m_wndHost);
    pLabel->setProperty("ctrlId", 1001);
    pLabel->setGeometry(10, 150, 200, 20);
    QPointer<QLabel> pGuard(pLabel);
    CHyperLink* pLink = CHyperLink::AttachTo(pLabel);
    QVERIFY(pGuard.isNull());
    QVERIFY(pLink && pLink->IsAttached());
    QCOMPARE(pLink->property("ctrlId").toInt(), 1001);
    QCOMPARE(pLink->GetLinkTarget(), QStringLiteral("Footer"));
    QCOMPARE(pLink->geometry().x(), 10);
    delete pLink;
}

void TestHyperLink::fitsToText_data()
{
    QTest::addColumn<int>("nAlign");
    QTest::addColumn<QString>("strText");

    const int nLeft = Qt::AlignLeft | Qt::AlignTop;
    const int nRight = Qt::AlignRight | Qt::AlignTop;
    const int nCentre = Qt::AlignHCenter | Qt::AlignVCenter;
    const QString strShort = QStringLiteral("Velq");
    const QString strLong = QString(QStringLiteral("Velquist instrument console ")).repeated(4);
    QTest::newRow("left, shrinks") << nLeft << strShort;
    QTest::newRow("right, grows") << nRight << strLong;
    QTest::newRow("centred, shrinks") << nCentre << strShort;
}

void TestHyperLink::fitsToText()
{
    QFETCH(int, nAlign);
    QFETCH(QString, strText);

    CHyperLink link(strText, &m_wndHost);
    link.setAlignment(Qt::Alignment(nAlign));
    const QRect rcBefore(100, 40, 300, 60);
    link.setGeometry(rcBefore);
    link.Attach();
    link.SetLinkTarget(QStringLiteral("velqok://example.com/"));
    const QRect rc = link.geometry();

    QFont fontUnderline = link.font();
    fontUnderline.setUnderline(true);
    const QFontMetrics fm(fontUnderline);
    QVERIFY(rc.width() >= fm.horizontalAdvance(strText));
    QVERIFY(rc.width() <= fm.horizontalAdvance(strText) + 4);
    QVERIFY(rc.height() >= fm.height() && rc.height() < rcBefore.height());
    if (nAlign & Qt::AlignRight)
        QCOMPARE(rc.x() + rc.width(), rcBefore.x() + rcBefore.width());
    else if (nAlign & Qt::AlignHCenter)
        QVERIFY(qAbs(rc.center().x() - rcBefore.center().x()) <= 1);
    else
        QCOMPARE(rc.x(), rcBefore.x());
    if (nAlign & Qt::AlignVCenter)
        QVERIFY(qAbs(rc.center().y() - rcBefore.center().y()) <= 1);
    else
        QCOMPARE(rc.y(), rcBefore.y());
}

void TestHyperLink::browserCommandLine_data()
{
    QTest::addColumn<QString>("strExec");
    QTest::addColumn<QStringList>("lstExpected");

    const QString strT = QStringLiteral("http://example.com/a b?q=\"x\"&r=1");
    QTest::newRow("plain %u") << "firefox %u" << QStringList{ "firefox", strT };
    QTest::newRow("quoted field code") << "/opt/web/browser \"%u\"" << QStringList{ "/opt/web/browser", strT };
    QTest::newRow("cut drops what follows") << "browser --a %u --after %i" << QStringList{ "browser", "--a", strT };
    QTest::newRow("no field code keeps all") << "browser --private" << QStringList{ "browser", "--private", strT };
    QTest::newRow("quoted program with blank") << "\"/opt/My Browser/run\" %u"
                                               << QStringList{ "/opt/My Browser/run", strT };
    QTest::newRow("other field codes dropped") << "browser %i --class %c %u" << QStringList{ "browser", "--class", strT };
    QTest::newRow("empty exec") << "" << QStringList{};
}

void TestHyperLink::browserCommandLine()
{
    QFETCH(QString, strExec);
    QFETCH(QStringList, lstExpected);
    QCOMPARE(CBrowserLookup::CommandLine(strExec, QStringLiteral("http://example.com/a b?q=\"x\"&r=1")), lstExpected);
}

void TestHyperLink::registeredBrowser_data()
{
    QTest::addColumn<QByteArray>("baHandler");     // what xdg-mime prints
    QTest::addColumn<QByteArray>("baDesktopFile"); // empty: no desktop file; @BROWSER@ is the recorder
    QTest::addColumn<bool>("bExecutable");
    QTest::addColumn<int>("nResult");

    const QByteArray baEntry = "[Desktop Entry]\nName=Test\nExec=@BROWSER@ --new-tab %u\nType=Application\n";
    QTest::newRow("starts browser") << QByteArray("velqtest.desktop\n") << baEntry << true << CHyperLink::kOpenSucceeded;
    QTest::newRow("no handler registered") << QByteArray("") << baEntry << true << CHyperLink::kErrorNoAssociation;
    QTest::newRow("handler is a path") << QByteArray("../../etc/velqtest.desktop") << baEntry << true
                                       << CHyperLink::kErrorNoAssociation;
    QTest::newRow("desktop file missing") << QByteArray("velqtest.desktop") << QByteArray() << true
                                          << CHyperLink::kErrorFileNotFound;
    QTest::newRow("program not executable") << QByteArray("velqtest.desktop") << baEntry << false
                                            << CHyperLink::kErrorAccessDenied;
}

void TestHyperLink::registeredBrowser()
{
    QFETCH(QByteArray, baHandler);
    QFETCH(QByteArray, baDesktopFile);
    QFETCH(bool, bExecutable);
    QFETCH(int, nResult);

    QTemporaryDir dirTemp;
    QVERIFY(dirTemp.isValid());
    const QString strRoot = dirTemp.path();
    QVERIFY(QDir(strRoot).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(strRoot).mkpath(QStringLiteral("share/applications")));
    const QString strOut = strRoot + QStringLiteral("/args.txt");
    const QString strBrowser = strRoot + QStringLiteral("/bin/velq-recording-browser");

    WriteExecutable(strRoot + QStringLiteral("/bin/xdg-mime"),
                    "#!/bin/sh\n[ \"$1 $2 $3\" = 'query default x-scheme-handler/http' ] || exit 1\nprintf '%s' '"
                        + baHandler + "'\n");
    WriteExecutable(strBrowser,
                    "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + strOut.toUtf8() + ".tmp'\nmv '"
                        + strOut.toUtf8() + ".tmp' '" + strOut.toUtf8() + "'\n",
                    bExecutable);
    if (!baDesktopFile.isEmpty())
    {
        QFile file(strRoot + QStringLiteral("/share/applications/velqtest.desktop"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(baDesktopFile).replace("@BROWSER@", strBrowser.toUtf8()));
    }

    // Only this process sees the fake desktop; the next row replaces it.
    const QByteArray baPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(strRoot + QStringLiteral("/bin:")) + baPath);
    qputenv("XDG_DATA_HOME", QFile::encodeName(strRoot + QStringLiteral("/share")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(strRoot + QStringLiteral("/none")));
    const QString strTarget = QStringLiteral("https://example.com/a b?q=\"x\"");
    const int nGot = CHyperLink::LaunchRegisteredBrowser(strTarget);
    qputenv("PATH", baPath);

    QCOMPARE(nGot, nResult);
    if (nResult == CHyperLink::kOpenSucceeded)
    {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(strOut), 30000);
        QFile file(strOut);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("--new-tab\n") + strTarget + QLatin1Char('\n'));
    }
}

QTEST_MAIN(TestHyperLink)
#include "tst_hyperlink.moc"
