// The plug-in's GUI-free core: what an answer is taken for, how its bytes
// become samples, and the range figures the plot and statistics rest on.
#include "AnswerFormat.h"
#include "AxisTicks.h"
#include "WaveformData.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <sys/mman.h>

#include <cmath>
#include <cstring>
#include <limits>

Q_DECLARE_METATYPE(EWaveFormat)
Q_DECLARE_METATYPE(EByteOrder)
Q_DECLARE_METATYPE(EImageType)
Q_DECLARE_METATYPE(CWaveformData::EStatus)

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Bytes of each value as an instrument sends them, built from the value's
// bit pattern with shifts so that the decoder's own byte handling is not reused.
QByteArray Encode(const QList<double>& lstValues, EWaveFormat eFormat, EByteOrder eOrder)
{
    const int nSize = SampleSize(eFormat);
    QByteArray ba;
    for (double d : lstValues) {
        uint64_t uBits = 0;
        if (eFormat == EWaveFormat::Float32) {
            const float f = static_cast<float>(d);
            uint32_t u32;
            std::memcpy(&u32, &f, 4);
            uBits = u32;
        } else if (eFormat == EWaveFormat::Float64) {
            std::memcpy(&uBits, &d, 8);
        } else {
            uBits = static_cast<uint64_t>(static_cast<int64_t>(d));
        }
        for (int n = 0; n < nSize; ++n) {
            const int nShift = eOrder == EByteOrder::Little ? n * 8 : (nSize - 1 - n) * 8;
            ba.append(static_cast<char>((uBits >> nShift) & 0xff));
        }
    }
    return ba;
}

QByteArray Block(const QByteArray& baPayload)
{
    const QByteArray baLength = QByteArray::number(baPayload.size());
    return "#" + QByteArray::number(baLength.size()) + baLength + baPayload + "\n";
}

// A sine with a little noise, scaled as the simulator scales each type.
QList<double> Sine(EWaveFormat eFormat, int nCount)
{
    double dCentre = 0;
    double dAmplitude = 1;
    switch (eFormat) {
    case EWaveFormat::Int8: dAmplitude = 100; break;
    case EWaveFormat::UInt8: dCentre = 128; dAmplitude = 100; break;
    case EWaveFormat::Int16: dAmplitude = 20000; break;
    case EWaveFormat::UInt16: dCentre = 32768; dAmplitude = 20000; break;
    case EWaveFormat::Int32: dAmplitude = 1e9; break;
    default: break;
    }
    QRandomGenerator rng(7);
    QList<double> lst;
    for (int i = 0; i < nCount; ++i) {
        const double dNoise = (rng.generateDouble() - 0.5) * 0.04;
        const double d = dCentre + dAmplitude * (std::sin(2 * M_PI * 5 * i / nCount) + dNoise);
        lst << (SampleSize(eFormat) > 0 && eFormat != EWaveFormat::Float32 && eFormat != EWaveFormat::Float64
                    ? std::round(d) : d);
    }
    return lst;
}

const char* Name(EWaveFormat e) { return FormatKey(e); }

} // namespace

class TestWaveformCore : public QObject
{
    Q_OBJECT

private slots:
    void detect_data();
    void detect();
    void decode_data();
    void decode();
    void statistics_data();
    void statistics();
    void decimationMatchesBruteForce_data();
    void decimationMatchesBruteForce();
    void hugeAnswerIsKeptOnceAndCapped();
    void csv();
    void ticks_data();
    void ticks();
};

