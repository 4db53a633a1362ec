// The hex display window: its answer buffer, "Save As..." through the real
// file dialog, its Chinese texts, and the plug-in library end to end from
// velqsim's answers to the saved file.
#include "HexDisplayDlg.h"
#include "InstrumentVISA.h"
#include "PPDumpCtrl.h"
#include "PluginContract.h"
#include "SimProcess.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QLibrary>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kSessionTimeOutMs = 30000;
constexpr std::int32_t kMaxCountStatus = 0x3FFF0006;

QByteArray ReadFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Clicks "Save As..." and answers the file dialog with strPath; an empty
// path expects no dialog at all. Returns whether a dialog was shown.
bool SaveThroughDialog(QWidget* pWindow, const QString& strPath)
{
    bool bShown = false;
    bool bAnswered = false;
    int nTicks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&]() {
        QWidget* pModal = QApplication::activeModalWidget();
        auto* pDialog = qobject_cast<QFileDialog*>(pModal);
        if (pModal && (bAnswered || !pDialog)) {
            // Anything unexpected (a second dialog, a question) is dismissed
            // after a while, so that a fault fails the test instead of hanging it.
            if (++nTicks > 500)
                pModal->close();
            return;
        }
        if (!pDialog)
            return;
        bShown = true;
        bAnswered = true;
        // Typed as a user would: the dialog applies its own initial file
        // name late, after its folder has loaded, over a selectFile().
        const QFileInfo info(strPath);
        pDialog->setDirectory(info.absolutePath());
        if (auto* pEdit = pDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            pEdit->setText(info.fileName());
        QMetaObject::invokeMethod(pDialog, "accept", Qt::QueuedConnection);
    });
    timer.start();
    auto* pButton = pWindow->findChild<QPushButton*>(QStringLiteral("m_btnSaveAs"));
    if (!pButton)
        return false;
    pButton->click();
    return bShown;
}

// Reads one whole answer as the console does: the buffer doubles while VISA
// reports it full.
QByteArray ReadAnswer(CInstrumentVISA& instrument)
{
    QByteArray baAnswer;
    std::int32_t nSize = 1024;
    for (;;) {
        QByteArray baChunk(nSize, '\0');
        std::uint32_t uRead = 0;
        const int nStatus = instrument.ReadCommand(baChunk.data(), nSize, uRead);
        baAnswer += baChunk.left(static_cast<int>(uRead));
        if (nStatus != kMaxCountStatus)
            return nStatus < 0 ? QByteArray() : baAnswer;
        nSize *= 2;
    }
}

QByteArray BlockData(int nLength)
{
    QByteArray ba(nLength, '\0');
    for (int i = 0; i < nLength; ++i)
        ba[i] = char(i % 256);
    return ba;
}

} // namespace

class TestHexDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answerBuffer_data();
    void answerBuffer();
    void saveAs_data();
    void saveAs();
    void saveWithoutAnswer();
    void saveFailures_data();
    void saveFailures();
    void plugInFromSimulator_data();
    void plugInFromSimulator();
    void plugInWindowLifetime();
    // Last: the catalogue stays installed for the rest of the process.
    void chineseWindow();

private:
    PfnCreatePlugIn m_pfnCreate = nullptr;
    PfnDestroyPlugIn m_pfnDestroy = nullptr;
    QLibrary m_library;
    CSimProcess m_sim;
    QTemporaryDir m_dir;
};

void TestHexDisplay::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_library.setFileName(qEnvironmentVariable("VELQ_BUILD_DIR") + QStringLiteral("/bin/plugins/VelqHexDisplay.so"));
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    m_pfnCreate = reinterpret_cast<PfnCreatePlugIn>(m_library.resolve(VELQ_PLUGIN_SYMBOL_CREATE));
    m_pfnDestroy = reinterpret_cast<PfnDestroyPlugIn>(m_library.resolve(VELQ_PLUGIN_SYMBOL_DESTROY));
    auto pfnIs = reinterpret_cast<PfnIsPlugInComponent>(m_library.resolve(VELQ_PLUGIN_SYMBOL_IS_COMPONENT));
    auto pfnName = reinterpret_cast<PfnGetPlugInName>(m_library.resolve(VELQ_PLUGIN_SYMBOL_NAME));
    QVERIFY(m_pfnCreate && m_pfnDestroy && pfnIs && pfnName);
    QCOMPARE(pfnIs(), 1);
    QVERIFY(!QString::fromUtf16(pfnName()).isEmpty());
    QVERIFY(QApplication::topLevelWidgets().isEmpty());

    QVERIFY2(m_sim.Start(), qPrintable(m_sim.ErrorText()));
    qputenv("VELQ_VXI11_PORTMAPPER_PORT", QByteArray::number(m_sim.Port(QStringLiteral("PORTMAPPER"))));
}

