// The plug-in host against real library files: the example plug-in, the
// delivered plug-ins and libraries broken as plug-ins, copied into a
// temporary "plugins" folder beside a made-up executable path.
#include "ConsoleTestUtil.h"
#include "HistoryCombo.h"
#include "PlugInHost.h"
#include "PluginContract.h"
#include "SimProcess.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLibrary>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>

#include <limits>
#include <memory>

#include <sys/stat.h>

namespace {

const QMap<QString, QString> kFixtures{
    {QStringLiteral("example"), QStringLiteral(VELQ_FIXTURE_EXAMPLE)},
    {QStringLiteral("nocomponent"), QStringLiteral(VELQ_FIXTURE_NO_COMPONENT)},
    {QStringLiteral("zero"), QStringLiteral(VELQ_FIXTURE_ZERO)},
    {QStringLiteral("nocreate"), QStringLiteral(VELQ_FIXTURE_NO_CREATE)},
    {QStringLiteral("unresolved"), QStringLiteral(VELQ_FIXTURE_UNRESOLVED)},
    {QStringLiteral("counter"), QStringLiteral(VELQ_FIXTURE_COUNTER)},
    {QStringLiteral("convert"), QStringLiteral(VELQ_FIXTURE_CONVERT)},
};

// A temporary executable folder; every file is a fresh copy, so each test
// gets libraries of its own that no earlier test has loaded.
class CPlugInFolder
{
public:
    // lstFiles: "name=fixture", or "name=text" for a file that is no library,
    // or "name=fifo" for a named pipe, which would block whoever opens it.
    explicit CPlugInFolder(const QStringList& lstFiles, bool bFolder = true)
    {
        if (bFolder)
            QDir(m_dir.path()).mkpath(QStringLiteral("plugins"));
        for (const QString& strEntry : lstFiles) {
            const QString strName = strEntry.section(QLatin1Char('='), 0, 0);
            const QString strFixture = strEntry.section(QLatin1Char('='), 1);
            if (strFixture == QLatin1String("fifo")) {
                if (::mkfifo(QFile::encodeName(PlugInPath(strName)).constData(), 0600) != 0)
                    qWarning("cannot make a FIFO");
            } else if (strFixture == QLatin1String("text")) {
                QFile file(PlugInPath(strName));
                if (file.open(QIODevice::WriteOnly))
                    file.write("not a library\n");
            } else if (!QFile::copy(kFixtures.value(strFixture), PlugInPath(strName))) {
                qWarning("cannot copy %s", qPrintable(strFixture));
            }
        }
    }
    QString ExecutablePath() const { return m_dir.filePath(QStringLiteral("velquist")); }
    QString PlugInPath(const QString& strName) const { return m_dir.filePath(QStringLiteral("plugins/") + strName); }

private:
    QTemporaryDir m_dir;
};

QList<QDialog*> PlugInWindows(const QWidget& owner)
{
    return owner.findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly);
}

// What a plug-in window shows of its input: the answer for the counter, the
// command for the others.
QString Shown(QDialog* pWindow)
{
    if (auto* pValues = pWindow->findChild<QPlainTextEdit*>(QStringLiteral("m_editValues")))
        return pValues->toPlainText();
    if (auto* pLongTerm = pWindow->findChild<QLineEdit*>(QStringLiteral("m_editLongTerm")))
        return pLongTerm->text();
    if (auto* pCommand = pWindow->findChild<QLabel*>(QStringLiteral("m_lblCommand")))
        return pCommand->text();
    return QStringLiteral("<unknown window>");
}

struct SInput
{
    const char* pszAnswer;
    int nLength;
    QString strCommand;
};

} // namespace

class TestPlugInHost : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void menu();
    void answerLength_data();
    void answerLength();
    void invokeDoesNothing_data();
    void invokeDoesNothing();
    void windowLifetime_data();
    void windowLifetime();
    void endToEnd();
};

void TestPlugInHost::scan_data()
{
    QTest::addColumn<bool>("bFolder");
    QTest::addColumn<QStringList>("lstFiles");
    QTest::addColumn<QStringList>("lstMenu");

    QTest::newRow("no plugins folder") << false << QStringList{} << QStringList{};
    QTest::newRow("empty folder") << true << QStringList{} << QStringList{};
    QTest::newRow("only plug-ins are listed")
        << true
        << QStringList{"Example.so=example", "Lacks.so=nocomponent", "Zero.so=zero", "NotALibrary.so=text",
                       "Pipe.so=fifo", "Example.txt=example", "Example.so.1=example"}
        << QStringList{"Example"};
    // Called, it would end the process with a symbol lookup error.
    QTest::newRow("unresolved symbol") << true << QStringList{"Unresolved.so=unresolved", "Example.so=example"}
                                       << QStringList{"Example"};
    QTest::newRow("two dots") << true << QStringList{"my.tool.so=example"} << QStringList{"my.tool"};
    QTest::newRow("sorted without regard to case")
        << true << QStringList{"b.so=example", "C.so=example", "A.so=example", "a2.so=example"}
        << QStringList{"A", "a2", "b", "C"};
}