void TestWaveformCore::detect_data()
{
    QTest::addColumn<QByteArray>("baAnswer");
    QTest::addColumn<EWaveFormat>("eFormat");
    QTest::addColumn<EByteOrder>("eOrder");
    QTest::addColumn<EImageType>("eImage");

    const EByteOrder eLE = EByteOrder::Little;
    const EByteOrder eBE = EByteOrder::Big;
    const EImageType eNone = EImageType::None;
    QTest::newRow("text, commas") << QByteArray("+1.50000E+00,-2.5e-3,3\n") << EWaveFormat::Text << eLE << eNone;
    QTest::newRow("text, blanks") << QByteArray("1 2 3\t4\r\n") << EWaveFormat::Text << eLE << eNone;
    QTest::newRow("text, words") << QByteArray("TARNOVE,VQ-1,0,1.0\n") << EWaveFormat::Text << eLE << eNone;
    for (EWaveFormat eFormat : {EWaveFormat::Int8, EWaveFormat::UInt8, EWaveFormat::Int16, EWaveFormat::UInt16,
                                EWaveFormat::Int32, EWaveFormat::Float32, EWaveFormat::Float64}) {
        for (EByteOrder eOrder : {eLE, eBE}) {
            if (SampleSize(eFormat) == 1 && eOrder == eBE)
                continue;
            const QByteArray baPayload = Encode(Sine(eFormat, 1000), eFormat, eOrder);
            QTest::addRow("block %s %s", Name(eFormat), eOrder == eLE ? "LE" : "BE")
                << Block(baPayload) << eFormat << eOrder << eNone;
            // Detection sees only the start of a long record: nearly a straight line and noise.
            const QByteArray baSlow = Encode(Sine(eFormat, 400000).mid(0, 20000), eFormat, eOrder);
            QTest::addRow("slow %s %s", Name(eFormat), eOrder == eLE ? "LE" : "BE")
                << Block(baSlow) << eFormat << eOrder << eNone;
        }
    }
    QTest::newRow("raw int16 BE without header")
        << Encode(Sine(EWaveFormat::Int16, 500), EWaveFormat::Int16, eBE) << EWaveFormat::Int16 << eBE << eNone;
    QTest::newRow("block of 3 bytes: int8") << QByteArray("#13\x01\x02\x03\n", 8) << EWaveFormat::Int8 << eLE << eNone;

    const QByteArray baPng("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    QByteArray baBmp("BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18);
    baBmp.append(QByteArray(40, '\0'));
    QTest::newRow("png") << baPng << EWaveFormat::Image << eLE << EImageType::Png;
    QTest::newRow("png in a block") << Block(baPng) << EWaveFormat::Image << eLE << EImageType::Png;
    QTest::newRow("bmp in a block") << Block(baBmp) << EWaveFormat::Image << eLE << EImageType::Bmp;
    QTest::newRow("jpeg") << QByteArray("\xff\xd8\xff\xe0\0\x10JFIF", 10) << EWaveFormat::Image << eLE
                          << EImageType::Jpeg;
    QTest::newRow("gif") << Block("GIF89a\x01\0\x01\0") << EWaveFormat::Image << eLE << EImageType::Gif;
    QTest::newRow("BM without a bitmap header is text") << QByteArray("BM 1,2,3") << EWaveFormat::Text << eLE
                                                        << eNone;
}

void TestWaveformCore::detect()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(EWaveFormat, eFormat);
    QFETCH(EByteOrder, eOrder);
    QFETCH(EImageType, eImage);
    const CAnswerFormat::SDetection det = CAnswerFormat::Detect(baAnswer.constData(), baAnswer.size());
    QCOMPARE(Name(det.eFormat), Name(eFormat));
    QCOMPARE(det.eImage, eImage);
    if (SampleSize(eFormat) > 1)
        QCOMPARE(det.eOrder, eOrder);
}