void TestHexDisplay::answerBuffer_data()
{
    QTest::addColumn<QList<int>>("lstLengths");
    QTest::addColumn<quint32>("uCapacity");
    QTest::addColumn<int>("nShown");
    // -1 stands for a null answer (nothing read yet).
    QTest::newRow("first answer") << QList<int>{10} << 11u << 10;
    QTest::newRow("shorter answer reuses the buffer") << QList<int>{10, 5} << 11u << 5;
    QTest::newRow("same length reuses it") << QList<int>{10, 10} << 11u << 10;
    QTest::newRow("longer answer grows it") << QList<int>{10, 20} << 21u << 20;
    QTest::newRow("null answer keeps the dump") << QList<int>{10, -1} << 11u << 10;
    QTest::newRow("null first") << QList<int>{-1} << 0u << 0;
    QTest::newRow("empty answer") << QList<int>{0} << 1u << 0;
}

void TestHexDisplay::answerBuffer()
{
    QFETCH(QList<int>, lstLengths);
    QFETCH(quint32, uCapacity);
    QFETCH(int, nShown);
    CHexDisplayDlg dlg;
    QByteArray baLast;
    for (const int nLength : lstLengths) {
        if (nLength < 0) {
            dlg.LoadAnswer(nullptr, 123);
            continue;
        }
        baLast = QByteArray(nLength, char('A' + nLength % 26));
        dlg.LoadAnswer(baLast.constData(), nLength);
    }
    QCOMPARE(dlg.AnswerCapacity(), uCapacity);
    QCOMPARE(dlg.AnswerLength(), lstLengths.last() < 0 ? 0u : quint32(lstLengths.last()));
    QCOMPARE(dlg.DumpCtrl()->Values(), nShown);
    // The dump shows the window's own copy in place: one copy of the answer.
    if (nShown > 0) {
        QCOMPARE(dlg.DumpCtrl()->Data(), reinterpret_cast<const uchar*>(dlg.Answer()));
        QCOMPARE(QByteArray(dlg.Answer(), nShown), baLast.left(nShown));
    }
}

void TestHexDisplay::saveAs_data()
{
    QTest::addColumn<QByteArray>("baAnswer");
    QTest::addColumn<bool>("bIgnoreHeader");
    QTest::addColumn<QString>("strName");
    QTest::addColumn<QString>("strWritten");
    QTest::addColumn<QByteArray>("baSaved");

    QTest::newRow("block as .Binary") << QByteArray("#15HELLO\n") << true << "a.Binary" << "a.Binary"
                                      << QByteArray("HELLO");
    QTest::newRow("block as .txt, same bytes") << QByteArray("#15HELLO\n") << true << "b.txt" << "b.txt"
                                               << QByteArray("HELLO");
    QTest::newRow("header kept when unticked") << QByteArray("#15HELLO\n") << false << "c.txt" << "c.txt"
                                               << QByteArray("#15HELLO");
    QTest::newRow("no extension gets .txt") << QByteArray("1.2345E+00\n") << true << "d" << "d.txt"
                                            << QByteArray("1.2345E+00");
    QTest::newRow("one-byte answer without terminator") << QByteArray("7") << true << "e.txt" << "e.txt"
                                                        << QByteArray("7");
    QTest::newRow("binary line feeds untranslated") << QByteArray("#16\r\n\n\r\0\n\n", 10) << true << "f.txt"
                                                    << "f.txt" << QByteArray("\r\n\n\r\0\n", 6);
}

