// The simulator's test signals: the noisy sine in every sample format and
// byte order, and the screenshot, read back as a client would.
#include "Device.h"
#include "InstrumentState.h"

#include <QImage>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

const std::chrono::milliseconds kWait(5000);

QByteArray Query(CDevice& dev, const QByteArray& baMessage)
{
    dev.Write(std::string(baMessage.constData(), static_cast<size_t>(baMessage.size())) + "\n", false);
    QByteArray baOut;
    for (;;) {
        CDevice::SReadResult r = dev.Read(1 << 20, kWait);
        if (r.eStatus != CDevice::EReadStatus::Data)
            return baOut;
        baOut.append(r.strData.data(), static_cast<int>(r.strData.size()));
        if (r.bEnd)
            return baOut.chopped(1); // the terminator
    }
}

QByteArray Payload(const QByteArray& baBlock)
{
    if (baBlock.size() < 2 || baBlock[0] != '#')
        return QByteArray();
    const int nDigits = baBlock[1] - '0';
    return baBlock.mid(2 + nDigits, baBlock.mid(2, nDigits).toInt());
}

double Sample(const QByteArray& baPayload, int nIndex, const QByteArray& baType, bool bBigEndian)
{
    const int nSize = baType.endsWith("8") ? 1 : baType.endsWith("16") ? 2 : baType == "REAL64" ? 8 : 4;
    uint64_t uBits = 0;
    for (int n = 0; n < nSize; ++n) {
        const int nShift = bBigEndian ? (nSize - 1 - n) * 8 : n * 8;
        uBits |= static_cast<uint64_t>(static_cast<uint8_t>(baPayload[nIndex * nSize + n])) << nShift;
    }
    if (baType == "REAL32") {
        const uint32_t u32 = static_cast<uint32_t>(uBits);
        float f;
        std::memcpy(&f, &u32, 4);
        return f;
    }
    if (baType == "REAL64") {
        double d;
        std::memcpy(&d, &uBits, 8);
        return d;
    }
    if (baType.startsWith("UINT"))
        return static_cast<double>(uBits);
    const int nBits = nSize * 8;
    return static_cast<double>(static_cast<int64_t>(uBits << (64 - nBits)) >> (64 - nBits));
}

} // namespace

class TestScpiWaveform : public QObject
{
    Q_OBJECT

    std::shared_ptr<CInstrumentState> m_pState = std::make_shared<CInstrumentState>();
    CDevice m_dev{"t", m_pState, nullptr, CDevice::EFraming::Stream, CDevice::EResponseMode::Queue};

private slots:
    void waveform_data();
    void waveform();
    void screenshot_data();
    void screenshot();
};

void TestScpiWaveform::waveform_data()
{
    QTest::addColumn<QByteArray>("baCommand");
    QTest::addColumn<int>("nError");
    QTest::addColumn<int>("nPoints");
    QTest::addColumn<QByteArray>("baType"); // empty: text
    QTest::addColumn<bool>("bBigEndian");
    QTest::addColumn<double>("dCentre");
    QTest::addColumn<double>("dAmplitude");

    QTest::newRow("defaults: 1000 points of text") << QByteArray("TEST:WAV?") << 0 << 1000 << QByteArray() << true
                                                   << 0.0 << 1.0;
    QTest::newRow("int8") << QByteArray("test:waveform? 40,int8") << 0 << 40 << QByteArray("INT8") << true << 0.0
                          << 100.0;
    QTest::newRow("uint8") << QByteArray("TEST:WAV? 40,UINT8") << 0 << 40 << QByteArray("UINT8") << true << 128.0
                           << 100.0;
    QTest::newRow("int16 normal") << QByteArray("TEST:WAV? 200,INT16,NORM") << 0 << 200 << QByteArray("INT16")
                                  << true << 0.0 << 20000.0;
    QTest::newRow("uint16 swapped") << QByteArray("TEST:WAV? 200,UINT16,SWAPPED") << 0 << 200
                                    << QByteArray("UINT16") << false << 32768.0 << 20000.0;
    QTest::newRow("int32 swapped") << QByteArray("TEST:WAV? 100,INT32,SWAP") << 0 << 100 << QByteArray("INT32")
                                   << false << 0.0 << 1e9;
    QTest::newRow("real32 normal") << QByteArray("TEST:WAV? 2000,REAL32") << 0 << 2000 << QByteArray("REAL32")
                                   << true << 0.0 << 1.0;
    QTest::newRow("real64 swapped") << QByteArray("TEST:WAV? 100,REAL64,SWAP") << 0 << 100 << QByteArray("REAL64")
                                    << false << 0.0 << 1.0;
    QTest::newRow("no points") << QByteArray("TEST:WAV? 0") << -222 << 0 << QByteArray() << true << 0.0 << 0.0;
    QTest::newRow("too many points") << QByteArray("TEST:WAV? 10000001") << -222 << 0 << QByteArray() << true
                                     << 0.0 << 0.0;
    QTest::newRow("unknown format") << QByteArray("TEST:WAV? 10,INT64") << -224 << 0 << QByteArray() << true
                                    << 0.0 << 0.0;
    QTest::newRow("unknown order") << QByteArray("TEST:WAV? 10,INT16,SIDEWAYS") << -224 << 0 << QByteArray()
                                   << true << 0.0 << 0.0;
}