void TestWaveformCore::decode_data()
{
    QTest::addColumn<QByteArray>("baAnswer");
    QTest::addColumn<bool>("bNull");
    QTest::addColumn<EWaveFormat>("eFormat");
    QTest::addColumn<EByteOrder>("eOrder");
    QTest::addColumn<CWaveformData::EStatus>("eStatus");
    QTest::addColumn<QList<double>>("lstValues");
    // trailing bytes, missing bytes, invalid text items, non-finite samples
    QTest::addColumn<QList<qint64>>("lstCounts");

    using S = CWaveformData::EStatus;
    const QList<qint64> lstClean{0, 0, 0, 0};
    const struct
    {
        EWaveFormat eFormat;
        QList<double> lstValues;
    } kTypes[] = {
        {EWaveFormat::Int8, {-128, -1, 0, 127}},
        {EWaveFormat::UInt8, {0, 1, 200, 255}},
        {EWaveFormat::Int16, {-32768, -2, 258, 32767}},
        {EWaveFormat::UInt16, {0, 258, 65535}},
        {EWaveFormat::Int32, {-2147483648.0, -70000, 16909060, 2147483647}},
        {EWaveFormat::Float32, {-1.5, static_cast<double>(0.1f), static_cast<double>(3.4e38f)}},
        {EWaveFormat::Float64, {-1.5, 0.1, 1e300, -4.9e-324}},
    };
    for (const auto& type : kTypes) {
        for (EByteOrder eOrder : {EByteOrder::Little, EByteOrder::Big}) {
            QTest::addRow("%s %s", Name(type.eFormat), eOrder == EByteOrder::Little ? "LE" : "BE")
                << Block(Encode(type.lstValues, type.eFormat, eOrder)) << false << type.eFormat << eOrder
                << S::Samples << type.lstValues << lstClean;
        }
    }
    QTest::newRow("raw float32 without header")
        << Encode({1, 2}, EWaveFormat::Float32, EByteOrder::Big) << false << EWaveFormat::Float32 << EByteOrder::Big
        << S::Samples << QList<double>{1, 2} << lstClean;
    QTest::newRow("float32 NaN and infinities")
        << Block(Encode({1, kNaN, -kInf, kInf, 2}, EWaveFormat::Float32, EByteOrder::Little)) << false
        << EWaveFormat::Float32 << EByteOrder::Little << S::Samples << QList<double>{1, kNaN, -kInf, kInf, 2}
        << QList<qint64>{0, 0, 0, 3};
    QTest::newRow("int16 block of odd length") << QByteArray("#15\x01\x00\x02\x00\x03\n", 8) << false
                                               << EWaveFormat::Int16 << EByteOrder::Little << S::Samples
                                               << QList<double>{1, 2} << QList<qint64>{1, 0, 0, 0};
    QTest::newRow("block shorter than declared") << QByteArray("#18\x05\x06\x07\x08", 7) << false << EWaveFormat::Int8
                                                 << EByteOrder::Auto << S::Samples << QList<double>{5, 6, 7, 8}
                                                 << QList<qint64>{0, 4, 0, 0};
    QTest::newRow("one float32, one byte short") << QByteArray("#13\0\0\x80", 6) << false << EWaveFormat::Float32
                                                 << EByteOrder::Little << S::NoSamples << QList<double>{}
                                                 << QList<qint64>{3, 0, 0, 0};
    QTest::newRow("indefinite block") << QByteArray("#0\x01\x02\x0a\n", 6) << false << EWaveFormat::Int8
                                      << EByteOrder::Auto << S::Samples << QList<double>{1, 2, 10} << lstClean;
    QTest::newRow("malformed block header") << QByteArray("#4\x01\x02") << false << EWaveFormat::Auto
                                            << EByteOrder::Auto << S::BadBlock << QList<double>{} << lstClean;
    QTest::newRow("text, every separator") << QByteArray("1,2;3 4\t5\r\n") << false << EWaveFormat::Auto
                                           << EByteOrder::Auto << S::Samples << QList<double>{1, 2, 3, 4, 5}
                                           << lstClean;
    QTest::newRow("text, number forms") << QByteArray("+1.5E+00,-.25,7,1e-3") << false << EWaveFormat::Auto
                                        << EByteOrder::Auto << S::Samples << QList<double>{1.5, -0.25, 7, 0.001}
                                        << lstClean;
    QTest::newRow("text, NaN and infinities")
        << QByteArray("NaN,INF,-inf,9.91E37,-9.9E+37,1") << false << EWaveFormat::Auto << EByteOrder::Auto
        << S::Samples << QList<double>{kNaN, kInf, -kInf, kNaN, -kInf, 1} << QList<qint64>{0, 0, 0, 5};
    QByteArray baStray = "CURVE ";
    QList<double> lstStray;
    for (int n = 1; n <= 30; ++n) {
        baStray += QByteArray::number(n) + (n == 10 ? ",+-3," : n == 20 ? ",1e," : ",");
        lstStray << n;
    }
    QTest::newRow("text, a few stray words") << baStray << false << EWaveFormat::Auto << EByteOrder::Auto
                                             << S::Samples << lstStray << QList<qint64>{0, 0, 3, 0};
    QTest::newRow("text, words and numbers") << QByteArray("CURVE 1,2,+-3") << false << EWaveFormat::Auto
                                             << EByteOrder::Auto << S::NotNumbers << QList<double>{}
                                             << QList<qint64>{0, 0, 2, 0};
    QTest::newRow("text, mostly words") << QByteArray("TARNOVE,VQ-1,0") << false << EWaveFormat::Auto
                                        << EByteOrder::Auto << S::NotNumbers << QList<double>{}
                                        << QList<qint64>{0, 0, 2, 0};
    QTest::newRow("text, one number") << QByteArray("42\n") << false << EWaveFormat::Auto << EByteOrder::Auto
                                      << S::Samples << QList<double>{42} << lstClean;
    QTest::newRow("text, separators only") << QByteArray(" ,\n") << false << EWaveFormat::Auto << EByteOrder::Auto
                                           << S::NoSamples << QList<double>{} << lstClean;
    QTest::newRow("empty answer") << QByteArray("") << false << EWaveFormat::Auto << EByteOrder::Auto << S::Empty
                                  << QList<double>{} << lstClean;
    QTest::newRow("no answer yet") << QByteArray() << true << EWaveFormat::Auto << EByteOrder::Auto << S::NoAnswer
                                   << QList<double>{} << lstClean;
}