void TestHexDisplay::saveAs()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(bool, bIgnoreHeader);
    QFETCH(QString, strName);
    QFETCH(QString, strWritten);
    QFETCH(QByteArray, baSaved);
    CHexDisplayDlg dlg;
    dlg.LoadAnswer(baAnswer.constData(), baAnswer.size());
    dlg.show();
    auto* pCheck = dlg.findChild<QCheckBox*>(QStringLiteral("m_chkIgnoreHeader"));
    QVERIFY(pCheck && pCheck->isChecked());
    if (!bIgnoreHeader)
        pCheck->click();
    QCOMPARE(dlg.m_bIgnoreHeader != 0, bIgnoreHeader);
    // The box decides only what is saved: the dump shows every byte.
    QCOMPARE(dlg.DumpCtrl()->Values(), baAnswer.size());

    const QString strFolder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(strFolder));
    QVERIFY(SaveThroughDialog(&dlg, strFolder + QLatin1Char('/') + strName));
    QCOMPARE(ReadFile(strFolder + QLatin1Char('/') + strWritten), baSaved);
}

void TestHexDisplay::saveWithoutAnswer()
{
    CHexDisplayDlg dlg;
    dlg.LoadAnswer(nullptr, 10);
    dlg.show();
    QVERIFY(!SaveThroughDialog(&dlg, m_dir.filePath(QStringLiteral("never.txt"))));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("never.txt"))));
}

void TestHexDisplay::saveFailures_data()
{
    QTest::addColumn<QString>("strPath");
    QTest::addColumn<int>("nResult");
    QTest::newRow("folder missing") << m_dir.filePath(QStringLiteral("no/such/folder/x.txt"))
                                    << int(CHexDisplayDlg::kNotCreated);
    // A device that takes the open but refuses every byte: a full disk.
    QTest::newRow("disk full") << "/dev/full" << int(CHexDisplayDlg::kWriteFailed);
}

void TestHexDisplay::saveFailures()
{
    QFETCH(QString, strPath);
    QFETCH(int, nResult);
    if (strPath.startsWith(QLatin1String("/dev/")) && !QFile::exists(strPath))
        QSKIP("no such device here");
    CHexDisplayDlg dlg;
    const QByteArray baAnswer("#15HELLO\n");
    dlg.LoadAnswer(baAnswer.constData(), baAnswer.size());
    QString strError;
    QCOMPARE(int(dlg.SaveToFile(strPath, &strError)), nResult);
    QCOMPARE(strError.isEmpty(), nResult != CHexDisplayDlg::kWriteFailed);
}

void TestHexDisplay::plugInFromSimulator_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<QByteArray>("baQuery");
    QTest::addColumn<QByteArray>("baSaved");
    const QByteArray baBlock = BlockData(100000);
    // Block data contains every byte value, line feeds included.
    QTest::newRow("block over SOCKET") << "SOCKET" << QByteArray("TEST:BLOCk? 100000\n") << baBlock;
    QTest::newRow("block over VXI-11") << "VXI11" << QByteArray("TEST:BLOCk? 100000\n") << baBlock;
    QTest::newRow("block over HiSLIP") << "HISLIP" << QByteArray("TEST:BLOCk? 100000\n") << baBlock;
    QTest::newRow("identity over SOCKET") << "SOCKET" << QByteArray("*IDN?\n")
                                          << QByteArray("VELQUIST,VELQSIM SCPI SIMULATOR,000001,1.0.0");
}

