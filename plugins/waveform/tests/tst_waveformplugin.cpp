// The plug-in as the console uses it: loaded from bin/plugins, fed through
// CreatePlugIn with answers velqsim gave over the VISA library, judged by
// what its window shows.
#include "PluginContract.h"
#include "SimProcess.h"

#include <visa.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QTimer>
#include <QLabel>
#include <QLibrary>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

struct SShown
{
    qint64 nCount = -1;
    double dMin = 0, dMax = 0, dMean = 0, dRms = 0;
};

} // namespace

class TestWaveformPlugIn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void statisticsOfSimulatorWaveforms_data();
    void statisticsOfSimulatorWaveforms();
    void imagesAreShown_data();
    void imagesAreShown();
    void zoomNarrowsTheFiguresAndTheReadOutNamesSamples();
    void badAnswers_data();
    void badAnswers();
    void formatChosenByHand();
    void exports_data();
    void exports();
    void oneWindowPerLibrary();
    void scalingIsKeptInTheConsoleSettings();
    void windowLanguage();

private:
    QByteArray Query(const QByteArray& baCommand);
    QWidget* Invoke(const QByteArray* pAnswer, QWidget* pOwner = nullptr);
    template <typename T>
    T* Child(const char* pszName)
    {
        T* p = m_pWindow ? m_pWindow->findChild<T*>(QLatin1String(pszName)) : nullptr;
        if (!p)
            qFatal("missing control %s", pszName);
        return p;
    }
    QString Text(const char* pszName) { return Child<QLabel>(pszName)->text(); }
    SShown Statistics();

    CSimProcess m_sim;
    ViSession m_viRM = VI_NULL;
    ViSession m_vi = VI_NULL;
    QLibrary m_lib;
    PfnCreatePlugIn m_pfnCreate = nullptr;
    PfnDestroyPlugIn m_pfnDestroy = nullptr;
    QWidget m_owner;
    QPointer<QWidget> m_pWindow;
};

void TestWaveformPlugIn::initTestCase()
{
    m_lib.setFileName(qEnvironmentVariable("VELQ_BUILD_DIR") + QStringLiteral("/bin/plugins/VelqWaveform.so"));
    QVERIFY2(m_lib.load(), qPrintable(m_lib.errorString()));
    m_pfnCreate = reinterpret_cast<PfnCreatePlugIn>(m_lib.resolve(VELQ_PLUGIN_SYMBOL_CREATE));
    m_pfnDestroy = reinterpret_cast<PfnDestroyPlugIn>(m_lib.resolve(VELQ_PLUGIN_SYMBOL_DESTROY));
    auto pfnIs = reinterpret_cast<PfnIsPlugInComponent>(m_lib.resolve(VELQ_PLUGIN_SYMBOL_IS_COMPONENT));
    auto pfnName = reinterpret_cast<PfnGetPlugInName>(m_lib.resolve(VELQ_PLUGIN_SYMBOL_NAME));
    QVERIFY(m_pfnCreate && m_pfnDestroy && pfnIs && pfnName);
    QCOMPARE(pfnIs(), 1);
    QVERIFY(!QString::fromUtf16(pfnName()).isEmpty());
    QVERIFY2(m_sim.Start(), qPrintable(m_sim.ErrorText()));
    QCOMPARE(viOpenDefaultRM(&m_viRM), VI_SUCCESS);
    QCOMPARE(viOpen(m_viRM, m_sim.SocketResource().constData(), VI_NULL, 5000, &m_vi), VI_SUCCESS);
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, 30000), VI_SUCCESS);
    m_owner.show();
}

void TestWaveformPlugIn::cleanupTestCase()
{
    if (m_vi != VI_NULL)
        viClose(m_vi);
    if (m_viRM != VI_NULL)
        viClose(m_viRM);
}

// Reads as the console does: the whole answer, its terminator included.
QByteArray TestWaveformPlugIn::Query(const QByteArray& baCommand)
{
    const QByteArray baLine = baCommand + "\n";
    ViUInt32 uWritten = 0;
    if (viWrite(m_vi, reinterpret_cast<ViConstBuf>(baLine.constData()), static_cast<ViUInt32>(baLine.size()),
                &uWritten) != VI_SUCCESS)
        return QByteArray();
    QByteArray baAnswer;
    QByteArray baChunk(1 << 16, '\0');
    for (;;) {
        ViUInt32 uRead = 0;
        const ViStatus status =
            viRead(m_vi, reinterpret_cast<ViBuf>(baChunk.data()), static_cast<ViUInt32>(baChunk.size()), &uRead);
        baAnswer.append(baChunk.constData(), static_cast<int>(uRead));
        if (status != VI_SUCCESS_MAX_CNT)
            return status < VI_SUCCESS ? QByteArray() : baAnswer;
    }
}

