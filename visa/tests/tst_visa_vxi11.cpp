// The VXI-11 client of libvelqvisa against velqsim (every server on an
// ephemeral port, the portmapper included), and against a fake server that
// answers device_read with broken or hostile records.
#include "SimProcess.h"
#include "loopback_listener.h"
#include "rpc_message.h"
#include "vxi11_proto.h"

#include <visa.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

constexpr ViUInt32 kTmo = 10000;

QByteArray Ramp(int n)
{
    QByteArray ba(n, '\0');
    for (int i = 0; i < n; ++i)
        ba[i] = char(i & 0xFF);
    return ba;
}

// The expected answer to TEST:BLOCk? n.
QByteArray BlockAnswer(int n)
{
    const QByteArray baLen = QByteArray::number(n);
    return "#" + QByteArray::number(baLen.size()) + baLen + Ramp(n) + "\n";
}

// A one-connection-at-a-time RPC peer: answers GETPORT with its own port,
// create_link and device_write sanely, and device_read with whatever bytes
// the test hands it (sent raw, record marks included), or not at all.
class CFakeVxi11Server
{
public:
    explicit CFakeVxi11Server(QByteArray baReadReply, bool bStall = false, int nReplyDelayMs = 0)
        : m_baReadReply(std::move(baReadReply)), m_bStall(bStall), m_nReplyDelayMs(nReplyDelayMs)
    {
        m_nListen = ListenOnLoopback(8, &m_uPort);
        m_thread = std::thread([this] { Run(); });
    }
    ~CFakeVxi11Server()
    {
        m_bStop = true;
        m_thread.join();
        ::close(m_nListen);
    }
    quint16 Port() const { return m_uPort; }

private:
    void Run()
    {
        while (!m_bStop) {
            pollfd pfd{m_nListen, POLLIN, 0};
            if (::poll(&pfd, 1, 100) <= 0)
                continue;
            const int nFd = ::accept(m_nListen, nullptr, nullptr);
            if (nFd >= 0) {
                Serve(nFd);
                ::close(nFd);
            }
        }
    }

    void Serve(int nFd)
    {
        rpc_record_assembler assembler(1 << 20);
        uint8_t buf[65536];
        while (!m_bStop) {
            pollfd pfd{nFd, POLLIN, 0};
            if (::poll(&pfd, 1, 100) <= 0)
                continue;
            const ssize_t n = ::recv(nFd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            size_t nPos = 0;
            while (nPos < size_t(n)) {
                size_t nUsed = 0;
                const auto eRes = assembler.feed(buf + nPos, size_t(n) - nPos, &nUsed);
                nPos += nUsed;
                if (eRes != rpc_record_assembler::record_ready)
                    break;
                const xdr_bytes call = assembler.take();
                rpc_call_info info;
                if (rpc_decode_call(call, &info) != rpc_ok)
                    return;
                xdr_bytes reply;
                if (info.h.prog == pmap_prog) {
                    xdr_writer w;
                    w.put_u32(m_uPort);
                    reply = rpc_encode_reply(info.h.xid, w.buf);
                } else if (info.h.proc == vxi11_create_link) {
                    reply = rpc_encode_reply(info.h.xid, vxi11_encode(vxi11_create_link_resp{0, 1, 0, 1024}));
                } else if (info.h.proc == vxi11_device_write) {
                    xdr_reader r(call.data() + info.args_offset, call.size() - info.args_offset);
                    vxi11_write_parms wp;
                    vxi11_decode(r, &wp, 1 << 20);
                    reply = rpc_encode_reply(info.h.xid, vxi11_encode(vxi11_write_resp{0, uint32_t(wp.size)}));
                } else if (info.h.proc == vxi11_device_read) {
                    if (m_bStall)
                        continue;
                    std::this_thread::sleep_for(std::chrono::milliseconds(m_nReplyDelayMs));
                    QByteArray ba = m_baReadReply;
                    // "XID!" marks where the call's own xid goes.
                    const int nAt = ba.indexOf("XID!");
                    if (nAt >= 0) {
                        const uint32_t x = htonl(info.h.xid);
                        ba.replace(nAt, 4, QByteArray(reinterpret_cast<const char*>(&x), 4));
                    }
                    ::send(nFd, ba.constData(), size_t(ba.size()), MSG_NOSIGNAL);
                    if (ba.isEmpty())
                        return; // hang up instead of answering
                    continue;
                } else {
                    reply = rpc_encode_reply(info.h.xid, vxi11_encode_error(0));
                }
                const xdr_bytes rec = rpc_record_encode(reply);
                ::send(nFd, rec.data(), rec.size(), MSG_NOSIGNAL);
            }
        }
    }

    QByteArray m_baReadReply;
    bool m_bStall;
    int m_nReplyDelayMs;
    int m_nListen = -1;
    quint16 m_uPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

} // namespace

class CVisaVxi11Test : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void ReadStatus_data();
    void ReadStatus();
    void TermCharSplitsAnswer();
    void LongWriteArrivesAsOneMessage();
    void ClearAndStatusByte();
    void Locks();
    void LockReleasedWhenSessionCloses();
    void TimeOutThenLateAnswer();
    void CloseFromAnotherThreadEndsBlockedRead();
    void UnknownDeviceName();
    void ServerHangsUp();
    void HostileReply_data();
    void HostileReply();
    void ServerGoesAway();

private:
    ViSession Open(const QByteArray& baRsrc = "TCPIP0::127.0.0.1::INSTR", ViStatus* pStatus = nullptr);
    ViStatus Write(ViSession vi, const QByteArray& ba);
    ViStatus Read(ViSession vi, ViUInt32 nCnt, QByteArray& baOut);

