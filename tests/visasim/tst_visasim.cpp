// The VISA library's SOCKET transport against the real simulator: the reads a
// console makes, with the simulator's own framing, delays and hang-ups.
#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTest>

#include <visa.h>

#include <atomic>
#include <thread>

namespace {

constexpr ViUInt32 kTimeOutMs = 20000;

struct CReadStep
{
    ViStatus viStatus;
    ViUInt32 uCount;
};

} // namespace

Q_DECLARE_METATYPE(QList<CReadStep>)

class TestVisaSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void readSequence_data();
    void readSequence();
    void timeOutKeepsPartialCount_data();
    void timeOutKeepsPartialCount();
    void peerHangsUpMidAnswer();
    void closeWakesBlockedRead();

private:
    bool Write(const QByteArray& baData);
    CSimProcess m_sim;
    ViSession m_viRM = VI_NULL;
    ViSession m_vi = VI_NULL;
};

void TestVisaSim::initTestCase()
{
    QVERIFY2(m_sim.Start(), qPrintable(m_sim.ErrorText()));
    QCOMPARE(viOpenDefaultRM(&m_viRM), VI_SUCCESS);
}

void TestVisaSim::cleanupTestCase()
{
    viClose(m_viRM);
}

void TestVisaSim::init()
{
    m_vi = VI_NULL;
    QCOMPARE(viOpen(m_viRM, m_sim.SocketResource().constData(), VI_NO_LOCK, 10000, &m_vi), VI_SUCCESS);
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, kTimeOutMs), VI_SUCCESS);
}

void TestVisaSim::cleanup()
{
    if (m_vi != VI_NULL)
        viClose(m_vi);
    m_vi = VI_NULL;
}

bool TestVisaSim::Write(const QByteArray& baData)
{
    ViUInt32 uWritten = 0;
    const ViStatus viStatus =
        viWrite(m_vi, reinterpret_cast<ViConstBuf>(baData.constData()), static_cast<ViUInt32>(baData.size()), &uWritten);
    return viStatus == VI_SUCCESS && uWritten == static_cast<ViUInt32>(baData.size());
}

void TestVisaSim::readSequence_data()
{
    QTest::addColumn<QByteArray>("baWrite");
    QTest::addColumn<int>("nBuffer");
    QTest::addColumn<QList<CReadStep>>("lstSteps");
    QTest::addColumn<QByteArray>("baExpected");

    const ViStatus kMax = VI_SUCCESS_MAX_CNT;
    const ViStatus kTerm = VI_SUCCESS_TERM_CHAR;

    const QByteArray baText = QByteArray();
    QTest::newRow("3000 bytes through 1024") << QByteArray("TEST:TEXT? 2999\n") << 1024
                                             << QList<CReadStep>{{kMax, 1024}, {kMax, 1024}, {kTerm, 952}}
                                             << baText;

    QByteArray baBlock("#41024");
    for (int n = 0; n < 1024; ++n)
        baBlock.append(static_cast<char>(n % 256));
    baBlock.append('\n');
    QTest::newRow("block with LF and NUL") << QByteArray("TEST:BLOC? 1024\n") << 4096
                                           << QList<CReadStep>{{kTerm, 1031}} << baBlock;
    QTest::newRow("block split across reads") << QByteArray("TEST:BLOC? 1024\n") << 500
                                              << QList<CReadStep>{{kMax, 500}, {kMax, 500}, {kTerm, 31}} << baBlock;
    // The split lands right after the header, so the next read starts with 0x00 0x01 ... 0x0A.
    QTest::newRow("split after the header") << QByteArray("TEST:BLOC? 1024\n") << 6
                                            << QList<CReadStep>{} << baBlock;
    QTest::newRow("two answers in one segment") << QByteArray("*OPC?\n*OPC?\n") << 1024
                                                << QList<CReadStep>{{kTerm, 2}, {kTerm, 2}} << QByteArray("1\n1\n");
}

void TestVisaSim::readSequence()
{
    QFETCH(QByteArray, baWrite);
    QFETCH(int, nBuffer);
    QFETCH(QList<CReadStep>, lstSteps);
    QFETCH(QByteArray, baExpected);

    QVERIFY(Write(baWrite));
    QByteArray baBuffer(nBuffer, '\0');
    QByteArray baAll;
    if (lstSteps.isEmpty()) {
        // Read until the message ends; every read but the last must fill the buffer.
        ViStatus viStatus = VI_SUCCESS_MAX_CNT;
        int nRounds = 0;
        do {
            ViUInt32 uCount = 0;
            viStatus = viRead(m_vi, reinterpret_cast<ViBuf>(baBuffer.data()), static_cast<ViUInt32>(nBuffer), &uCount);
            baAll.append(baBuffer.constData(), static_cast<int>(uCount));
            if (viStatus == VI_SUCCESS_MAX_CNT)
                QCOMPARE(uCount, static_cast<ViUInt32>(nBuffer));
        } while (viStatus == VI_SUCCESS_MAX_CNT && ++nRounds < 100000);
        QCOMPARE(viStatus, VI_SUCCESS_TERM_CHAR);
    }
    for (const CReadStep& step : lstSteps) {
        ViUInt32 uCount = 0;
        const ViStatus viStatus =
            viRead(m_vi, reinterpret_cast<ViBuf>(baBuffer.data()), static_cast<ViUInt32>(nBuffer), &uCount);
        QCOMPARE(viStatus, step.viStatus);
        QCOMPARE(uCount, step.uCount);
        baAll.append(baBuffer.constData(), static_cast<int>(uCount));
    }
    if (!baExpected.isEmpty())
        QCOMPARE(baAll, baExpected);
    else
        QVERIFY(!baAll.left(baAll.size() - 1).contains('\n'));
}