QWidget* TestWaveformPlugIn::Invoke(const QByteArray* pAnswer, QWidget* pOwner)
{
    PlugInInput input{pOwner ? pOwner : &m_owner, pAnswer ? pAnswer->constData() : nullptr,
                      pAnswer ? static_cast<int32_t>(pAnswer->size()) : 0, u"TEST:WAV?", 0};
    PlugInInstance instance;
    std::memset(&instance, 0xcd, sizeof instance);
    PlugInInstance* pResult = m_pfnCreate(&instance, &input);
    if (pResult != &instance || instance.reserved1 || instance.reserved2 || instance.reserved3
        || instance.window != instance.windowObject)
        qFatal("CreatePlugIn filled its record wrongly");
    m_pWindow = static_cast<QWidget*>(instance.window);
    return m_pWindow;
}

SShown TestWaveformPlugIn::Statistics()
{
    static const QRegularExpression kStats(
        QStringLiteral("^Count: (\\S+)\\s+Min: (\\S+)\\s+Max: (\\S+)\\s+Mean: (\\S+)\\s+RMS: (\\S+)$"));
    SShown shown;
    const QRegularExpressionMatch match = kStats.match(Text("m_lblStatistics"));
    if (match.hasMatch()) {
        shown.nCount = match.captured(1).toLongLong();
        shown.dMin = match.captured(2).toDouble();
        shown.dMax = match.captured(3).toDouble();
        shown.dMean = match.captured(4).toDouble();
        shown.dRms = match.captured(5).toDouble();
    }
    return shown;
}

void TestWaveformPlugIn::statisticsOfSimulatorWaveforms_data()
{
    QTest::addColumn<QByteArray>("baCommand");
    QTest::addColumn<int>("nPoints");
    QTest::addColumn<QString>("strDetected");
    QTest::addColumn<double>("dCentre");
    QTest::addColumn<double>("dAmplitude");

    QTest::newRow("text") << QByteArray("TEST:WAV? 5000") << 5000 << "Detected: text numbers, 5000 samples" << 0.0
                          << 1.0;
    QTest::newRow("int8") << QByteArray("TEST:WAV? 3000,INT8") << 3000 << "Detected: int8, 3000 samples" << 0.0
                          << 100.0;
    QTest::newRow("uint8") << QByteArray("TEST:WAV? 3000,UINT8") << 3000 << "Detected: uint8, 3000 samples"
                           << 128.0 << 100.0;
    QTest::newRow("int16 big-endian") << QByteArray("TEST:WAV? 4000,INT16") << 4000
                                      << "Detected: int16, big-endian, 4000 samples" << 0.0 << 20000.0;
    QTest::newRow("uint16 little-endian") << QByteArray("TEST:WAV? 4000,UINT16,SWAP") << 4000
                                          << "Detected: uint16, little-endian, 4000 samples" << 32768.0 << 20000.0;
    QTest::newRow("int32 little-endian") << QByteArray("TEST:WAV? 4000,INT32,SWAP") << 4000
                                         << "Detected: int32, little-endian, 4000 samples" << 0.0 << 1e9;
    QTest::newRow("float32 little-endian") << QByteArray("TEST:WAV? 200000,REAL32,SWAP") << 200000
                                           << "Detected: float32, little-endian, 200000 samples" << 0.0 << 1.0;
    QTest::newRow("float64 big-endian") << QByteArray("TEST:WAV? 2000,REAL64") << 2000
                                        << "Detected: float64, big-endian, 2000 samples" << 0.0 << 1.0;
}