void TestWaveformCore::decode()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(bool, bNull);
    QFETCH(EWaveFormat, eFormat);
    QFETCH(EByteOrder, eOrder);
    QFETCH(CWaveformData::EStatus, eStatus);
    QFETCH(QList<double>, lstValues);
    QFETCH(QList<qint64>, lstCounts);

    CWaveformData data;
    data.SetAnswer(bNull ? nullptr : baAnswer.constData(), baAnswer.size());
    // The plug-in's copy is all it may use once the console's buffer is gone.
    baAnswer.fill('\xee');
    data.Decode(eFormat, eOrder);
    const CWaveformData::SReport& report = data.Report();
    QCOMPARE(report.eStatus, eStatus);
    QCOMPARE(data.Series().Count(), lstValues.size());
    for (int n = 0; n < lstValues.size(); ++n) {
        const double dGot = data.Series().Value(n);
        if (std::isnan(lstValues[n]))
            QVERIFY2(std::isnan(dGot), qPrintable(QString::number(n)));
        else
            QCOMPARE(dGot, lstValues[n]);
    }
    QCOMPARE(report.nTrailingBytes, lstCounts[0]);
    QCOMPARE(report.nMissingBytes, lstCounts[1]);
    QCOMPARE(report.nInvalidTokens, lstCounts[2]);
    QCOMPARE(report.nNonFinite, lstCounts[3]);
}

void TestWaveformCore::statistics_data()
{
    QTest::addColumn<bool>("bEnabled");
    QTest::addColumn<QList<double>>("lstScaling"); // offset, scale, origin
    QTest::addColumn<QList<double>>("lstExpected"); // min, max, mean, rms

    QTest::newRow("unscaled") << false << QList<double>{5, 5, 5} << QList<double>{1, 4, 2.5, std::sqrt(7.5)};
    QTest::newRow("offset, scale, origin") << true << QList<double>{2.5, 2, 10}
                                           << QList<double>{7, 13, 10, std::sqrt(105.0)};
    QTest::newRow("negative scale swaps the extremes") << true << QList<double>{0, -1, 0}
                                                       << QList<double>{-4, -1, -2.5, std::sqrt(7.5)};
    QTest::newRow("centred on zero") << true << QList<double>{2.5, 1, 0}
                                     << QList<double>{-1.5, 1.5, 0, std::sqrt(1.25)};
}

void TestWaveformCore::statistics()
{
    QFETCH(bool, bEnabled);
    QFETCH(QList<double>, lstScaling);
    QFETCH(QList<double>, lstExpected);
    CSampleSeries series;
    series.SetValues({1, kNaN, 2, 3, kInf, 4});
    SWaveScaling scaling;
    scaling.bEnabled = bEnabled;
    scaling.dOffset = lstScaling[0];
    scaling.dScale = lstScaling[1];
    scaling.dOrigin = lstScaling[2];
    const SStatistics stats = SStatistics::From(series.Aggregate(0, series.Count()), scaling);
    QCOMPARE(stats.nCount, 4);
    QCOMPARE(stats.dMin, lstExpected[0]);
    QCOMPARE(stats.dMax, lstExpected[1]);
    QVERIFY(std::fabs(stats.dMean - lstExpected[2]) < 1e-12);
    QVERIFY(std::fabs(stats.dRms - lstExpected[3]) < 1e-12);
}

