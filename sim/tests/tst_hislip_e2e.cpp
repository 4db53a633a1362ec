// The VISA library over HiSLIP against bin/velqsim started on ephemeral ports:
// the contract a console relies on, plus clear, status, locks and hang-ups.
#include "SimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <visa.h>

namespace {

constexpr ViUInt32 kTimeOutMs = 20000;

} // namespace

class CHislipE2eTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void QueryIsLoggedByteForByte();
    void LargeMessagesSplitAndJoined();
    void DeviceClearMidAnswer();
    void StatusQueryReportsMav();
    void LockHeldByAnotherSession();
    void SharedLockAdmitsKeyHolders();
    void TimeOutThenNextQuery();
    void ServerHangsUp();
    void RefusedConnection();
    void PortInUseStillStarts();

private:
    ViSession OpenSession();
    ViStatus Write(ViSession vi, const QByteArray &ba);
    ViStatus Read(ViSession vi, ViUInt32 uCount, QByteArray *pData);
    QByteArray Query(ViSession vi, const QByteArray &ba);

    QTemporaryDir m_dir;
    CSimProcess m_sim;
    QByteArray m_baResource;
    ViSession m_viRM = VI_NULL;
    ViSession m_vi = VI_NULL;
};

void CHislipE2eTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(m_sim.Start({QStringLiteral("--log"), m_dir.filePath(QStringLiteral("wire.log"))}),
             qPrintable(m_sim.ErrorText()));
    m_baResource = m_sim.Resource(QStringLiteral("HISLIP"));
    QVERIFY2(m_baResource.contains("hislip0,"), m_baResource.constData());
    QCOMPARE(viOpenDefaultRM(&m_viRM), VI_SUCCESS);
}

void CHislipE2eTest::cleanupTestCase()
{
    viClose(m_viRM);
    m_sim.Stop();
}

void CHislipE2eTest::init()
{
    m_vi = OpenSession();
    QVERIFY(m_vi != VI_NULL);
}

void CHislipE2eTest::cleanup()
{
    if (m_vi != VI_NULL)
        viClose(m_vi);
    m_vi = VI_NULL;
}

ViSession CHislipE2eTest::OpenSession()
{
    ViSession vi = VI_NULL;
    const ViStatus viStatus = viOpen(m_viRM, m_baResource.constData(), VI_NO_LOCK, 20000, &vi);
    if (viStatus != VI_SUCCESS) {
        qWarning("viOpen %s: 0x%08x", m_baResource.constData(), static_cast<unsigned>(viStatus));
        return VI_NULL;
    }
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, kTimeOutMs);
    return vi;
}

ViStatus CHislipE2eTest::Write(ViSession vi, const QByteArray &ba)
{
    ViUInt32 uDone = 0;
    const ViStatus viStatus =
        viWrite(vi, reinterpret_cast<ViConstBuf>(ba.constData()), static_cast<ViUInt32>(ba.size()), &uDone);
    return viStatus == VI_SUCCESS && uDone != static_cast<ViUInt32>(ba.size()) ? VI_ERROR_IO : viStatus;
}

ViStatus CHislipE2eTest::Read(ViSession vi, ViUInt32 uCount, QByteArray *pData)
{
    QByteArray baBuf(static_cast<qsizetype>(uCount), '\0');
    ViUInt32 uGot = 0;
    const ViStatus viStatus = viRead(vi, reinterpret_cast<ViBuf>(baBuf.data()), uCount, &uGot);
    *pData = baBuf.left(static_cast<qsizetype>(qMin(uGot, uCount)));
    return viStatus;
}

QByteArray CHislipE2eTest::Query(ViSession vi, const QByteArray &ba)
{
    QByteArray baAnswer;
    if (Write(vi, ba) != VI_SUCCESS || Read(vi, 4096, &baAnswer) != VI_SUCCESS)
        return "<failed>";
    return baAnswer;
}