void TestWaveformPlugIn::statisticsOfSimulatorWaveforms()
{
    QFETCH(QByteArray, baCommand);
    QFETCH(int, nPoints);
    QFETCH(QString, strDetected);
    QFETCH(double, dCentre);
    QFETCH(double, dAmplitude);

    QByteArray baAnswer = Query(baCommand);
    QVERIFY(!baAnswer.isEmpty());
    QVERIFY(Invoke(&baAnswer));
    // The console's buffer is reused for the next answer; the window must not care.
    baAnswer.fill('\0');
    QVERIFY(m_pWindow->isVisible());
    QCOMPARE(Text("m_lblDetected"), strDetected);
    QVERIFY2(Text("m_lblMessage").isEmpty(), qPrintable(Text("m_lblMessage")));
    const SShown shown = Statistics();
    QCOMPARE(shown.nCount, nPoints);
    // Five whole periods of a sine with +/-2 % of noise.
    const double dTolerance = dAmplitude * 0.03;
    QVERIFY2(std::fabs(shown.dMean - dCentre) < dTolerance / 3, qPrintable(Text("m_lblStatistics")));
    QVERIFY2(std::fabs(shown.dMax - (dCentre + dAmplitude)) < dTolerance, qPrintable(Text("m_lblStatistics")));
    QVERIFY2(std::fabs(shown.dMin - (dCentre - dAmplitude)) < dTolerance, qPrintable(Text("m_lblStatistics")));
    const double dRms = std::sqrt(dCentre * dCentre + dAmplitude * dAmplitude / 2);
    QVERIFY2(std::fabs(shown.dRms - dRms) < dRms * 0.01, qPrintable(Text("m_lblStatistics")));
}

void TestWaveformPlugIn::imagesAreShown_data()
{
    QTest::addColumn<QByteArray>("baAnswer");
    QTest::addColumn<QString>("strShown");
    QTest::addColumn<QSize>("size");

    QTest::newRow("velqsim PNG") << Query("TEST:SCR? PNG") << "PNG image, 320 \u00d7 240 pixels" << QSize(320, 240);
    QTest::newRow("velqsim BMP") << Query("TEST:SCR? BMP") << "BMP image, 320 \u00d7 240 pixels" << QSize(320, 240);
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray baJpeg;
    QBuffer buffer(&baJpeg);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "JPEG"));
    QTest::newRow("raw JPEG") << baJpeg << "JPEG image, 64 \u00d7 48 pixels" << QSize(64, 48);
    QTest::newRow("JPEG in a block") << "#" + QByteArray::number(QByteArray::number(baJpeg.size()).size())
                                            + QByteArray::number(baJpeg.size()) + baJpeg + "\n"
                                     << "JPEG image, 64 \u00d7 48 pixels" << QSize(64, 48);
    // The smallest GIF there is: one white pixel.
    const QByteArray baGif("GIF89a\x01\0\x01\0\x80\0\0\xff\xff\xff\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;", 35);
    QTest::newRow("GIF") << baGif << "GIF image, 1 \u00d7 1 pixels" << QSize(1, 1);
}

void TestWaveformPlugIn::imagesAreShown()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(QString, strShown);
    QFETCH(QSize, size);
    QVERIFY(Invoke(&baAnswer));
    QCOMPARE(Text("m_lblDetected"), QStringLiteral("Detected: image"));
    QVERIFY2(Text("m_lblMessage").isEmpty(), qPrintable(Text("m_lblMessage")));
    QCOMPARE(Text("m_lblStatistics"), strShown);
    QCOMPARE(Child<QLabel>("m_lblImage")->pixmap().size(), size);
    QVERIFY(Child<QPushButton>("m_btnPng")->isEnabled());
    QVERIFY(!Child<QPushButton>("m_btnCsv")->isEnabled());
}