void TestWaveformCore::decimationMatchesBruteForce_data()
{
    QTest::addColumn<int>("nCount");
    QTest::addColumn<double>("dFirst");
    QTest::addColumn<double>("dStep");
    QTest::addColumn<int>("nColumns");
    QTest::addColumn<bool>("bInt16"); // raw big-endian int16 samples instead of decoded doubles

    // Steps and starts are binary fractions, so the reference's arithmetic is exact too.
    QTest::newRow("one sample") << 1 << 0.0 << 0.5 << 4 << false;
    QTest::newRow("one block less one") << 63 << 0.0 << 1.0 << 63 << false;
    QTest::newRow("block edge, fractional step") << 65 << -0.25 << 3.75 << 20 << false;
    QTest::newRow("two levels, zoomed out past both ends") << 4097 << -512.0 << 64.5 << 100 << false;
    QTest::newRow("three levels, whole series") << 300000 << 0.0 << 300000.0 / 1024 << 1024 << false;
    QTest::newRow("three levels, off-centre zoom") << 300000 << 123456.75 << 17.25 << 997 << false;
    QTest::newRow("view beyond the end") << 1000 << 990.5 << 2.0 << 50 << false;
    QTest::newRow("int16, block edge") << 65 << -0.25 << 3.75 << 20 << true;
    QTest::newRow("int16, three levels, off-centre zoom") << 300000 << 123456.75 << 17.25 << 997 << true;
}

void TestWaveformCore::decimationMatchesBruteForce()
{
    QFETCH(int, nCount);
    QFETCH(double, dFirst);
    QFETCH(double, dStep);
    QFETCH(int, nColumns);
    QFETCH(bool, bInt16);

    QRandomGenerator rng(static_cast<quint32>(nCount));
    std::vector<double> lstValues(static_cast<size_t>(nCount));
    for (double& d : lstValues) {
        if (bInt16)
            d = static_cast<double>(rng.bounded(65536) - 32768);
        else
            d = rng.bounded(97) == 0 ? kNaN : rng.generateDouble() * 2000 - 1000;
    }
    const QByteArray baRaw = Encode(QList<double>(lstValues.begin(), lstValues.end()), EWaveFormat::Int16,
                                    EByteOrder::Big);
    CSampleSeries series;
    if (bInt16)
        series.SetRaw(baRaw.constData(), nCount, EWaveFormat::Int16, EByteOrder::Big);
    else
        series.SetValues(lstValues);

    std::vector<SAggregate> lstReference(static_cast<size_t>(nColumns));
    for (int i = 0; i < nCount; ++i) {
        const double dColumn = std::floor((i - dFirst) / dStep);
        if (dColumn >= 0 && dColumn < nColumns)
            lstReference[static_cast<size_t>(dColumn)].Add(lstValues[static_cast<size_t>(i)]);
    }
    std::vector<SAggregate> lstColumns;
    series.Decimate(dFirst, dStep, nColumns, lstColumns);
    QCOMPARE(lstColumns.size(), lstReference.size());
    for (int c = 0; c < nColumns; ++c) {
        const SAggregate& got = lstColumns[static_cast<size_t>(c)];
        const SAggregate& want = lstReference[static_cast<size_t>(c)];
        QVERIFY2(got.nCount == want.nCount, qPrintable(QStringLiteral("column %1").arg(c)));
        if (want.nCount > 0) {
            QCOMPARE(got.dMin, want.dMin);
            QCOMPARE(got.dMax, want.dMax);
        }
    }
    // Any range, not only column-shaped ones, against a plain sum.
    for (int n = 0; n < 40; ++n) {
        const qint64 nA = rng.bounded(nCount + 2) - 1;
        const qint64 nB = nA + rng.bounded(nCount + 2);
        SAggregate want;
        for (qint64 i = std::max<qint64>(nA, 0); i < std::min<qint64>(nB, nCount); ++i)
            want.Add(lstValues[static_cast<size_t>(i)]);
        const SAggregate got = series.Aggregate(nA, nB);
        QCOMPARE(got.nCount, want.nCount);
        QCOMPARE(got.dMin, want.dMin);
        QCOMPARE(got.dMax, want.dMax);
        QVERIFY(std::fabs(got.dSum - want.dSum) <= 1e-9 * (1 + std::fabs(want.dSumSq)));
    }
}

namespace {
qint64 ResidentBytes()
{
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(1).toLongLong() * 4096;
}
} // namespace