    CSimProcess m_sim;
    QTemporaryDir m_tmp;
    QString m_strLog;
    ViSession m_rm = VI_NULL;
    ViSession m_vi = VI_NULL;
};

void CVisaVxi11Test::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_strLog = m_tmp.filePath(QStringLiteral("wire.log"));
    QVERIFY2(m_sim.Start({QStringLiteral("--log"), m_strLog}), qPrintable(m_sim.ErrorText()));
    QVERIFY2(m_sim.Port(QStringLiteral("PORTMAPPER")) != 0, "velqsim printed no PORTMAPPER line");
    qputenv("VELQ_VXI11_PORTMAPPER_PORT", QByteArray::number(m_sim.Port(QStringLiteral("PORTMAPPER"))));
    QCOMPARE(viOpenDefaultRM(&m_rm), VI_SUCCESS);
}

void CVisaVxi11Test::cleanupTestCase()
{
    if (m_rm)
        viClose(m_rm);
    m_sim.Stop();
}

void CVisaVxi11Test::init()
{
    m_vi = Open();
    QVERIFY(m_vi != VI_NULL);
}

void CVisaVxi11Test::cleanup()
{
    if (m_vi)
        viClose(m_vi);
    m_vi = VI_NULL;
}

ViSession CVisaVxi11Test::Open(const QByteArray& baRsrc, ViStatus* pStatus)
{
    ViSession vi = VI_NULL;
    const ViStatus st = viOpen(m_rm, baRsrc.constData(), VI_NULL, kTmo, &vi);
    if (pStatus)
        *pStatus = st;
    if (st < VI_SUCCESS)
        return VI_NULL;
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, kTmo);
    return vi;
}

ViStatus CVisaVxi11Test::Write(ViSession vi, const QByteArray& ba)
{
    ViUInt32 nRet = 0;
    const ViStatus st = viWrite(vi, reinterpret_cast<ViConstBuf>(ba.constData()), ViUInt32(ba.size()), &nRet);
    if (st == VI_SUCCESS && nRet != ViUInt32(ba.size()))
        return VI_ERROR_IO;
    return st;
}

ViStatus CVisaVxi11Test::Read(ViSession vi, ViUInt32 nCnt, QByteArray& baOut)
{
    baOut.resize(int(nCnt));
    ViUInt32 nRet = 0;
    const ViStatus st = viRead(vi, reinterpret_cast<ViBuf>(baOut.data()), nCnt, &nRet);
    baOut.resize(int(nRet));
    return st;
}