void TestPlugInHost::scan()
{
    QFETCH(bool, bFolder);
    QFETCH(QStringList, lstFiles);
    QFETCH(QStringList, lstMenu);

    const CPlugInFolder folder(lstFiles, bFolder);
    QWidget owner;
    CPlugInHost host(&owner);
    host.LoadPlugInList(folder.ExecutablePath());
    QStringList lstTexts;
    for (const QString& strPath : host.GetPlugInPaths()) {
        QCOMPARE(QFileInfo(strPath).absolutePath(), QFileInfo(folder.PlugInPath(QString())).absolutePath());
        lstTexts << CPlugInHost::MenuText(strPath);
    }
    QCOMPARE(lstTexts, lstMenu);
}

// The whole path through the main window: its button, 23 menu entries of
// which only 21 can be chosen, and an invocation before any read.
void TestPlugInHost::menu()
{
    QStringList lstFiles;
    for (int n = 1; n <= 23; ++n)
        lstFiles << QStringLiteral("P%1.so=example").arg(n, 2, 10, QLatin1Char('0'));
    const CPlugInFolder folder(lstFiles);
    CTestDlg dlg;
    dlg.SetExecutablePath(folder.ExecutablePath());
    dlg.InitDialog();
    dlg.show();
    auto* pButton = dlg.Child<QPushButton>("m_btnPlugins");
    QTest::mouseClick(pButton, Qt::LeftButton);
    QMenu* pMenu = dlg.findChild<QMenu*>(QStringLiteral("m_mnuPlugIns"));
    QVERIFY(pMenu);
    QTRY_VERIFY(pMenu->isVisible());
    const QList<QAction*> lstActions = pMenu->actions();
    QCOMPARE(lstActions.size(), 23);
    for (int n = 0; n < lstActions.size(); ++n) {
        QCOMPARE(lstActions.at(n)->text(), QStringLiteral("P%1").arg(n + 1, 2, 10, QLatin1Char('0')));
        QCOMPARE(lstActions.at(n)->data().toInt(), CPlugInHost::kFirstCommandId + n);
    }
    lstActions.at(22)->trigger();
    lstActions.at(21)->trigger();
    QVERIFY(PlugInWindows(dlg).isEmpty());
    QTest::mouseClick(pMenu, Qt::LeftButton, {}, pMenu->actionGeometry(lstActions.at(20)).center());
    QTRY_VERIFY(!pMenu->isVisible());
    const QList<QDialog*> lstWindows = PlugInWindows(dlg);
    QCOMPARE(lstWindows.size(), 1);
    QVERIFY(lstWindows.at(0)->isVisible());
    QCOMPARE(lstWindows.at(0)->findChild<QLabel*>(QStringLiteral("m_lblLength"))->text(), QStringLiteral("no answer"));
    QCOMPARE(Shown(lstWindows.at(0)), QStringLiteral("*IDN?"));
}

void TestPlugInHost::answerLength_data()
{
    QTest::addColumn<quint64>("uLength");
    QTest::addColumn<qint32>("nExpected");

    constexpr qint32 kMax = std::numeric_limits<qint32>::max();
    QTest::newRow("empty") << quint64(0) << 0;
    QTest::newRow("small") << quint64(1024) << 1024;
    QTest::newRow("2 GiB - 1") << quint64(kMax) << kMax;
    QTest::newRow("2 GiB") << quint64(kMax) + 1 << kMax;
    QTest::newRow("4 GiB - 1") << quint64(std::numeric_limits<quint32>::max()) << kMax;
    QTest::newRow("1 TiB") << (quint64(1) << 40) << kMax;
}

void TestPlugInHost::answerLength()
{
    QFETCH(quint64, uLength);
    QFETCH(qint32, nExpected);
    QCOMPARE(CPlugInHost::AnswerLength(uLength), nExpected);
}