void TestWaveformCore::hugeAnswerIsKeptOnceAndCapped()
{
    // 1 GiB of untouched anonymous memory reads as zeros without occupying
    // any, so only what the plug-in copies shows up as resident.
    const qint64 nAnswer = 1ll << 30;
    void* pMap =
        mmap(nullptr, static_cast<size_t>(nAnswer), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    QVERIFY(pMap != MAP_FAILED);
    char* pAnswer = static_cast<char*>(pMap);
    std::memcpy(pAnswer, "#9999999992", 11);
    const qint64 nBefore = ResidentBytes();
    {
        CWaveformData data;
        data.SetAnswer(pAnswer, nAnswer);
        data.Decode(EWaveFormat::Auto, EByteOrder::Auto);
        const CWaveformData::SReport& report = data.Report();
        QCOMPARE(report.eStatus, CWaveformData::EStatus::Samples);
        QCOMPARE(report.nAnswerBytes, nAnswer);
        QCOMPARE(report.nKeptBytes, CWaveformData::kMaxKeptBytes);
        QCOMPARE(report.nMissingBytes, 0);
        QCOMPARE(data.Series().Count(), (CWaveformData::kMaxKeptBytes - 11) / SampleSize(report.eFormat));
        QCOMPARE(data.Series().Total().dMax, 0.0);
        const qint64 nGrowth = ResidentBytes() - nBefore;
        QVERIFY2(nGrowth < nAnswer * 3 / 4, qPrintable(QStringLiteral("grew by %1 bytes").arg(nGrowth)));
    }
    munmap(pMap, static_cast<size_t>(nAnswer));
}

void TestWaveformCore::csv()
{
    const QByteArray baAnswer = Block(Encode({1, kNaN, -kInf, 3.5}, EWaveFormat::Float64, EByteOrder::Big));
    CWaveformData data;
    data.SetAnswer(baAnswer.constData(), baAnswer.size());
    data.Decode(EWaveFormat::Float64, EByteOrder::Big);
    SWaveScaling scaling;
    scaling.bEnabled = true;
    scaling.dOffset = 1;
    scaling.dScale = 2;
    scaling.dDx = 0.5;
    scaling.dX0 = 10;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(data.WriteCsv(buffer, scaling));
    QCOMPARE(buffer.data(), QByteArray("index,x,y\n0,10,0\n1,10.5,nan\n2,11,-inf\n3,11.5,5\n"));
}

void TestWaveformCore::ticks_data()
{
    QTest::addColumn<double>("dLow");
    QTest::addColumn<double>("dHigh");
    QTest::addColumn<int>("nMax");
    QTest::addColumn<QStringList>("lstLabels");

    QTest::newRow("unit span") << 0.0 << 1.0 << 5 << QStringList{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"};
    QTest::newRow("thousands") << 0.0 << 1999.0 << 4 << QStringList{"0", "500", "1000", "1500"};
    QTest::newRow("millions") << -3e6 << 3e6 << 3 << QStringList{"-2e+06", "0", "2e+06"};
    QTest::newRow("microvolts") << 0.0 << 3e-5 << 3 << QStringList{"0", "1e-05", "2e-05", "3e-05"};
    QTest::newRow("reversed, crossing zero") << 12.1 << -3.7 << 4 << QStringList{"0", "5", "10"};
    QTest::newRow("tiny span on a large value")
        << 1000000.0 << 1000000.001 << 3 << QStringList{"1000000", "1000000.0005", "1000000.001"};
    QTest::newRow("empty span") << 3.0 << 3.0 << 5 << QStringList{};
    QTest::newRow("span below double precision") << 1e20 << 1e20 + 1e4 << 5 << QStringList{};
}

void TestWaveformCore::ticks()
{
    QFETCH(double, dLow);
    QFETCH(double, dHigh);
    QFETCH(int, nMax);
    QFETCH(QStringList, lstLabels);
    const std::vector<double> lstTicks = CAxisTicks::Nice(dLow, dHigh, nMax);
    QStringList lstGot;
    for (double d : lstTicks)
        lstGot << CAxisTicks::Label(d, lstTicks.size() > 1 ? lstTicks[1] - lstTicks[0] : 0);
    QCOMPARE(lstGot, lstLabels);
}

QTEST_GUILESS_MAIN(TestWaveformCore)
#include "tst_waveformcore.moc"