// Every way a read ends. The client asks for at most 8 MiB per device_read,
// so the 8 MiB rows put END exactly on, and one byte past, a chunk boundary.
void CVisaVxi11Test::ReadStatus_data()
{
    QTest::addColumn<QByteArray>("baCommand");
    QTest::addColumn<int>("nCnt");
    QTest::addColumn<bool>("bTermEn");
    QTest::addColumn<int>("eStatus");
    QTest::addColumn<QByteArray>("baExpected");

    const int nChunk = 8 << 20;
    const int nExact = nChunk - 10; // "#7" + 7 digits + data + LF = 8 MiB
    QTest::newRow("END") << QByteArray("TEST:BLOC? 1000\n") << 4096 << false << int(VI_SUCCESS)
                         << BlockAnswer(1000);
    QTest::newRow("END on the termination character: END wins")
        << QByteArray("*OPC?\n") << 4096 << true << int(VI_SUCCESS) << QByteArray("1\n");
    QTest::newRow("buffer filled exactly by the whole answer")
        << QByteArray("TEST:BLOC? 100\n") << 106 << false << int(VI_SUCCESS) << BlockAnswer(100);
    QTest::newRow("buffer one short") << QByteArray("TEST:BLOC? 100\n") << 105 << false
                                      << int(VI_SUCCESS_MAX_CNT) << BlockAnswer(100).left(105);
    QTest::newRow("termination character inside a block")
        << QByteArray("TEST:BLOC? 300\n") << 4096 << true << int(VI_SUCCESS_TERM_CHAR)
        << BlockAnswer(300).left(5 + 11);
    QTest::newRow("END exactly on the chunk boundary")
        << QByteArray("TEST:BLOC? " + QByteArray::number(nExact) + "\n") << nChunk + 100 << false
        << int(VI_SUCCESS) << BlockAnswer(nExact);
    QTest::newRow("END one byte past the chunk boundary")
        << QByteArray("TEST:BLOC? " + QByteArray::number(nExact + 1) + "\n") << nChunk + 100 << false
        << int(VI_SUCCESS) << BlockAnswer(nExact + 1);
    QTest::newRow("count equals the chunk and the answer")
        << QByteArray("TEST:BLOC? " + QByteArray::number(nExact) + "\n") << nChunk << false << int(VI_SUCCESS)
        << BlockAnswer(nExact);
    QTest::newRow("nothing to read") << QByteArray() << 100 << false << int(VI_ERROR_TMO) << QByteArray();
}

void CVisaVxi11Test::ReadStatus()
{
    QFETCH(QByteArray, baCommand);
    QFETCH(int, nCnt);
    QFETCH(bool, bTermEn);
    QFETCH(int, eStatus);
    QFETCH(QByteArray, baExpected);

    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TERMCHAR_EN, bTermEn ? VI_TRUE : VI_FALSE), VI_SUCCESS);
    if (baCommand.isEmpty())
        QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
    else
        QCOMPARE(Write(m_vi, baCommand), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(m_vi, ViUInt32(nCnt), baGot), ViStatus(eStatus));
    QCOMPARE(baGot.size(), baExpected.size());
    QVERIFY(baGot == baExpected);
}

// The server stops at the termination character in the middle of its
// answer; the rest must come with the following reads, in order.
void CVisaVxi11Test::TermCharSplitsAnswer()
{
    QByteArray baIdn;
    QCOMPARE(Write(m_vi, "*IDN?\n"), VI_SUCCESS);
    QCOMPARE(Read(m_vi, 1000, baIdn), VI_SUCCESS);
    QVERIFY(baIdn.count(',') == 3);

    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    QCOMPARE(Write(m_vi, "*IDN?\n"), VI_SUCCESS);
    QByteArray baAll, baPart;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(Read(m_vi, 1000, baPart), VI_SUCCESS_TERM_CHAR);
        QVERIFY(baPart.endsWith(','));
        baAll += baPart;
    }
    ViUInt16 uStb = 0;
    QCOMPARE(viReadSTB(m_vi, &uStb), VI_SUCCESS);
    QVERIFY2(uStb & 0x10, "MAV must stay set while part of the answer is unread");
    QCOMPARE(Read(m_vi, 1000, baPart), VI_SUCCESS);
    QCOMPARE(baAll + baPart, baIdn);
}

