#include "FECFileDialog.h"
#include "FileEditCtrl.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// Plays the user of the next file dialog: notes where it opened and what it
// proposed, then picks strPick (relative to the dialog's folder) or cancels.
class CDialogPlayer : public QObject
{
public:
    explicit CDialogPlayer(const QString& strPick)
        : m_strPick(strPick)
    {
        connect(&m_tmPoll, &QTimer::timeout, this, [this] {
            auto* pDialog = qobject_cast<CFECFileDialog*>(QApplication::activeModalWidget());
            if (!pDialog)
                return;
            auto* pName = pDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            // A dialog that refuses the name twice is cancelled rather than
            // left hanging the test.
            if (++m_nSeen == 1) {
                m_strFolder = pDialog->directory().absolutePath();
                m_strName = pName ? pName->text() : QString();
                m_strTitle = pDialog->windowTitle();
                m_strOk = pDialog->labelText(QFileDialog::Accept);
            }
            if (m_strPick.isEmpty() || !pName || m_nSeen > 2) {
                pDialog->reject();
            } else {
                pName->setText(m_strPick);
                static_cast<QDialog*>(pDialog)->accept();
            }
        });
        m_tmPoll.start(20);
    }

    QString m_strPick;
    QString m_strFolder;
    QString m_strName;
    QString m_strTitle;
    QString m_strOk;
    int m_nSeen = 0;

private:
    QTimer m_tmPoll;
};

} // namespace

class TestFileEditCtrl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void buttonFollowsSize_data();
    void buttonFollowsSize();
    void mouse_data();
    void mouse();
    void keys_data();
    void keys();
    void browse_data();
    void browse();
    void focusSelectsAll();
    void filtersIgnoreCase();

private:
    // A shown control whose browses are counted and, unless bLetThrough,
    // cancelled by its parent before any dialog opens.
    std::unique_ptr<CFileEditCtrl> NewControl(bool bLetThrough = false);
    QTemporaryDir m_dir;
    int m_nBrowses = 0;
    QString m_strRoot;
};

void TestFileEditCtrl::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_strRoot = QDir(m_dir.path()).canonicalPath();
    QVERIFY(QDir(m_strRoot).mkpath(QStringLiteral("cmd")));
    for (const char* pszName : {"cmd/run.scmd", "cmd/other.scmd", "cmd/UPPER.SCMD", "cmd/notes.txt", "cmd/b.Scpi", "cmd/README"}) {
        QFile file(m_strRoot + QLatin1Char('/') + QLatin1String(pszName));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

std::unique_ptr<CFileEditCtrl> TestFileEditCtrl::NewControl(bool bLetThrough)
{
    auto pCtrl = std::make_unique<CFileEditCtrl>();
    pCtrl->resize(300, 24);
    m_nBrowses = 0;
    connect(pCtrl.get(), &CFileEditCtrl::BrowseStarting, pCtrl.get(), [this, bLetThrough](CFileEditCtrl*, bool* pbCancel) {
        ++m_nBrowses;
        *pbCancel = !bLetThrough;
    });
    pCtrl->show();
    pCtrl->activateWindow();
    if (!QTest::qWaitForWindowActive(pCtrl.get()))
        qWarning("window not active");
    return pCtrl;
}

void TestFileEditCtrl::buttonFollowsSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("small") << QSize(120, 20);
    QTest::newRow("wide") << QSize(600, 22);
    QTest::newRow("tall") << QSize(200, 60);
}

void TestFileEditCtrl::buttonFollowsSize()
{
    QFETCH(QSize, size);
    auto pCtrl = NewControl();
    pCtrl->resize(size);
    const QRect rcButton = pCtrl->GetButtonRect();
    const int nFrame = (size.height() - rcButton.height()) / 2;
    QVERIFY(nFrame >= 0);
    QCOMPARE(rcButton.right(), size.width() - 1 - nFrame);
    QCOMPARE(rcButton.width(), rcButton.height() * 8 / 10);
    QCOMPARE(pCtrl->textMargins().right(), rcButton.width());
}