void TestVisaSim::timeOutKeepsPartialCount_data()
{
    QTest::addColumn<bool>("bTermChar");
    QTest::addColumn<QByteArray>("baWrite");
    QTest::addColumn<ViUInt32>("uFirstCount");
    QTest::addColumn<QByteArray>("baRest");

    // Without the termination character a stream read only ends on count or time-out.
    QTest::newRow("no terminator: partial count") << false << QByteArray("TEST:TEXT? 100\n") << ViUInt32(101)
                                                  << QByteArray();
    // A delayed answer is not lost by the time-out: it arrives with the next read.
    QTest::newRow("delayed answer") << true << QByteArray("TEST:DEL 5000;*OPC?\n") << ViUInt32(0)
                                    << QByteArray("1\n");
}

void TestVisaSim::timeOutKeepsPartialCount()
{
    QFETCH(bool, bTermChar);
    QFETCH(QByteArray, baWrite);
    QFETCH(ViUInt32, uFirstCount);
    QFETCH(QByteArray, baRest);

    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TERMCHAR_EN, bTermChar ? VI_TRUE : VI_FALSE), VI_SUCCESS);
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
    QVERIFY(Write(baWrite));

    QByteArray baBuffer(4096, '\0');
    ViUInt32 uCount = 12345;
    QCOMPARE(viRead(m_vi, reinterpret_cast<ViBuf>(baBuffer.data()), 4096, &uCount), VI_ERROR_TMO);
    // On a loaded machine the answer may come in pieces over several time-outs.
    ViUInt32 uTotal = uCount;
    const QDeadlineTimer deadline(30000);
    while (uTotal < uFirstCount && !deadline.hasExpired()) {
        QCOMPARE(viRead(m_vi, reinterpret_cast<ViBuf>(baBuffer.data() + uTotal), 4096 - uTotal, &uCount),
                 VI_ERROR_TMO);
        uTotal += uCount;
    }
    QCOMPARE(uTotal, uFirstCount);
    if (uFirstCount > 0) {
        QCOMPARE(baBuffer.at(static_cast<int>(uFirstCount) - 1), '\n');
        QVERIFY(!baBuffer.left(static_cast<int>(uFirstCount) - 1).contains('\n'));
    }

    if (!baRest.isEmpty()) {
        QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, kTimeOutMs), VI_SUCCESS);
        QCOMPARE(viRead(m_vi, reinterpret_cast<ViBuf>(baBuffer.data()), 4096, &uCount), VI_SUCCESS_TERM_CHAR);
        QCOMPARE(baBuffer.left(static_cast<int>(uCount)), baRest);
    }
}

void TestVisaSim::peerHangsUpMidAnswer()
{
    QVERIFY(Write("TEST:HANG 10\n"));
    QByteArray baBuffer(1024, '\0');
    QByteArray baAll;
    ViStatus viStatus = VI_SUCCESS;
    for (int n = 0; n < 20; ++n) {
        ViUInt32 uCount = 0;
        viStatus = viRead(m_vi, reinterpret_cast<ViBuf>(baBuffer.data()), 1024, &uCount);
        baAll.append(baBuffer.constData(), static_cast<int>(uCount));
        if (viStatus < VI_SUCCESS)
            break;
    }
    QCOMPARE(viStatus, VI_ERROR_CONN_LOST);
    QCOMPARE(baAll.size(), 10);

    // The session stays a valid handle that fails promptly, without waiting for the time-out.
    QElapsedTimer timer;
    timer.start();
    ViUInt32 uCount = 0;
    QVERIFY(viRead(m_vi, reinterpret_cast<ViBuf>(baBuffer.data()), 1024, &uCount) < VI_SUCCESS);
    QVERIFY(timer.elapsed() < qint64(kTimeOutMs) / 2);
    QCOMPARE(uCount, 0u);
}

void TestVisaSim::closeWakesBlockedRead()
{
    QVERIFY(Write("TEST:DEL 60000;*OPC?\n"));
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, 120000), VI_SUCCESS);

    std::atomic<ViStatus> viStatus{VI_SUCCESS};
    std::atomic<bool> bStarted{false};
    std::atomic<bool> bDone{false};
    const ViSession vi = m_vi;
    std::thread reader([&] {
        char szBuffer[256];
        ViUInt32 uCount = 0;
        bStarted = true;
        viStatus = viRead(vi, reinterpret_cast<ViBuf>(szBuffer), sizeof szBuffer, &uCount);
        bDone = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(bStarted.load(), 10000);
    // Give the read a moment to block; the close must end it either way.
    QTest::qWait(200);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(viClose(m_vi) >= VI_SUCCESS);
    m_vi = VI_NULL;
    QTRY_VERIFY_WITH_TIMEOUT(bDone.load(), 30000);
    reader.join();
    QVERIFY2(timer.elapsed() < 30000, "closing did not wake the reader");
    QVERIFY(viStatus.load() < VI_SUCCESS);
}

QTEST_GUILESS_MAIN(TestVisaSim)
#include "tst_visasim.moc"