void TestHexDisplay::plugInFromSimulator()
{
    QFETCH(QString, strServer);
    QFETCH(QByteArray, baQuery);
    QFETCH(QByteArray, baSaved);

    QByteArray baAnswer;
    {
        CInstrumentVISA instrument;
        const QByteArray baResource = m_sim.Resource(strServer);
        QVERIFY(!baResource.isEmpty());
        QCOMPARE(instrument.SetInstrumentControl(baResource.constData(), kSessionTimeOutMs), 1);
        std::uint32_t uWritten = 0;
        QCOMPARE(instrument.WriteCommand(baQuery.constData(), baQuery.size(), uWritten), 1);
        baAnswer = ReadAnswer(instrument);
        instrument.DisconnectInstru();
    }
    QVERIFY(baAnswer.size() >= baSaved.size());

    QWidget owner;
    const std::u16string strCommand = QString::fromLatin1(baQuery.trimmed()).toStdU16String();
    const PlugInInput input{&owner, baAnswer.constData(), std::int32_t(baAnswer.size()), strCommand.c_str(), 0};
    PlugInInstance instance;
    QCOMPARE(m_pfnCreate(&instance, &input), &instance);
    auto* pWindow = static_cast<QWidget*>(instance.window);
    QVERIFY(pWindow && instance.windowObject);
    QVERIFY(pWindow->isVisible());
    QCOMPARE(pWindow->parentWidget(), &owner);
    // The console's buffer is gone after the call; the window kept its own copy.
    baAnswer.fill('\xEE');

    const QString strPath = m_dir.filePath(QStringLiteral("%1.Binary").arg(QString::fromLatin1(QTest::currentDataTag())));
    QVERIFY(SaveThroughDialog(pWindow, strPath));
    QCOMPARE(ReadFile(strPath), baSaved);
}

void TestHexDisplay::plugInWindowLifetime()
{
    QWidget owner;
    const QByteArray baFirst("#15HELLO\n");
    const QByteArray baSecond("#211HELLO WORLD\n");
    const PlugInInput first{&owner, baFirst.constData(), std::int32_t(baFirst.size()), u"", 0};
    const PlugInInput second{&owner, baSecond.constData(), std::int32_t(baSecond.size()), u"", 0};
    PlugInInstance one;
    PlugInInstance two;
    m_pfnCreate(&one, &first);
    QVERIFY(one.window);
    QPointer<QWidget> pFirstWindow(static_cast<QWidget*>(one.window));
    // Exit only hides; the next invocation shows the same window with the new answer.
    pFirstWindow->findChild<QPushButton*>(QStringLiteral("m_btnExit"))->click();
    QVERIFY(!pFirstWindow->isVisible());
    m_pfnCreate(&two, &second);
    QCOMPARE(two.window, one.window);
    QCOMPARE(two.windowObject, one.windowObject);
    QVERIFY(pFirstWindow->isVisible());
    const QString strPath = m_dir.filePath(QStringLiteral("reused.txt"));
    QVERIFY(SaveThroughDialog(pFirstWindow, strPath));
    QCOMPARE(ReadFile(strPath), QByteArray("HELLO WORLD"));

    m_pfnDestroy(&two);
    QVERIFY(pFirstWindow.isNull());
    // A stale record is ignored: the object is freed once.
    m_pfnDestroy(&one);
    m_pfnDestroy(nullptr);
    PlugInInstance three;
    m_pfnCreate(&three, &first);
    QVERIFY(three.window);
    QPointer<QWidget> pThird(static_cast<QWidget*>(three.window));
    // The owner going away takes the window with it; the next call makes a new one.
    {
        QWidget shortOwner;
        const PlugInInput input{&shortOwner, baFirst.constData(), std::int32_t(baFirst.size()), u"", 0};
        m_pfnDestroy(&three);
        PlugInInstance four;
        m_pfnCreate(&four, &input);
        QVERIFY(four.window);
        pThird = static_cast<QWidget*>(four.window);
    }
    QVERIFY(pThird.isNull());
}

void TestHexDisplay::chineseWindow()
{
    QVERIFY(CHexDisplayDlg::InstallTranslator(*QCoreApplication::instance()));
    CHexDisplayDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("十六进制显示"));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("m_btnExit"))->text(), QStringLiteral("退出"));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("m_btnSaveAs"))->text(), QStringLiteral("保存..."));
    QCOMPARE(dlg.findChild<QCheckBox*>(QStringLiteral("m_chkIgnoreHeader"))->text(), QStringLiteral("忽略数据头"));
    QVERIFY(dlg.findChild<QGroupBox*>(QStringLiteral("m_grpFrame"))->title().isEmpty());
}

QTEST_MAIN(TestHexDisplay)
#include "tst_hexdisplay.moc"