void TestPlugInHost::invokeDoesNothing_data()
{
    QTest::addColumn<QStringList>("lstFiles");
    QTest::addColumn<QString>("strDelete");
    QTest::addColumn<int>("nCommandId");

    const QStringList lstExample{"Example.so=example"};
    QTest::newRow("deleted after start-up") << lstExample << "Example.so" << 1203;
    QTest::newRow("no CreatePlugIn") << QStringList{"NoCreate.so=nocreate"} << "" << 1203;
    QTest::newRow("beyond the list") << lstExample << "" << 1204;
    QTest::newRow("beyond the 21st identifier") << lstExample << "" << 1224;
    QTest::newRow("below the first identifier") << lstExample << "" << 1202;
}

void TestPlugInHost::invokeDoesNothing()
{
    QFETCH(QStringList, lstFiles);
    QFETCH(QString, strDelete);
    QFETCH(int, nCommandId);

    const CPlugInFolder folder(lstFiles);
    QWidget owner;
    CPlugInHost host(&owner);
    host.LoadPlugInList(folder.ExecutablePath());
    QCOMPARE(host.GetPlugInPaths().size(), 1);
    if (!strDelete.isEmpty())
        QVERIFY(QFile::remove(folder.PlugInPath(strDelete)));
    host.InvokePlugIn(nCommandId, "1,2", 3, QStringLiteral("*IDN?"));
    QVERIFY(PlugInWindows(owner).isEmpty());
    // The entry stays, so the menu still shows what was found at start-up.
    QCOMPARE(host.GetPlugInPaths().size(), 1);
}

void TestPlugInHost::windowLifetime_data()
{
    QTest::addColumn<QString>("strFixture");
    QTest::addColumn<QString>("strEvent");

    for (const char* pszFixture : {"example", "counter", "convert"}) {
        for (const char* pszEvent : {"invoked twice", "hidden", "DestroyPlugIn", "owner destroyed"})
            QTest::addRow("%s, %s", pszFixture, pszEvent) << pszFixture << pszEvent;
    }
}

// One window per library: re-used and refilled while it exists, even hidden,
// and made afresh once it was destroyed.
void TestPlugInHost::windowLifetime()
{
    QFETCH(QString, strFixture);
    QFETCH(QString, strEvent);

    const CPlugInFolder folder({QStringLiteral("P.so=") + strFixture});
    const bool bShowsAnswer = strFixture == QLatin1String("counter");
    // The tail of the second answer is left from a longer, earlier one: the
    // reply buffer has no NUL after a failed or partial read.
    const SInput first{"1,2", 3, QStringLiteral("MEASure:VOLTage?")};
    const SInput second{"3,4,\xB5STALE", 5, QStringLiteral("SYSTem:ERRor? '\u00B5\u20AC'")};
    const QString strSecond = bShowsAnswer ? QStringLiteral("3,4,\u00B5") : second.strCommand;
    auto pOwner = std::make_unique<QWidget>();
    auto pHost = std::make_unique<CPlugInHost>(pOwner.get());
    pHost->LoadPlugInList(folder.ExecutablePath());
    auto fnInvoke = [&](const SInput& input) {
        pHost->InvokePlugIn(CPlugInHost::kFirstCommandId, input.pszAnswer, input.nLength, input.strCommand);
    };

    fnInvoke(first);
    QCOMPARE(PlugInWindows(*pOwner).size(), 1);
    const QPointer<QDialog> pFirst = PlugInWindows(*pOwner).at(0);
    QVERIFY(pFirst->isVisible());
    QCOMPARE(pFirst->parentWidget(), pOwner.get());
    const bool bReused = strEvent == QLatin1String("invoked twice") || strEvent == QLatin1String("hidden");
    if (strEvent == QLatin1String("hidden")) {
        pFirst->move(pFirst->pos() + QPoint(37, 23));
        const QPoint ptLeft = pFirst->pos();
        pFirst->close();
        QVERIFY(pFirst && pFirst->isHidden());
        fnInvoke(second);
        QCOMPARE(pFirst->pos(), ptLeft);
    } else if (strEvent == QLatin1String("DestroyPlugIn")) {
        // The record a plug-in returns is what DestroyPlugIn takes; the
        // library is the one the host loaded, so this re-uses its window.
        QLibrary library(folder.PlugInPath(QStringLiteral("P.so")));
        const auto pfnCreate = reinterpret_cast<PfnCreatePlugIn>(library.resolve(VELQ_PLUGIN_SYMBOL_CREATE));
        const auto pfnDestroy = reinterpret_cast<PfnDestroyPlugIn>(library.resolve(VELQ_PLUGIN_SYMBOL_DESTROY));
        QVERIFY(pfnCreate && pfnDestroy);
        const PlugInInput input{pOwner.get(), first.pszAnswer, first.nLength, u"*IDN?", 0};
        PlugInInstance instance{};
        QCOMPARE(pfnCreate(&instance, &input), &instance);
        QCOMPARE(instance.window, static_cast<void*>(pFirst.data()));
        QVERIFY(instance.windowObject);
        pfnDestroy(&instance);
        QVERIFY(!pFirst);
        // A record of a window that is gone is ignored, not freed again.
        pfnDestroy(&instance);
        pfnDestroy(nullptr);
        fnInvoke(second);
    } else if (strEvent == QLatin1String("owner destroyed")) {
        pHost.reset();
        pOwner = std::make_unique<QWidget>();
        QVERIFY(!pFirst);
        pHost = std::make_unique<CPlugInHost>(pOwner.get());
        pHost->LoadPlugInList(folder.ExecutablePath());
        fnInvoke(second);
    } else {
        fnInvoke(second);
    }
    const QList<QDialog*> lstWindows = PlugInWindows(*pOwner);
    QCOMPARE(lstWindows.size(), 1);
    QCOMPARE(lstWindows.at(0) == pFirst, bReused);
    QVERIFY(lstWindows.at(0)->isVisible());
    QCOMPARE(Shown(lstWindows.at(0)), strSecond);
}