void TestWaveformPlugIn::zoomNarrowsTheFiguresAndTheReadOutNamesSamples()
{
    const QByteArray baAnswer = Query("TEST:WAV? 1000");
    QVERIFY(Invoke(&baAnswer));
    QCOMPARE(Statistics().nCount, 1000);
    QWidget* pPlot = Child<QWidget>("m_plot");
    const int nY = pPlot->height() / 2;
    // A rubber band over the middle of the plot, then back to the whole trace.
    QTest::mousePress(pPlot, Qt::LeftButton, {}, QPoint(pPlot->width() * 2 / 5, nY - 40));
    QTest::mouseMove(pPlot, QPoint(pPlot->width() * 3 / 5, nY + 40));
    QTest::mouseRelease(pPlot, Qt::LeftButton, {}, QPoint(pPlot->width() * 3 / 5, nY + 40));
    const qint64 nZoomed = Statistics().nCount;
    QVERIFY2(nZoomed > 50 && nZoomed < 500, qPrintable(Text("m_lblStatistics")));
    QTest::mouseDClick(pPlot, Qt::LeftButton, {}, QPoint(pPlot->width() / 2, nY));
    QCOMPARE(Statistics().nCount, 1000);
    // Too dense to tell samples apart: the read-out gives the cursor's place only.
    QTest::mouseMove(pPlot, QPoint(pPlot->width() / 2, nY));
    QVERIFY2(Text("m_lblCursor").startsWith(QLatin1String("x = ")), qPrintable(Text("m_lblCursor")));
    QVERIFY(!Text("m_lblCursor").contains(QLatin1String("sample")));

    // Few samples: the read-out names the one under the cursor, with its value.
    const QByteArray baTens = "0,10,20,30,40,50,60,70,80,90\n";
    QVERIFY(Invoke(&baTens));
    static const QRegularExpression kSample(QStringLiteral("sample (\\d+): x = (\\S+), y = (\\S+)$"));
    for (int nX : {pPlot->width() / 3, pPlot->width() / 2, pPlot->width() * 4 / 5}) {
        QTest::mouseMove(pPlot, QPoint(nX, nY));
        const QRegularExpressionMatch match = kSample.match(Text("m_lblCursor"));
        QVERIFY2(match.hasMatch(), qPrintable(Text("m_lblCursor")));
        QCOMPARE(match.captured(2).toInt(), match.captured(1).toInt());
        QCOMPARE(match.captured(3).toInt(), match.captured(1).toInt() * 10);
    }
}

void TestWaveformPlugIn::badAnswers_data()
{
    QTest::addColumn<QByteArray>("baAnswer");
    QTest::addColumn<QString>("strMessage");
    QTest::addColumn<qint64>("nCount"); // -1: no statistics

    QTest::newRow("empty") << QByteArray("") << "The answer is empty." << qint64(-1);
    QTest::newRow("one number") << QByteArray("42\n") << "" << qint64(1);
    QTest::newRow("NaN among numbers") << QByteArray("1,NaN,2,9.9E37\n")
                                       << "2 samples are NaN or infinite and are left out of the plot and the "
                                          "statistics."
                                       << qint64(2);
    QTest::newRow("not numbers") << QByteArray("TARNOVE,VQ-1,0,1.0\n")
                                 << "The answer is not a list of numbers (2 items could not be read). If it holds "
                                    "binary samples, choose their format."
                                 << qint64(-1);
    QTest::newRow("corrupt png") << QByteArray("#220\x89PNG\r\n\x1a\n\0\0\0\rIHDRjunk\n", 25)
                                 << "The answer holds a PNG image that cannot be decoded:" << qint64(-1);
    QTest::newRow("block header cut short") << QByteArray("#9123")
                                            << "The answer starts like a binary block (#), but its header is not valid."
                                            << qint64(-1);
    QTest::newRow("block cut short") << QByteArray("#210\x01\x02\x03", 7)
                                     << "The block declares 10 bytes, but 7 of them never arrived; the samples "
                                        "received are shown."
                                     << qint64(3);
}

void TestWaveformPlugIn::badAnswers()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(QString, strMessage);
    QFETCH(qint64, nCount);
    QVERIFY(Invoke(&baAnswer));
    if (strMessage.isEmpty())
        QVERIFY2(Text("m_lblMessage").isEmpty(), qPrintable(Text("m_lblMessage")));
    else
        QVERIFY2(Text("m_lblMessage").startsWith(strMessage), qPrintable(Text("m_lblMessage")));
    QCOMPARE(Statistics().nCount, nCount);
}

void TestWaveformPlugIn::formatChosenByHand()
{
    const QByteArray baAnswer = Query("TEST:WAV? 100,INT16");
    QVERIFY(Invoke(&baAnswer));
    auto* pFormat = Child<QComboBox>("m_cboFormat");
    auto* pOrder = Child<QComboBox>("m_cboByteOrder");
    const struct
    {
        int nFormat;
        int nOrder;
        const char* pszShown;
        qint64 nCount;
    } kSteps[] = {
        {2, 0, "Read as: int8, 200 samples", 200},
        {4, 1, "Read as: int16, little-endian, 100 samples", 100},
        {4, 2, "Read as: int16, big-endian, 100 samples", 100},
        {9, 0, "Read as: image", -1},
        {0, 0, "Detected: int16, big-endian, 100 samples", 100},
    };
    for (const auto& step : kSteps) {
        pFormat->setCurrentIndex(step.nFormat);
        pOrder->setCurrentIndex(step.nOrder);
        QCOMPARE(Text("m_lblDetected"), QLatin1String(step.pszShown));
        QCOMPARE(Statistics().nCount, step.nCount);
    }
    QCOMPARE(Text("m_lblMessage"), QString());
    pFormat->setCurrentIndex(9);
    QCOMPARE(Text("m_lblMessage"), QStringLiteral("The answer is not a PNG, BMP, JPEG or GIF image."));
    // Kept for the next answer, and for the next session.
    QCOMPARE(QSettings(QStringLiteral("TARNOVE TECHNOLOGIES"), QStringLiteral("Velquist"))
                 .value(QStringLiteral("VelqWaveform/Format")).toString(),
             QStringLiteral("image"));
    pFormat->setCurrentIndex(0);
}