// 5000 bytes go out in chunks of maxRecvSize (1024) with END on the last
// one only: the simulator must see exactly one program message.
void CVisaVxi11Test::LongWriteArrivesAsOneMessage()
{
    QByteArray baCmd = "*ESE 4";
    while (baCmd.size() < 4990)
        baCmd += ";*ESE 4";
    baCmd += ";*ESE?\n";
    QCOMPARE(Write(m_vi, baCmd), VI_SUCCESS);
    QByteArray baAns;
    QCOMPARE(Read(m_vi, 100, baAns), VI_SUCCESS);
    QCOMPARE(baAns, QByteArray("4\n"));

    QFile log(m_strLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray baLog = log.readAll();
    QByteArray baEscaped = baCmd;
    baEscaped.replace("\n", "\\n");
    QVERIFY2(baLog.contains("\n" + baEscaped + "\n") || baLog.startsWith(baEscaped + "\n"),
             "the long write did not arrive as one message");
}

void CVisaVxi11Test::ClearAndStatusByte()
{
    ViUInt16 uStb = 0xFFFF;
    QCOMPARE(viReadSTB(m_vi, &uStb), VI_SUCCESS);
    QCOMPARE(uStb & 0x10, 0);
    QCOMPARE(Write(m_vi, "*IDN?\n"), VI_SUCCESS);
    QCOMPARE(viReadSTB(m_vi, &uStb), VI_SUCCESS);
    QCOMPARE(uStb & 0x10, 0x10);
    QCOMPARE(viClear(m_vi), VI_SUCCESS);
    QCOMPARE(viReadSTB(m_vi, &uStb), VI_SUCCESS);
    QCOMPARE(uStb & 0x10, 0);
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(m_vi, 100, baGot), VI_ERROR_TMO);
    QCOMPARE(viGpibControlREN(m_vi, VI_GPIB_REN_ASSERT_ADDRESS), VI_SUCCESS);
    QCOMPARE(viGpibControlREN(m_vi, VI_GPIB_REN_ADDRESS_GTL), VI_SUCCESS);
    QCOMPARE(viGpibControlREN(m_vi, 7), VI_ERROR_INV_MODE);
}