// velqsim answers, the user picks VelqNumCounter from the menu, and its
// window shows the answer and counts its commas.
void TestPlugInHost::endToEnd()
{
    CSimProcess sim;
    QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
    const CPlugInFolder folder({"VelqNumCounter.so=counter", "VelqScpiConvert.so=convert"});
    CTestDlg dlg(QString::fromLatin1(sim.SocketResource()));
    dlg.SetExecutablePath(folder.ExecutablePath());
    dlg.InitDialog();
    dlg.show();
    dlg.Child<QCheckBox>("m_chkAppendLF")->setChecked(true);
    QTest::mouseClick(dlg.Child<QPushButton>("m_btnConnect"), Qt::LeftButton);
    QVERIFY(dlg.GetInstrument() && dlg.GetInstrument()->IsInstruConnected());
    dlg.Child<CHistoryCombo>("m_cbCommand")->setEditText(QStringLiteral("*IDN?"));
    QTest::mouseClick(dlg.Child<QPushButton>("m_btnAutomatic"), Qt::LeftButton);
    dlg.WaitForWorker();
    const QString strIdentity = QStringLiteral("VELQUIST,VELQSIM SCPI SIMULATOR,000001,1.0.0");
    QCOMPARE(HistoryLines(dlg).value(1), QStringLiteral("<<< ") + strIdentity);

    // Where the menu fits on the screen, so it opens where it was put: at
    // the button's top-right corner.
    auto* pButton = dlg.Child<QPushButton>("m_btnPlugins");
    dlg.move(dlg.pos() + QPoint(100, 100) - pButton->mapToGlobal(QPoint(pButton->width(), 0)));
    const QPoint ptCorner = pButton->mapToGlobal(QPoint(pButton->width(), 0));
    QTest::mouseClick(pButton, Qt::LeftButton);
    QMenu* pMenu = dlg.findChild<QMenu*>(QStringLiteral("m_mnuPlugIns"));
    QVERIFY(pMenu);
    QTRY_VERIFY(pMenu->isVisible());
    QCOMPARE(pMenu->pos(), ptCorner);
    QCOMPARE(pMenu->actions().size(), 2);
    QAction* pCounter = pMenu->actions().at(0);
    QCOMPARE(pCounter->text(), QStringLiteral("VelqNumCounter"));
    QTest::mouseClick(pMenu, Qt::LeftButton, {}, pMenu->actionGeometry(pCounter).center());

    const QList<QDialog*> lstWindows = PlugInWindows(dlg);
    QCOMPARE(lstWindows.size(), 1);
    QDialog* pWindow = lstWindows.at(0);
    QCOMPARE(pWindow->windowTitle(), QStringLiteral("Result Value Number Counter [ Plug In Demo ]"));
    QCOMPARE(Shown(pWindow).trimmed(), strIdentity);
    QCOMPARE(pWindow->findChild<QLabel*>(QStringLiteral("m_lblCount"))->text(), QStringLiteral("3"));
    QTest::mouseClick(dlg.Child<QPushButton>("m_btnConnect"), Qt::LeftButton);
}

int main(int argc, char** argv)
{
    return RunConsoleTest<TestPlugInHost>(argc, argv);
}

#include "tst_pluginhost.moc"