void TestFileEditCtrl::mouse_data()
{
    // i = inside the button, o = outside, f = the focus goes elsewhere, d = disabled
    QTest::addColumn<QString>("strPath");
    QTest::addColumn<int>("nBrowses");
    QTest::addColumn<QString>("strStates"); // button state after press, each move, release

    QTest::newRow("click") << "ii" << 1 << "PN";
    QTest::newRow("off the button before release") << "ioo" << 0 << "PNN";
    QTest::newRow("off and back on") << "ioii" << 1 << "PNPN";
    QTest::newRow("press in the text") << "oo" << 0 << "NN";
    QTest::newRow("focus lost while pressed") << "ifi" << 0 << "PNN";
    QTest::newRow("disabled") << "dii" << 0 << "DD";
}

void TestFileEditCtrl::mouse()
{
    QFETCH(QString, strPath);
    QFETCH(int, nBrowses);
    QFETCH(QString, strStates);

    auto pCtrl = NewControl();
    if (strPath.startsWith(QLatin1Char('d'))) {
        pCtrl->setEnabled(false);
        strPath.remove(0, 1);
    }
    const QPoint ptIn = pCtrl->GetButtonRect().center();
    const QPoint ptOut(5, ptIn.y());
    auto fnState = [&] {
        switch (pCtrl->GetButtonState()) {
        case CFileEditCtrl::kButtonPressed: return QLatin1Char('P');
        case CFileEditCtrl::kButtonDisabled: return QLatin1Char('D');
        default: return QLatin1Char('N');
        }
    };
    QString strSeen;
    for (int n = 0; n < strPath.size(); ++n) {
        const QPoint pt = strPath.at(n) == QLatin1Char('i') ? ptIn : ptOut;
        if (strPath.at(n) == QLatin1Char('f'))
            pCtrl->clearFocus();
        else if (n == 0)
            QTest::mousePress(pCtrl.get(), Qt::LeftButton, {}, pt);
        else if (n + 1 < strPath.size())
            QTest::mouseMove(pCtrl.get(), pt);
        else
            QTest::mouseRelease(pCtrl.get(), Qt::LeftButton, {}, pt);
        strSeen += fnState();
    }
    QCOMPARE(strSeen, strStates);
    QCOMPARE(m_nBrowses, nBrowses);
    // Presses on the button never reach the text.
    if (strPath.startsWith(QLatin1Char('i')))
        QCOMPARE(pCtrl->text(), QString());
}

void TestFileEditCtrl::keys_data()
{
    QTest::addColumn<int>("nModifiers");
    QTest::addColumn<int>("nBrowses");
    QTest::addColumn<QString>("strText");

    QTest::newRow("Ctrl+.") << int(Qt::ControlModifier) << 1 << "";
    QTest::newRow("Ctrl+. on the keypad") << int(Qt::ControlModifier | Qt::KeypadModifier) << 1 << "";
    QTest::newRow(". alone types") << int(Qt::NoModifier) << 0 << ".";
}

void TestFileEditCtrl::keys()
{
    QFETCH(int, nModifiers);
    QFETCH(int, nBrowses);
    QFETCH(QString, strText);

    auto pCtrl = NewControl();
    pCtrl->setFocus();
    QTest::keyClick(pCtrl.get(), Qt::Key_Period, Qt::KeyboardModifiers(nModifiers));
    QCOMPARE(m_nBrowses, nBrowses);
    QCOMPARE(pCtrl->text(), strText);
}

void TestFileEditCtrl::browse_data()
{
    QTest::addColumn<QString>("strText");  // "@" is the temporary tree
    QTest::addColumn<QString>("strPick");  // empty cancels
    QTest::addColumn<bool>("bParentKeeps");
    QTest::addColumn<QString>("strFolder");
    QTest::addColumn<QString>("strName");
    QTest::addColumn<QString>("strAfter");

    QTest::newRow("existing file, rest after ; ignored") << "  @/cmd/run.scmd ;x" << "other.scmd" << false
                                                         << "@/cmd" << "run.scmd" << "@/cmd/other.scmd";
    QTest::newRow("missing folder: nearest parent") << "@/cmd/no/x.scmd" << "run.scmd" << false << "@/cmd" << ""
                                                    << "@/cmd/run.scmd";
    QTest::newRow("cancel leaves the text") << "@/cmd/run.scmd" << "" << false << "@/cmd" << "run.scmd"
                                            << "@/cmd/run.scmd";
    QTest::newRow("the parent keeps the text") << "@/cmd/" << "run.scmd" << true << "@/cmd" << "" << "@/cmd/";
}