void TestScpiWaveform::waveform()
{
    QFETCH(QByteArray, baCommand);
    QFETCH(int, nError);
    QFETCH(int, nPoints);
    QFETCH(QByteArray, baType);
    QFETCH(bool, bBigEndian);
    QFETCH(double, dCentre);
    QFETCH(double, dAmplitude);

    if (nError != 0) {
        m_dev.Write(std::string(baCommand.constData()) + "\n", false);
        const QByteArray baError = Query(m_dev, "SYST:ERR?");
        QCOMPARE(baError.left(baError.indexOf(',')).toInt(), nError);
        return;
    }
    const QByteArray baAnswer = Query(m_dev, baCommand);
    QList<double> lstValues;
    if (baType.isEmpty()) {
        for (const QByteArray& baItem : baAnswer.split(','))
            lstValues << baItem.toDouble();
    } else {
        const QByteArray baPayload = Payload(baAnswer);
        const int nSize = baPayload.size() / nPoints;
        QCOMPARE(baPayload.size(), nPoints * nSize);
        QCOMPARE(baAnswer.size(), 2 + QByteArray::number(baPayload.size()).size() + baPayload.size());
        for (int i = 0; i < nPoints; ++i)
            lstValues << Sample(baPayload, i, baType, bBigEndian);
    }
    QCOMPARE(lstValues.size(), nPoints);
    // Five periods: the sine starts at its centre and peaks a twentieth in, within the noise.
    const double dTolerance = dAmplitude * 0.03;
    QVERIFY2(std::fabs(lstValues[0] - dCentre) <= dTolerance, qPrintable(QString::number(lstValues[0])));
    QVERIFY2(std::fabs(lstValues[nPoints / 20] - (dCentre + dAmplitude)) <= dTolerance,
             qPrintable(QString::number(lstValues[nPoints / 20])));
    QVERIFY2(std::fabs(lstValues[nPoints * 3 / 20] - (dCentre - dAmplitude)) <= dTolerance,
             qPrintable(QString::number(lstValues[nPoints * 3 / 20])));
}

void TestScpiWaveform::screenshot_data()
{
    QTest::addColumn<QByteArray>("baCommand");
    QTest::addColumn<QByteArray>("baMagic");
    QTest::newRow("default is PNG") << QByteArray("TEST:SCR?") << QByteArray("\x89PNG\r\n\x1a\n");
    QTest::newRow("png") << QByteArray("test:screen? png") << QByteArray("\x89PNG\r\n\x1a\n");
    QTest::newRow("bmp") << QByteArray("TEST:SCReen? BMP") << QByteArray("BM");
}

void TestScpiWaveform::screenshot()
{
    QFETCH(QByteArray, baCommand);
    QFETCH(QByteArray, baMagic);
    const QByteArray baPayload = Payload(Query(m_dev, baCommand));
    QVERIFY(baPayload.startsWith(baMagic));
    const QImage image = QImage::fromData(baPayload);
    QCOMPARE(image.size(), QSize(320, 240));
    // The trace crosses the centre line at its start; the background is dark.
    QCOMPARE(QColor(image.pixel(80, 120)).name(), QStringLiteral("#ffd200"));
    QVERIFY(qGray(image.pixel(20, 20)) < 60);
}

QTEST_GUILESS_MAIN(TestScpiWaveform)
#include "tst_scpiwaveform.moc"