void CVisaVxi11Test::Locks()
{
    const ViSession vi2 = Open();
    QVERIFY(vi2 != VI_NULL);
    QCOMPARE(viLock(m_vi, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    QCOMPARE(viLock(m_vi, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS_NESTED_EXCLUSIVE);

    QCOMPARE(Write(vi2, "*IDN?\n"), VI_ERROR_RSRC_LOCKED);
    ViUInt16 uStb = 0;
    QCOMPARE(viReadSTB(vi2, &uStb), VI_ERROR_RSRC_LOCKED);
    QCOMPARE(viLock(vi2, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_RSRC_LOCKED);
    QCOMPARE(viLock(vi2, VI_EXCLUSIVE_LOCK, 200, VI_NULL, VI_NULL), VI_ERROR_TMO);
    QCOMPARE(viUnlock(vi2), VI_ERROR_SESN_NLOCKED);

    // The owner keeps working; one unlock of two keeps the lock.
    QCOMPARE(Write(m_vi, "*OPC?\n"), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(m_vi, 100, baGot), VI_SUCCESS);
    QCOMPARE(viUnlock(m_vi), VI_SUCCESS);
    QCOMPARE(Write(vi2, "*IDN?\n"), VI_ERROR_RSRC_LOCKED);

    // A waiting lock is granted once the owner lets go.
    std::thread unlocker([this] {
        QThread::msleep(300);
        viUnlock(m_vi);
    });
    const ViStatus st = viLock(vi2, VI_EXCLUSIVE_LOCK, 20000, VI_NULL, VI_NULL);
    unlocker.join();
    QCOMPARE(st, VI_SUCCESS);
    QCOMPARE(Write(m_vi, "*IDN?\n"), VI_ERROR_RSRC_LOCKED);
    QCOMPARE(viUnlock(vi2), VI_SUCCESS);
    QCOMPARE(viUnlock(vi2), VI_ERROR_SESN_NLOCKED);
    QCOMPARE(viLock(vi2, VI_SHARED_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_INV_LOCK_TYPE);
    viClose(vi2);
}

void CVisaVxi11Test::LockReleasedWhenSessionCloses()
{
    const ViSession vi2 = Open();
    QVERIFY(vi2 != VI_NULL);
    QCOMPARE(viLock(vi2, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    QCOMPARE(Write(m_vi, "*OPC?\n"), VI_ERROR_RSRC_LOCKED);
    QCOMPARE(viClose(vi2), VI_SUCCESS);
    QCOMPARE(Write(m_vi, "*OPC?\n"), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(m_vi, 100, baGot), VI_SUCCESS);
}

// The server times the read out (error 15); the answer, once ready, is not
// lost and the link stays usable.
void CVisaVxi11Test::TimeOutThenLateAnswer()
{
    QCOMPARE(Write(m_vi, "TEST:DELay 5000\n"), VI_SUCCESS);
    QCOMPARE(Write(m_vi, "*OPC?\n"), VI_SUCCESS);
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, 200), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(m_vi, 100, baGot), VI_ERROR_TMO);
    QCOMPARE(baGot.size(), 0);
    QCOMPARE(viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, 20000), VI_SUCCESS);
    QCOMPARE(Read(m_vi, 100, baGot), VI_SUCCESS);
    QCOMPARE(baGot, QByteArray("1\n"));
    QCOMPARE(Write(m_vi, "TEST:DELay 0\n"), VI_SUCCESS);
}

void CVisaVxi11Test::CloseFromAnotherThreadEndsBlockedRead()
{
    const ViSession vi = m_vi;
    QCOMPARE(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 60000), VI_SUCCESS);
    std::atomic<ViStatus> readStatus{VI_SUCCESS};
    QElapsedTimer timer;
    timer.start();
    std::thread reader([&] {
        char buf[64];
        ViUInt32 nRet = 0;
        readStatus = viRead(vi, reinterpret_cast<ViBuf>(buf), sizeof buf, &nRet);
    });
    QThread::msleep(300);
    const ViStatus stClose = viClose(vi);
    reader.join();
    m_vi = VI_NULL;
    QVERIFY2(timer.elapsed() < 30000, "viClose did not end the blocked read");
    QVERIFY(stClose >= VI_SUCCESS);
    QVERIFY(readStatus < VI_SUCCESS);
}

void CVisaVxi11Test::UnknownDeviceName()
{
    ViStatus st = VI_SUCCESS;
    QCOMPARE(Open("TCPIP0::127.0.0.1::nosuchdev::INSTR", &st), ViSession(VI_NULL));
    QCOMPARE(st, VI_ERROR_RSRC_NFOUND);
    const ViSession vi = Open("TCPIP0::127.0.0.1::inst0::INSTR", &st);
    QCOMPARE(st, VI_SUCCESS);
    viClose(vi);
}

void CVisaVxi11Test::ServerHangsUp()
{
    QCOMPARE(Write(m_vi, "TEST:HANGup 10\n"), VI_SUCCESS);
    QByteArray baGot, baPart;
    ViStatus st = VI_SUCCESS;
    QString strTrace;
    for (int i = 0; i < 4 && st >= VI_SUCCESS; ++i) {
        st = Read(m_vi, 100, baPart);
        baGot += baPart;
        strTrace += QStringLiteral("%1:%2 ").arg(st, 0, 16).arg(baPart.size());
    }
    QVERIFY2(st == VI_ERROR_CONN_LOST && baGot.size() == 10, qPrintable(strTrace));
    QCOMPARE(Write(m_vi, "*IDN?\n"), VI_ERROR_CONN_LOST);
    // The device stays hung up for every link until a device clear.
    const ViSession vi2 = Open();
    QVERIFY(vi2 != VI_NULL);
    QCOMPARE(viClear(vi2), VI_SUCCESS);
    QCOMPARE(Write(vi2, "*OPC?\n"), VI_SUCCESS);
    QCOMPARE(Read(vi2, 100, baGot), VI_SUCCESS);
    viClose(vi2);
}

// Runs last among the simulator tests: stops it under an open session.
void CVisaVxi11Test::ServerGoesAway()
{
    m_sim.Stop();
    QByteArray baGot;
    const ViStatus st = Write(m_vi, "*IDN?\n");
    const ViStatus st2 = Read(m_vi, 100, baGot);
    QVERIFY2(st == VI_ERROR_CONN_LOST || st2 == VI_ERROR_CONN_LOST, qPrintable(QString::number(st2, 16)));
    ViStatus stOpen = VI_SUCCESS;
    QCOMPARE(Open("TCPIP0::127.0.0.1::INSTR", &stOpen), ViSession(VI_NULL));
    QCOMPARE(stOpen, VI_ERROR_RSRC_NFOUND);
}

void CVisaVxi11Test::HostileReply_data()
{
    QTest::addColumn<QByteArray>("baRaw");
    QTest::addColumn<bool>("bStall");
    QTest::addColumn<int>("eStatus");
    QTest::addColumn<int>("nReplyDelayMs");

    const auto hex = [](const char* psz) { return QByteArray::fromHex(QByteArray(psz).replace(' ', "")); };
    const QByteArray baAccepted = "XID!" + hex("00000001 00000000 00000000 00000000 00000000");
    const auto record = [&](const QByteArray& baBody) {
        QByteArray ba = hex("80000000") + baBody;
        const quint32 n = quint32(baBody.size()) | 0x80000000u;
        for (int i = 0; i < 4; ++i)
            ba[i] = char(n >> (24 - 8 * i));
        return ba;
    };

    QTest::newRow("valid, for reference")
        << record(baAccepted + hex("00000000 00000004 00000003 41424300")) << false << int(VI_SUCCESS) << 0;
    QTest::newRow("wrong xid")
        << record(hex("12345678 00000001 00000000 00000000 00000000 00000000 00000000 00000004 00000000"))
        << false << int(VI_ERROR_IO) << 0;
    QTest::newRow("opaque length 4 GiB")
        << record(baAccepted + hex("00000000 00000004 ffffffff 41424300")) << false << int(VI_ERROR_IO) << 0;
    QTest::newRow("opaque longer than requested")
        << record(baAccepted + hex("00000000 00000004 00001000") + QByteArray(4096, 'x')) << false
        << int(VI_ERROR_IO) << 0;
    QTest::newRow("short record") << record(baAccepted + hex("00000000")) << false << int(VI_ERROR_IO) << 0;
    QTest::newRow("fragment of 2 GiB announced") << hex("ffffffff") + QByteArray(64, 'x') << false
                                                 << int(VI_ERROR_IO) << 0;
    QTest::newRow("hang-up instead of a reply") << QByteArray() << false << int(VI_ERROR_CONN_LOST) << 0;
    QTest::newRow("half a record, then silence") << record(baAccepted + QByteArray(64, 'x')).left(20) << false
                                                 << int(VI_ERROR_TMO) << 0;
    // Each reply in time, but the read as a whole must still end at its time-out.
    QTest::newRow("one byte a reply, never END")
        << record(baAccepted + hex("00000000 00000000 00000001 41000000")) << false << int(VI_ERROR_TMO) << 30;
    QTest::newRow("no reply at all") << QByteArray() << true << int(VI_ERROR_TMO) << 0;
}

void CVisaVxi11Test::HostileReply()
{
    QFETCH(QByteArray, baRaw);
    QFETCH(bool, bStall);
    QFETCH(int, eStatus);
    QFETCH(int, nReplyDelayMs);

    CFakeVxi11Server fake(baRaw, bStall, nReplyDelayMs);
    const QByteArray baOldPort = qgetenv("VELQ_VXI11_PORTMAPPER_PORT");
    qputenv("VELQ_VXI11_PORTMAPPER_PORT", QByteArray::number(fake.Port()));
    ViStatus st = VI_SUCCESS;
    const ViSession vi = Open("TCPIP0::127.0.0.1::INSTR", &st);
    qputenv("VELQ_VXI11_PORTMAPPER_PORT", baOldPort);
    QCOMPARE(st, VI_SUCCESS);
    // The client's own RPC time-out is io_timeout plus a margin: short where
    // the row waits for it, generous where a loaded machine must not matter.
    QCOMPARE(viSetAttribute(vi, VI_ATTR_TMO_VALUE, eStatus == VI_ERROR_TMO ? 100 : 10000), VI_SUCCESS);
    QCOMPARE(Write(vi, "*IDN?\n"), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(vi, 100, baGot), ViStatus(eStatus));
    if (eStatus == VI_SUCCESS)
        QCOMPARE(baGot, QByteArray("ABC"));
    viClose(vi);
}

QTEST_GUILESS_MAIN(CVisaVxi11Test)
#include "tst_visa_vxi11.moc"