void TestFileEditCtrl::browse()
{
    QFETCH(QString, strText);
    QFETCH(QString, strPick);
    QFETCH(bool, bParentKeeps);
    QFETCH(QString, strFolder);
    QFETCH(QString, strName);
    QFETCH(QString, strAfter);
    for (QString* pstr : {&strText, &strFolder, &strAfter})
        pstr->replace(QLatin1Char('@'), m_strRoot);

    auto pCtrl = NewControl(true);
    pCtrl->setText(strText);
    QStringList lstFinished;
    connect(pCtrl.get(), &CFileEditCtrl::BrowseFinished, this,
            [&](CFileEditCtrl* pFrom, const QString* pstrText, bool* pbKeep) {
                QCOMPARE(pFrom, pCtrl.get());
                lstFinished << (pstrText ? *pstrText : QStringLiteral("(cancelled)"));
                *pbKeep = bParentKeeps;
            });
    CDialogPlayer player(strPick);
    QTest::mouseClick(pCtrl.get(), Qt::LeftButton, {}, pCtrl->GetButtonRect().center());

    QCOMPARE(m_nBrowses, 1);
    QCOMPARE(player.m_strFolder, strFolder);
    QCOMPARE(player.m_strName, strName);
    QCOMPARE(player.m_strTitle, QStringLiteral("Browse for File"));
    QCOMPARE(player.m_strOk, QStringLiteral("OK"));
    QCOMPARE(lstFinished, QStringList{strPick.isEmpty() ? QStringLiteral("(cancelled)") : strFolder + QLatin1Char('/') + strPick});
    QCOMPARE(pCtrl->text(), strAfter);
    // The focus goes back to the control (it returns with the activation).
    QCOMPARE(pCtrl->focusWidget(), pCtrl.get());
    QCOMPARE(pCtrl->selectedText(), strAfter);
}

void TestFileEditCtrl::focusSelectsAll()
{
    QWidget window;
    auto* pOther = new QLineEdit(&window);
    auto* pCtrl = new CFileEditCtrl(&window);
    pCtrl->move(0, 40);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    pCtrl->setText(QStringLiteral("/some/path.scmd"));
    pOther->setFocus();
    pCtrl->deselect();
    // Clicked into, not tabbed into: a plain line edit would select nothing.
    pCtrl->setFocus(Qt::MouseFocusReason);
    QVERIFY(pCtrl->hasFocus());
    QCOMPARE(pCtrl->selectedText(), pCtrl->text());
}

void TestFileEditCtrl::filtersIgnoreCase()
{
    CFECFileDialog dialog;
    dialog.setDirectory(m_strRoot + QStringLiteral("/cmd"));
    dialog.show();
    auto* pList = dialog.findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(pList);
    auto fnShown = [&] {
        QStringList lstNames;
        const QModelIndex root = pList->rootIndex();
        for (int nRow = 0; nRow < pList->model()->rowCount(root); ++nRow)
            lstNames << pList->model()->index(nRow, 0, root).data().toString();
        lstNames.sort();
        return lstNames;
    };
    QTRY_COMPARE(fnShown(), (QStringList{QStringLiteral("UPPER.SCMD"), QStringLiteral("other.scmd"),
                                         QStringLiteral("run.scmd")}));
    dialog.selectNameFilter(dialog.nameFilters().value(1));
    QTRY_COMPARE(fnShown(), QStringList{QStringLiteral("b.Scpi")});
    dialog.selectNameFilter(dialog.nameFilters().value(2));
    // "All Files" includes names without an extension, which "*.*" would hide.
    QTRY_COMPARE(fnShown().size(), 6);
}

QTEST_MAIN(TestFileEditCtrl)
#include "tst_fileeditctrl.moc"