void TestWaveformPlugIn::exports_data()
{
    QTest::addColumn<QByteArray>("baCommand");
    QTest::addColumn<QByteArray>("baButton");
    QTest::addColumn<QByteArray>("baFirstLines"); // CSV: the file's start; PNG: empty
    QTest::addColumn<QSize>("sizeImage");         // PNG: the saved image's size, if fixed

    QTest::newRow("samples as CSV") << QByteArray("TEST:WAV? 1000,INT16") << QByteArray("m_btnCsv")
                                    << QByteArray("index,x,y\n0,0,") << QSize();
    QTest::newRow("plot as PNG") << QByteArray("TEST:WAV? 1000,INT16") << QByteArray("m_btnPng") << QByteArray()
                                 << QSize();
    QTest::newRow("screenshot as PNG") << QByteArray("TEST:SCR? BMP") << QByteArray("m_btnPng") << QByteArray()
                                       << QSize(320, 240);
}

void TestWaveformPlugIn::exports()
{
    QFETCH(QByteArray, baCommand);
    QFETCH(QByteArray, baButton);
    QFETCH(QByteArray, baFirstLines);
    QFETCH(QSize, sizeImage);

    const QByteArray baAnswer = Query(baCommand);
    QVERIFY(Invoke(&baAnswer));
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("export"));
    // The save dialog is answered as a person would: a name typed, then Save.
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&]() {
        if (auto* pDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            pDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(strPath);
            static_cast<QDialog*>(pDialog)->accept();
        }
    });
    timer.start(20);
    Child<QPushButton>(baButton.constData())->click();
    QFile file(strPath + (baButton == "m_btnCsv" ? ".csv" : ".png"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    if (!baFirstLines.isEmpty()) {
        const QList<QByteArray> lstLines = file.readAll().split('\n');
        QVERIFY(lstLines.join('\n').startsWith(baFirstLines));
        QCOMPARE(lstLines.size(), 1000 + 2); // header, samples, and the empty rest after the last LF
        return;
    }
    const QImage image = QImage::fromData(file.readAll(), "PNG");
    QVERIFY(!image.isNull());
    if (sizeImage.isValid())
        QCOMPARE(image.size(), sizeImage);
    else
        QCOMPARE(image.size(), Child<QWidget>("m_plot")->size() * Child<QWidget>("m_plot")->devicePixelRatio());
}

void TestWaveformPlugIn::oneWindowPerLibrary()
{
    const QByteArray baFirst = "1,2,3\n";
    const QByteArray baSecond = "1,2,3,4,5\n";
    QPointer<QWidget> pWindow = Invoke(&baFirst);
    QVERIFY(pWindow);
    QCOMPARE(pWindow->parentWidget(), &m_owner);
    pWindow->move(123, 77);
    const QPoint ptWhere = pWindow->pos();

    // Exit only hides; the next invocation shows the same window where it was, refilled.
    Child<QPushButton>("m_btnExit")->click();
    QVERIFY(!pWindow->isVisible());
    QCOMPARE(Invoke(&baSecond), pWindow.data());
    QVERIFY(pWindow->isVisible());
    QCOMPARE(pWindow->pos(), ptWhere);
    QCOMPARE(Statistics().nCount, 5);
    QCOMPARE(Invoke(nullptr), pWindow.data());
    QCOMPARE(Text("m_lblMessage"), QStringLiteral("No answer has been read from the instrument yet."));

    // DestroyPlugIn frees it once; a stale record afterwards is ignored.
    PlugInInstance record{pWindow.data(), 0, 0, 0, pWindow.data()};
    m_pfnDestroy(&record);
    QVERIFY(pWindow.isNull());
    m_pfnDestroy(&record);
    m_pfnDestroy(nullptr);
    QVERIFY(Invoke(&baFirst));
    QCOMPARE(Statistics().nCount, 3);

    // The owner going away takes the window with it; the next call makes a new one.
    auto* pOwner = new QWidget;
    pOwner->show();
    {
        pWindow = m_pWindow;
        PlugInInstance current{pWindow.data(), 0, 0, 0, pWindow.data()};
        m_pfnDestroy(&current);
        QVERIFY(pWindow.isNull());
        pWindow = Invoke(&baSecond, pOwner);
        QCOMPARE(pWindow->parentWidget(), pOwner);
        delete pOwner;
        QVERIFY(pWindow.isNull());
        QVERIFY(Invoke(&baFirst));
        QCOMPARE(m_pWindow->parentWidget(), &m_owner);
        QCOMPARE(Statistics().nCount, 3);
    }

    // Bad calls get an empty record or nothing, never a crash.
    QVERIFY(m_pfnCreate(nullptr, nullptr) == nullptr);
    PlugInInstance empty;
    std::memset(&empty, 0xcd, sizeof empty);
    QCOMPARE(m_pfnCreate(&empty, nullptr), &empty);
    QVERIFY(!empty.window && !empty.windowObject);
}

void TestWaveformPlugIn::scalingIsKeptInTheConsoleSettings()
{
    const QByteArray baAnswer = "1,2,3,4\n";
    QVERIFY(Invoke(&baAnswer));
    Child<QWidget>("m_chkScaling")->setProperty("checked", true);
    auto* pOffset = m_pWindow->findChild<QWidget*>(QStringLiteral("m_edtOffset"));
    auto* pScale = m_pWindow->findChild<QWidget*>(QStringLiteral("m_edtScale"));
    QVERIFY(pOffset && pScale);
    pOffset->setProperty("text", QStringLiteral("2.5"));
    pScale->setProperty("text", QStringLiteral("2"));
    QMetaObject::invokeMethod(pScale, "editingFinished");
    const SShown shown = Statistics();
    QCOMPARE(shown.dMin, -3.0);
    QCOMPARE(shown.dMax, 3.0);

    QSettings settings(QStringLiteral("TARNOVE TECHNOLOGIES"), QStringLiteral("Velquist"));
    QCOMPARE(settings.value(QStringLiteral("VelqWaveform/Scaling")).toBool(), true);
    QCOMPARE(settings.value(QStringLiteral("VelqWaveform/Offset")).toDouble(), 2.5);
    QCOMPARE(settings.value(QStringLiteral("VelqWaveform/Scale")).toDouble(), 2.0);

    // A fresh window starts from what was kept.
    PlugInInstance current{m_pWindow.data(), 0, 0, 0, m_pWindow.data()};
    m_pfnDestroy(&current);
    QVERIFY(Invoke(&baAnswer));
    QCOMPARE(Statistics().dMax, 3.0);
    Child<QWidget>("m_chkScaling")->setProperty("checked", false);
    QCOMPARE(Statistics().dMax, 4.0);
}

void TestWaveformPlugIn::windowLanguage()
{
    // Run once as is and once by ctest under a Chinese locale.
    const bool bChinese = QLocale::system().language() == QLocale::Chinese;
    if (qEnvironmentVariable("LANG").startsWith(QLatin1String("zh")))
        QVERIFY2(bChinese, "the Chinese run has no Chinese locale, so it would check English texts again");
    const QByteArray baAnswer = "1,2,3\n";
    QVERIFY(Invoke(&baAnswer));
    QCOMPARE(m_pWindow->windowTitle(),
             bChinese ? QStringLiteral("波形与截图查看器") : QStringLiteral("Waveform and Screenshot Viewer"));
    QCOMPARE(Child<QPushButton>("m_btnExit")->text(),
             bChinese ? QStringLiteral("退出(&I)") : QStringLiteral("Ex&it"));
    QVERIFY2(Text("m_lblStatistics").startsWith(bChinese ? QStringLiteral("数量: 3") : QStringLiteral("Count: 3")),
             qPrintable(Text("m_lblStatistics")));
}

int main(int argc, char** argv)
{
    // The console's settings store, but a private one.
    QTemporaryDir configDir;
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    TestWaveformPlugIn test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_waveformplugin.moc"