void CHislipE2eTest::QueryIsLoggedByteForByte()
{
    QCOMPARE(Query(m_vi, "*IDN?\n").count(','), 3);
    // END marks the message, so a query without a line feed is complete too.
    QVERIFY(Query(m_vi, "*IDN?").startsWith(Query(m_vi, "*IDN?\n").left(5)));
    QFile log(m_dir.filePath(QStringLiteral("wire.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lstLines = log.readAll().split('\n');
    QVERIFY(lstLines.contains(QByteArray("*IDN?\\n")));
    QVERIFY(lstLines.contains(QByteArray("*IDN?")));
}

void CHislipE2eTest::LargeMessagesSplitAndJoined()
{
    // Several times the 1 MiB message limit each way.
    const int nSize = 5 * 1024 * 1024 + 123;
    QByteArray baData(nSize, '\0');
    for (int i = 0; i < nSize; ++i)
        baData[i] = static_cast<char>((i * 31) ^ (i >> 8));
    const QByteArray baLength = QByteArray::number(nSize);
    const QByteArray baCommand = "MMEM:DATA \"big.bin\",#" + QByteArray::number(baLength.size()) + baLength + baData + "\n";
    QCOMPARE(Write(m_vi, baCommand), VI_SUCCESS);

    QCOMPARE(Write(m_vi, "MMEM:DATA? \"big.bin\"\n"), VI_SUCCESS);
    QByteArray baAnswer;
    QCOMPARE(Read(m_vi, static_cast<ViUInt32>(nSize + 64), &baAnswer), VI_SUCCESS);
    const QByteArray baHeader = "#" + QByteArray::number(baLength.size()) + baLength;
    QVERIFY(baAnswer.startsWith(baHeader));
    QCOMPARE(baAnswer.size(), baHeader.size() + nSize + 1);
    QVERIFY(baAnswer.mid(baHeader.size(), nSize) == baData);
    QCOMPARE(Query(m_vi, "SYST:ERR?\n"), QByteArray("0,\"No error\"\n"));
}

void CHislipE2eTest::DeviceClearMidAnswer()
{
    QCOMPARE(Write(m_vi, "TEST:BLOC? 50000000\n"), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(m_vi, 100000, &baGot), VI_SUCCESS_MAX_CNT);
    QVERIFY(baGot.startsWith("#850000000"));
    QCOMPARE(viClear(m_vi), VI_SUCCESS);
    // Nothing of the dropped answer may show up in front of the next one.
    QCOMPARE(Query(m_vi, "*OPC?\n"), QByteArray("1\n"));
}

void CHislipE2eTest::StatusQueryReportsMav()
{
    ViUInt16 uStb = 0xFFFF;
    QCOMPARE(viReadSTB(m_vi, &uStb), VI_SUCCESS);
    QCOMPARE(uStb & 0x10, 0);
    QCOMPARE(Write(m_vi, "*IDN?\n"), VI_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(viReadSTB(m_vi, &uStb) == VI_SUCCESS && (uStb & 0x10), 10000);
    QByteArray baAnswer;
    QCOMPARE(Read(m_vi, 4096, &baAnswer), VI_SUCCESS);
    // Reading the whole answer is reported with the next query, which clears MAV.
    QCOMPARE(viReadSTB(m_vi, &uStb), VI_SUCCESS);
    QCOMPARE(uStb & 0x10, 0);
    QCOMPARE(viGpibControlREN(m_vi, VI_GPIB_REN_ASSERT_ADDRESS), VI_SUCCESS);
    QCOMPARE(viGpibControlREN(m_vi, VI_GPIB_REN_ADDRESS_GTL), VI_SUCCESS);
}

void CHislipE2eTest::LockHeldByAnotherSession()
{
    const ViSession viOther = OpenSession();
    QVERIFY(viOther != VI_NULL);
    QCOMPARE(viLock(m_vi, VI_EXCLUSIVE_LOCK, 1000, VI_NULL, VI_NULL), VI_SUCCESS);
    QCOMPARE(viLock(m_vi, VI_EXCLUSIVE_LOCK, 1000, VI_NULL, VI_NULL), VI_SUCCESS_NESTED_EXCLUSIVE);
    QCOMPARE(viUnlock(m_vi), VI_SUCCESS);
    QCOMPARE(viLock(viOther, VI_EXCLUSIVE_LOCK, 200, VI_NULL, VI_NULL), VI_ERROR_TMO);
    // The other session's query waits on the server until the lock goes.
    QCOMPARE(Write(viOther, "*OPC?\n"), VI_SUCCESS);
    QCOMPARE(viSetAttribute(viOther, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
    QByteArray baAnswer;
    QCOMPARE(Read(viOther, 100, &baAnswer), VI_ERROR_TMO);
    QCOMPARE(Query(m_vi, "*OPC?\n"), QByteArray("1\n"));
    QCOMPARE(viUnlock(m_vi), VI_SUCCESS);
    QCOMPARE(viUnlock(m_vi), VI_ERROR_SESN_NLOCKED);
    QCOMPARE(viSetAttribute(viOther, VI_ATTR_TMO_VALUE, kTimeOutMs), VI_SUCCESS);
    QCOMPARE(Read(viOther, 100, &baAnswer), VI_SUCCESS);
    QCOMPARE(baAnswer, QByteArray("1\n"));
    // A lock dies with its session.
    QCOMPARE(viLock(viOther, VI_EXCLUSIVE_LOCK, 1000, VI_NULL, VI_NULL), VI_SUCCESS);
    viClose(viOther);
    QCOMPARE(viLock(m_vi, VI_EXCLUSIVE_LOCK, 10000, VI_NULL, VI_NULL), VI_SUCCESS);
    QCOMPARE(viUnlock(m_vi), VI_SUCCESS);
}

void CHislipE2eTest::SharedLockAdmitsKeyHolders()
{
    const ViSession viOther = OpenSession();
    const ViSession viThird = OpenSession();
    QVERIFY(viOther != VI_NULL && viThird != VI_NULL);
    ViChar szKey[VI_FIND_BUFLEN] = {};
    QCOMPARE(viLock(m_vi, VI_SHARED_LOCK, 1000, VI_NULL, szKey), VI_SUCCESS);
    QVERIFY(szKey[0] != '\0');
    ViChar szOtherKey[VI_FIND_BUFLEN] = {};
    QCOMPARE(viLock(viOther, VI_SHARED_LOCK, 1000, szKey, szOtherKey), VI_SUCCESS);
    QCOMPARE(QByteArray(szOtherKey), QByteArray(szKey));
    QCOMPARE(viLock(viOther, VI_SHARED_LOCK, 1000, "another key", szOtherKey), VI_ERROR_INV_ACCESS_KEY);
    QCOMPARE(viLock(viThird, VI_SHARED_LOCK, 200, "another key", szOtherKey), VI_ERROR_TMO);
    QCOMPARE(viLock(viThird, VI_EXCLUSIVE_LOCK, 200, VI_NULL, VI_NULL), VI_ERROR_TMO);
    QCOMPARE(Query(viOther, "*OPC?\n"), QByteArray("1\n"));
    QCOMPARE(viUnlock(viOther), VI_SUCCESS);
    QCOMPARE(viUnlock(m_vi), VI_SUCCESS);
    QCOMPARE(viLock(viThird, VI_EXCLUSIVE_LOCK, 5000, VI_NULL, VI_NULL), VI_SUCCESS);
    viClose(viThird);
    viClose(viOther);
}

void CHislipE2eTest::TimeOutThenNextQuery()
{
    QCOMPARE(Write(m_vi, "TEST:DEL 5000;*IDN?\n"), VI_SUCCESS);
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
    QByteArray baAnswer;
    QCOMPARE(Read(m_vi, 4096, &baAnswer), VI_ERROR_TMO);
    QCOMPARE(baAnswer, QByteArray());
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, kTimeOutMs), VI_SUCCESS);
    // The late identity must not be taken for the answer to this query.
    QCOMPARE(Query(m_vi, "*OPC?\n"), QByteArray("1\n"));
    QTest::qWait(5100);
    QCOMPARE(Query(m_vi, "*OPC?\n"), QByteArray("1\n"));
}

void CHislipE2eTest::ServerHangsUp()
{
    QCOMPARE(Write(m_vi, "TEST:HANG 5\n"), VI_SUCCESS);
    QByteArray baAnswer;
    const ViStatus viStatus = Read(m_vi, 100, &baAnswer);
    QVERIFY2(viStatus == VI_ERROR_CONN_LOST || viStatus == VI_ERROR_IO, qPrintable(QString::number(viStatus, 16)));
    QCOMPARE(baAnswer.size(), 5);
    QCOMPARE(Write(m_vi, "*IDN?\n"), VI_ERROR_CONN_LOST);
    QCOMPARE(Read(m_vi, 100, &baAnswer), VI_ERROR_CONN_LOST);
}

void CHislipE2eTest::RefusedConnection()
{
    // The SOCKET server's port speaks no HiSLIP; a closed port refuses outright.
    ViSession vi = VI_NULL;
    const QByteArray baWrongPeer = "TCPIP0::127.0.0.1::hislip0," + QByteArray::number(m_sim.SocketPort()) + "::INSTR";
    QElapsedTimer timer;
    timer.start();
    const ViStatus viStatus = viOpen(m_viRM, baWrongPeer.constData(), VI_NO_LOCK, 2000, &vi);
    QVERIFY(viStatus < 0);
    QCOMPARE(vi, ViSession(VI_NULL));
    QVERIFY(timer.elapsed() < 15000);
}

void CHislipE2eTest::PortInUseStillStarts()
{
    // A second simulator cannot have the first one's HiSLIP port; it says so
    // and serves everything else.
    CSimProcess second;
    QVERIFY2(second.Start({QStringLiteral("--hislip-port"),
                           QString::number(m_sim.Port(QStringLiteral("HISLIP")))}),
             qPrintable(second.ErrorText()));
    QCOMPARE(second.Port(QStringLiteral("HISLIP")), quint16(0));
    QVERIFY(second.SocketPort() != 0);
    second.Stop();
}

QTEST_GUILESS_MAIN(CHislipE2eTest)
#include "tst_hislip_e2e.moc"
