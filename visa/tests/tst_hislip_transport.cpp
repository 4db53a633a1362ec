// The HiSLIP transport of the VISA library against a scripted in-process
// server that misbehaves on purpose: the bytes the client puts on the wire,
// every viRead status, hostile headers, clear, locks and a close from another
// thread.
#include "hislip_codec.h"
#include "loopback_listener.h"

#include <QElapsedTimer>
#include <QtTest>

#include <visa.h>

#include <cstring>
#include <functional>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

constexpr int kPeerTimeoutMs = 20000;
constexpr uint16_t kSessionId = 7;

struct SFrame
{
    hislip_header hdr;
    QByteArray baPayload;
};

bool RecvExact(int nFd, char *pDest, size_t nLen)
{
    while (nLen > 0) {
        pollfd pfd{nFd, POLLIN, 0};
        if (::poll(&pfd, 1, kPeerTimeoutMs) <= 0)
            return false;
        const ssize_t n = ::recv(nFd, pDest, nLen, 0);
        if (n <= 0)
            return false;
        pDest += n;
        nLen -= static_cast<size_t>(n);
    }
    return true;
}

bool RecvFrame(int nFd, SFrame &frame)
{
    uint8_t raw[kHislipHeaderSize];
    if (!RecvExact(nFd, reinterpret_cast<char *>(raw), sizeof raw))
        return false;
    if (hislip_decode_header(raw, &frame.hdr) != HISLIP_DECODE_OK || frame.hdr.length > (64u << 20))
        return false;
    frame.baPayload.resize(static_cast<qsizetype>(frame.hdr.length));
    return RecvExact(nFd, frame.baPayload.data(), static_cast<size_t>(frame.hdr.length));
}

QByteArray Frame(uint8_t uType, uint8_t uControl, uint32_t uParam, const QByteArray &baPayload,
                 uint64_t uLength = ~0ULL)
{
    hislip_header hdr;
    hdr.type = uType;
    hdr.control = uControl;
    hdr.param = uParam;
    hdr.length = uLength == ~0ULL ? static_cast<uint64_t>(baPayload.size()) : uLength;
    uint8_t raw[kHislipHeaderSize];
    hislip_encode_header(hdr, raw);
    return QByteArray(reinterpret_cast<const char *>(raw), kHislipHeaderSize) + baPayload;
}

bool SendRaw(int nFd, const QByteArray &ba)
{
    return ::send(nFd, ba.constData(), static_cast<size_t>(ba.size()), MSG_NOSIGNAL) == ba.size();
}

// A one-client HiSLIP server: completes the initialisation, then runs a script
// on its own thread and records what the client sent.
class CFakePeer
{
public:
    using Script = std::function<void(CFakePeer &)>;

    explicit CFakePeer(uint64_t uMaxMessage = 1u << 20) : m_uMaxMessage(uMaxMessage)
    {
        m_nListen = ListenOnLoopback(4, &m_uPort);
    }

    ~CFakePeer()
    {
        Join();
        for (int nFd : {m_nSync, m_nAsync, m_nListen}) {
            if (nFd >= 0)
                ::close(nFd);
        }
    }

    QByteArray Resource() const
    {
        return QByteArray("TCPIP0::127.0.0.1::hislip0,") + QByteArray::number(m_uPort) + "::INSTR";
    }

    // Answers the Initialize with baReply (nothing at all when empty) and stops.
    void RunInitReply(const QByteArray &baReply)
    {
        m_thread = std::thread([this, baReply] {
            m_nSync = AcceptOne();
            SFrame frame;
            if (m_nSync < 0 || !RecvFrame(m_nSync, frame))
                return;
            if (!baReply.isEmpty())
                SendSync(baReply);
            WaitClosed();
        });
    }

    void Run(Script script)
    {
        m_thread = std::thread([this, script] {
            if (Handshake())
                script(*this);
        });
    }

    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    // Next frame the client sent on one channel; records a failure otherwise.
    SFrame Expect(bool bAsync, uint8_t uType)
    {
        SFrame frame;
        if (!RecvFrame(bAsync ? m_nAsync : m_nSync, frame)) {
            Fail(QStringLiteral("no frame of type %1").arg(uType));
            return frame;
        }
        m_lstFrames.append(frame);
        if (frame.hdr.type != uType)
            Fail(QStringLiteral("type %1 instead of %2").arg(frame.hdr.type).arg(uType));
        return frame;
    }

    void SendSync(const QByteArray &ba) { SendRaw(m_nSync, ba); }
    void SendAsync(const QByteArray &ba) { SendRaw(m_nAsync, ba); }
    void CloseSync()
    {
        ::shutdown(m_nSync, SHUT_RDWR);
    }
    void Fail(const QString &str) { m_lstFailures.append(str); }
    void WaitClosed()
    {
        SFrame frame;
        while (RecvFrame(m_nSync, frame)) {
        }
    }

    QList<SFrame> m_lstFrames; // Initialize first, then everything Expect() saw
    QStringList m_lstFailures;

private:
    bool Handshake()
    {
        m_nSync = AcceptOne();
        SFrame frame;
        if (m_nSync < 0 || !RecvFrame(m_nSync, frame)) {
            Fail(QStringLiteral("no Initialize"));
            return false;
        }
        m_lstFrames.append(frame);
        SendSync(Frame(HISLIP_INITIALIZE_RESPONSE, 0, hislip_init_param(kHislipProtocolVersion, kSessionId), {}));
        m_nAsync = AcceptOne();
        if (m_nAsync < 0 || !RecvFrame(m_nAsync, frame)) {
            Fail(QStringLiteral("no AsyncInitialize"));
            return false;
        }
        m_lstFrames.append(frame);
        SendAsync(Frame(HISLIP_ASYNC_INITIALIZE_RESPONSE, 0, hislip_vendor_id("FK"), {}));
        if (!RecvFrame(m_nAsync, frame)) {
            Fail(QStringLiteral("no AsyncMaximumMessageSize"));
            return false;
        }
        m_lstFrames.append(frame);
        uint8_t raw[8];
        hislip_put_u64(m_uMaxMessage, raw);
        SendAsync(Frame(HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE, 0, 0, QByteArray(reinterpret_cast<char *>(raw), 8)));
        return true;
    }

    int AcceptOne()
    {
        pollfd pfd{m_nListen, POLLIN, 0};
        if (::poll(&pfd, 1, kPeerTimeoutMs) <= 0)
            return -1;
        return ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
    }

    uint64_t m_uMaxMessage;
    int m_nListen = -1;
    int m_nSync = -1;
    int m_nAsync = -1;
    quint16 m_uPort = 0;
    std::thread m_thread;
};

struct SReadStep
{
    ViUInt32 uCount;
    ViStatus viStatus;
    QByteArray baData;
};

} // namespace

Q_DECLARE_METATYPE(QList<SReadStep>)

class CHislipTransportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void ConnectionSequence();
    void ReadStatuses_data();
    void ReadStatuses();
    void TimeOutKeepsSessionInStep();
    void HostileServer_data();
    void HostileServer();
    void LargeWriteIsSplit();
    void DeviceClearTransaction();
    void AsyncRequests();
    void CloseFromAnotherThreadEndsRead();
    void OpenFailures_data();
    void OpenFailures();

private:
    ViSession Open(CFakePeer &peer);
    ViStatus Write(ViSession vi, const QByteArray &ba);
    ViStatus Read(ViSession vi, ViUInt32 uCount, QByteArray *pData);

    ViSession m_viRM = VI_NULL;
};

void CHislipTransportTest::initTestCase()
{
    QCOMPARE(viOpenDefaultRM(&m_viRM), VI_SUCCESS);
}

void CHislipTransportTest::cleanupTestCase()
{
    viClose(m_viRM);
}

ViSession CHislipTransportTest::Open(CFakePeer &peer)
{
    ViSession vi = VI_NULL;
    const ViStatus viStatus = viOpen(m_viRM, peer.Resource().constData(), VI_NO_LOCK, 20000, &vi);
    if (viStatus != VI_SUCCESS)
        qWarning("viOpen: 0x%08x", static_cast<unsigned>(viStatus));
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 20000);
    return vi;
}

ViStatus CHislipTransportTest::Write(ViSession vi, const QByteArray &ba)
{
    ViUInt32 uDone = 0;
    return viWrite(vi, reinterpret_cast<ViConstBuf>(ba.constData()), static_cast<ViUInt32>(ba.size()), &uDone);
}

ViStatus CHislipTransportTest::Read(ViSession vi, ViUInt32 uCount, QByteArray *pData)
{
    QByteArray baBuf(static_cast<qsizetype>(uCount) + 1, '\0');
    ViUInt32 uGot = 0xDEAD;
    const ViStatus viStatus = viRead(vi, reinterpret_cast<ViBuf>(baBuf.data()), uCount, &uGot);
    *pData = uGot <= uCount ? baBuf.left(static_cast<qsizetype>(uGot)) : QByteArray("<bad count>");
    return viStatus;
}

void CHislipTransportTest::ConnectionSequence()
{
    CFakePeer peer;
    peer.Run([](CFakePeer &p) {
        p.Expect(false, HISLIP_DATA_END);
        p.Expect(false, HISLIP_DATA_END);
        p.Expect(false, HISLIP_TRIGGER);
    });
    const ViSession vi = Open(peer);
    QVERIFY(vi != VI_NULL);
    QCOMPARE(Write(vi, "*CLS\n"), VI_SUCCESS);
    QCOMPARE(Write(vi, "*RST\n"), VI_SUCCESS);
    QCOMPARE(viAssertTrigger(vi, VI_TRIG_PROT_SYNC), VI_ERROR_INV_PROT);
    QCOMPARE(viAssertTrigger(vi, VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
    peer.Join();
    ViBoolean bHislip = VI_FALSE;
    QCOMPARE(viGetAttribute(vi, VI_ATTR_TCPIP_IS_HISLIP, &bHislip), VI_SUCCESS);
    QCOMPARE(bHislip, ViBoolean(VI_TRUE));
    viClose(vi);

    QVERIFY2(peer.m_lstFailures.isEmpty(), qPrintable(peer.m_lstFailures.join("; ")));
    QCOMPARE(peer.m_lstFrames.size(), 6);
    auto wire = [&](int i) {
        const SFrame &f = peer.m_lstFrames.at(i);
        return Frame(f.hdr.type, f.hdr.control, f.hdr.param, f.baPayload).toHex();
    };
    // Initialize: version 1.0, vendor "VQ", sub-address from the resource name.
    QCOMPARE(wire(0), QByteArray("48530000010056510000000000000007" "68697" "36c697030"));
    QCOMPARE(wire(1), QByteArray("48531100000000070000000000000000"));
    QCOMPARE(wire(2), QByteArray("48530f00000000000000000000000008" "0000000000100000"));
    // MessageIDs start at 0xFFFFFF00 and count by two.
    QCOMPARE(wire(3), QByteArray("48530700ffffff000000000000000005") + QByteArray("*CLS\n").toHex());
    QCOMPARE(wire(4), QByteArray("48530700ffffff020000000000000005") + QByteArray("*RST\n").toHex());
    // A trigger is a message of its own and takes the next ID.
    QCOMPARE(wire(5), QByteArray("48530c00ffffff040000000000000000"));
}

void CHislipTransportTest::ReadStatuses_data()
{
    QTest::addColumn<QByteArray>("baAnswer"); // frames; MessageID 0 stands for the query's
    QTest::addColumn<bool>("bTermChar");
    QTest::addColumn<QList<SReadStep>>("lstSteps");

    const uint32_t uOld = kHislipNoMessageId;
    auto end = [](const QByteArray &ba, uint32_t uId = 0) { return Frame(HISLIP_DATA_END, 0, uId, ba); };
    auto data = [](const QByteArray &ba, uint32_t uId = 0) { return Frame(HISLIP_DATA, 0, uId, ba); };

    QTest::newRow("end") << end("abc\n") << false << QList<SReadStep>{{100, VI_SUCCESS, "abc\n"}};
    QTest::newRow("joined-across-data") << data("ab") + data("c") + end("d\n") << false
                                        << QList<SReadStep>{{100, VI_SUCCESS, "abcd\n"}};
    QTest::newRow("max-cnt-then-rest") << end("abcdef") << false
                                       << QList<SReadStep>{{4, VI_SUCCESS_MAX_CNT, "abcd"}, {4, VI_SUCCESS, "ef"}};
    QTest::newRow("buffer-filled-exactly-is-end") << end("abcd") << false << QList<SReadStep>{{4, VI_SUCCESS, "abcd"}};
    QTest::newRow("max-cnt-at-data-boundary") << data("ab") + end("cd") << false
                                              << QList<SReadStep>{{2, VI_SUCCESS_MAX_CNT, "ab"}, {9, VI_SUCCESS, "cd"}};
    QTest::newRow("termchar-then-end-wins") << end("ab\ncd\n") << true
                                            << QList<SReadStep>{{100, VI_SUCCESS_TERM_CHAR, "ab\n"}, {100, VI_SUCCESS, "cd\n"}};
    QTest::newRow("termchar-ignored-when-off") << end("ab\ncd\n") << false
                                               << QList<SReadStep>{{100, VI_SUCCESS, "ab\ncd\n"}};
    QTest::newRow("termchar-split-by-count") << end("ab\ncd") << true
                                             << QList<SReadStep>{{2, VI_SUCCESS_MAX_CNT, "ab"}, {1, VI_SUCCESS_TERM_CHAR, "\n"},
                                                                 {100, VI_SUCCESS, "cd"}};
    QTest::newRow("empty-dataend") << end("") << false << QList<SReadStep>{{10, VI_SUCCESS, ""}};
    QTest::newRow("older-answer-dropped") << end("stale\n", uOld) + end("fresh\n") << false
                                          << QList<SReadStep>{{100, VI_SUCCESS, "fresh\n"}};
    QTest::newRow("older-answer-dropped-mid-read") << data("part") + end("stale\n", uOld - 2) + end("fresh\n") << false
                                                   << QList<SReadStep>{{100, VI_SUCCESS, "fresh\n"}};
    QTest::newRow("unknown-id-accepted") << data("x", kHislipUnknownMessageId) + end("y\n") << false
                                         << QList<SReadStep>{{100, VI_SUCCESS, "xy\n"}};
    QTest::newRow("interrupted-discards-partial")
        << data("old") + Frame(HISLIP_INTERRUPTED, 0, 0, {}) + end("new\n") << false
        << QList<SReadStep>{{100, VI_SUCCESS, "new\n"}};
}

void CHislipTransportTest::ReadStatuses()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(bool, bTermChar);
    QFETCH(QList<SReadStep>, lstSteps);

    CFakePeer peer;
    peer.Run([baAnswer](CFakePeer &p) {
        const SFrame query = p.Expect(false, HISLIP_DATA_END);
        // Stamp the query's MessageID into every frame that carries 0.
        QByteArray baOut = baAnswer;
        for (qsizetype nPos = 0; nPos + 16 <= baOut.size();) {
            hislip_header hdr;
            hislip_decode_header(reinterpret_cast<const uint8_t *>(baOut.constData() + nPos), &hdr);
            if (hdr.param == 0 && hdr.type != HISLIP_INTERRUPTED) {
                hdr.param = query.hdr.param;
                hislip_encode_header(hdr, reinterpret_cast<uint8_t *>(baOut.data() + nPos));
            }
            nPos += 16 + static_cast<qsizetype>(hdr.length);
        }
        p.SendSync(baOut);
    });
    const ViSession vi = Open(peer);
    QVERIFY(vi != VI_NULL);
    QCOMPARE(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, bTermChar ? VI_TRUE : VI_FALSE), VI_SUCCESS);
    QCOMPARE(Write(vi, "Q?\n"), VI_SUCCESS);
    for (const SReadStep &step : lstSteps) {
        QByteArray baGot;
        QCOMPARE(Read(vi, step.uCount, &baGot), step.viStatus);
        QCOMPARE(baGot, step.baData);
    }
    peer.Join();
    QVERIFY2(peer.m_lstFailures.isEmpty(), qPrintable(peer.m_lstFailures.join("; ")));
    viClose(vi);
}

void CHislipTransportTest::TimeOutKeepsSessionInStep()
{
    CFakePeer peer;
    peer.Run([](CFakePeer &p) {
        const SFrame first = p.Expect(false, HISLIP_DATA_END);
        // Half a header and part of an answer, then silence until the client gives up.
        const QByteArray baAnswer = Frame(HISLIP_DATA_END, 0, first.hdr.param, "late\n");
        p.SendSync(baAnswer.left(8));
        const SFrame second = p.Expect(false, HISLIP_DATA_END);
        if (second.hdr.param != first.hdr.param + 2)
            p.Fail(QStringLiteral("MessageIDs out of step"));
        // The rest of the stale answer, then the one for the second query.
        p.SendSync(baAnswer.mid(8) + Frame(HISLIP_DATA_END, 0, second.hdr.param, "fresh\n"));
    });
    const ViSession vi = Open(peer);
    QVERIFY(vi != VI_NULL);
    QCOMPARE(Write(vi, "A?\n"), VI_SUCCESS);
    QCOMPARE(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(vi, 100, &baGot), VI_ERROR_TMO);
    QCOMPARE(baGot, QByteArray());
    QCOMPARE(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 20000), VI_SUCCESS);
    QCOMPARE(Write(vi, "B?\n"), VI_SUCCESS);
    QCOMPARE(Read(vi, 100, &baGot), VI_SUCCESS);
    QCOMPARE(baGot, QByteArray("fresh\n"));
    peer.Join();
    QVERIFY2(peer.m_lstFailures.isEmpty(), qPrintable(peer.m_lstFailures.join("; ")));
    viClose(vi);
}

void CHislipTransportTest::HostileServer_data()
{
    QTest::addColumn<QByteArray>("baAnswer");
    QTest::addColumn<int>("nReadStatus");
    QTest::addColumn<QByteArray>("baData");
    QTest::addColumn<bool>("bSessionSurvives");
    QTest::addColumn<int>("nClientReply"); // type the client must answer with on sync, -1 none

    QTest::newRow("length-near-2^64") << Frame(HISLIP_DATA_END, 0, kHislipUnknownMessageId, "x", ~0ULL - 15)
                                      << int(VI_ERROR_IO) << QByteArray() << false << int(HISLIP_FATAL_ERROR);
    QTest::newRow("unknown-type-skipped") << Frame(77, 0, 0, "junk") + Frame(HISLIP_DATA_END, 0, kHislipUnknownMessageId, "ok")
                                          << int(VI_SUCCESS) << QByteArray("ok") << true << int(HISLIP_ERROR);
    QTest::newRow("vendor-type-huge") << Frame(200, 0, 0, {}, 1ULL << 62) << int(VI_ERROR_IO) << QByteArray() << false
                                      << int(HISLIP_FATAL_ERROR);
    QTest::newRow("interrupted-length-2^63") << Frame(HISLIP_INTERRUPTED, 0, 0, {}, 1ULL << 63) << int(VI_ERROR_IO)
                                             << QByteArray() << false << int(HISLIP_FATAL_ERROR);
    QTest::newRow("clear-acknowledge-length-2^63")
        << Frame(HISLIP_DEVICE_CLEAR_ACKNOWLEDGE, 0, 0, {}, 1ULL << 63) << int(VI_ERROR_IO) << QByteArray() << false
        << int(HISLIP_FATAL_ERROR);
    QTest::newRow("interrupted-padded") << Frame(HISLIP_INTERRUPTED, 0, 0, "pad") + Frame(HISLIP_DATA_END, 0, kHislipUnknownMessageId, "ok")
                                        << int(VI_SUCCESS) << QByteArray("ok") << true << -1;
    QTest::newRow("bad-prologue") << QByteArray("GARBAGE-GARBAGE!") << int(VI_ERROR_IO) << QByteArray() << false
                                  << int(HISLIP_FATAL_ERROR);
    QTest::newRow("fatal-error") << Frame(HISLIP_FATAL_ERROR, 0, 0, "bye") << int(VI_ERROR_IO) << QByteArray() << false
                                 << -1;
    QTest::newRow("error-ends-read-only") << Frame(HISLIP_ERROR, HISLIP_ERR_MESSAGE_TOO_LARGE, 0, "too large")
                                          << int(VI_ERROR_IO) << QByteArray() << true << -1;
    QTest::newRow("server-hangs-up") << QByteArray() << int(VI_ERROR_CONN_LOST) << QByteArray() << false << -1;
}

void CHislipTransportTest::HostileServer()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(int, nReadStatus);
    QFETCH(QByteArray, baData);
    QFETCH(bool, bSessionSurvives);
    QFETCH(int, nClientReply);

    CFakePeer peer;
    peer.Run([=](CFakePeer &p) {
        p.Expect(false, HISLIP_DATA_END);
        if (baAnswer.isEmpty())
            p.CloseSync();
        else
            p.SendSync(baAnswer);
        if (nClientReply >= 0)
            p.Expect(false, static_cast<uint8_t>(nClientReply));
        if (bSessionSurvives) {
            const SFrame next = p.Expect(false, HISLIP_DATA_END);
            p.SendSync(Frame(HISLIP_DATA_END, 0, next.hdr.param, "again\n"));
        }
    });
    const ViSession vi = Open(peer);
    QVERIFY(vi != VI_NULL);
    QCOMPARE(Write(vi, "Q?\n"), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(vi, 100, &baGot), ViStatus(nReadStatus));
    QCOMPARE(baGot, baData);
    if (bSessionSurvives) {
        QCOMPARE(Write(vi, "Q?\n"), VI_SUCCESS);
        QCOMPARE(Read(vi, 100, &baGot), VI_SUCCESS);
        QCOMPARE(baGot, QByteArray("again\n"));
    } else {
        QCOMPARE(Write(vi, "Q?\n"), VI_ERROR_CONN_LOST);
        QCOMPARE(Read(vi, 100, &baGot), VI_ERROR_CONN_LOST);
    }
    peer.Join();
    QVERIFY2(peer.m_lstFailures.isEmpty(), qPrintable(peer.m_lstFailures.join("; ")));
    viClose(vi);
}

void CHislipTransportTest::LargeWriteIsSplit()
{
    // The server's limit counts the 16-byte header: 256 leaves 240 bytes per message.
    CFakePeer peer(256);
    QByteArray baJoined;
    QList<uint32_t> lstIds;
    QList<int> lstTypes;
    peer.Run([&](CFakePeer &p) {
        for (int i = 0; i < 5; ++i) {
            const SFrame frame = p.Expect(false, i < 4 ? HISLIP_DATA : HISLIP_DATA_END);
            baJoined += frame.baPayload;
            lstIds.append(frame.hdr.param);
            lstTypes.append(frame.hdr.type);
        }
    });
    const ViSession vi = Open(peer);
    QVERIFY(vi != VI_NULL);
    QByteArray baMessage(1000, '\0');
    for (int i = 0; i < baMessage.size(); ++i)
        baMessage[i] = static_cast<char>(i * 7);
    ViUInt32 uDone = 0;
    QCOMPARE(viWrite(vi, reinterpret_cast<ViConstBuf>(baMessage.constData()), 1000, &uDone), VI_SUCCESS);
    QCOMPARE(uDone, ViUInt32(1000));
    peer.Join();
    QVERIFY2(peer.m_lstFailures.isEmpty(), qPrintable(peer.m_lstFailures.join("; ")));
    QCOMPARE(baJoined, baMessage);
    QCOMPARE(lstIds, (QList<uint32_t>{0xFFFFFF00u, 0xFFFFFF02u, 0xFFFFFF04u, 0xFFFFFF06u, 0xFFFFFF08u}));
    viClose(vi);
}

void CHislipTransportTest::DeviceClearTransaction()
{
    CFakePeer peer;
    uint8_t uAckFeature = 0xFF;
    peer.Run([&](CFakePeer &p) {
        const SFrame query = p.Expect(false, HISLIP_DATA_END);
        // The start of a long answer is on its way when the clear begins.
        p.SendSync(Frame(HISLIP_DATA, 0, query.hdr.param, QByteArray(5000, 'x')));
        p.Expect(true, HISLIP_ASYNC_DEVICE_CLEAR);
        p.SendSync(Frame(HISLIP_DATA, 0, query.hdr.param, QByteArray(70000, 'y')));
        p.SendAsync(Frame(HISLIP_ASYNC_DEVICE_CLEAR_ACKNOWLEDGE, 0, 0, {}));
        const SFrame complete = p.Expect(false, HISLIP_DEVICE_CLEAR_COMPLETE);
        uAckFeature = complete.hdr.control;
        p.SendSync(Frame(HISLIP_DATA_END, 0, query.hdr.param, "tail\n"));
        p.SendSync(Frame(HISLIP_DEVICE_CLEAR_ACKNOWLEDGE, 0, 0, {}));
        const SFrame after = p.Expect(false, HISLIP_DATA_END);
        if (after.hdr.param != kHislipFirstMessageId)
            p.Fail(QStringLiteral("MessageID not reset by the clear"));
        p.SendSync(Frame(HISLIP_DATA_END, 0, after.hdr.param, "after\n"));
    });
    const ViSession vi = Open(peer);
    QVERIFY(vi != VI_NULL);
    QCOMPARE(Write(vi, "BIG?\n"), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(vi, 1000, &baGot), VI_SUCCESS_MAX_CNT);
    QCOMPARE(viClear(vi), VI_SUCCESS);
    QCOMPARE(Write(vi, "Q?\n"), VI_SUCCESS);
    QCOMPARE(Read(vi, 100, &baGot), VI_SUCCESS);
    QCOMPARE(baGot, QByteArray("after\n"));
    peer.Join();
    QVERIFY2(peer.m_lstFailures.isEmpty(), qPrintable(peer.m_lstFailures.join("; ")));
    QCOMPARE(uAckFeature, uint8_t(0)); // synchronized mode requested
    viClose(vi);
}

void CHislipTransportTest::AsyncRequests()
{
    CFakePeer peer;
    QList<SFrame> lstAsync;
    peer.Run([&](CFakePeer &p) {
        const SFrame query = p.Expect(false, HISLIP_DATA_END);
        p.SendSync(Frame(HISLIP_DATA_END, 0, query.hdr.param, "1\n"));
        // A service request arrives unasked in between.
        p.SendAsync(Frame(HISLIP_ASYNC_SERVICE_REQUEST, 0x40, 0, {}));
        lstAsync.append(p.Expect(true, HISLIP_ASYNC_STATUS_QUERY));
        p.SendAsync(Frame(HISLIP_ASYNC_STATUS_RESPONSE, 0x44, 0, {}));
        lstAsync.append(p.Expect(true, HISLIP_ASYNC_STATUS_QUERY));
        p.SendAsync(Frame(HISLIP_ASYNC_STATUS_RESPONSE, 0x04, 0, {}));
        lstAsync.append(p.Expect(true, HISLIP_ASYNC_LOCK));
        p.SendAsync(Frame(HISLIP_ASYNC_LOCK_RESPONSE, HISLIP_LOCK_SUCCESS, 0, {}));
        lstAsync.append(p.Expect(true, HISLIP_ASYNC_LOCK));
        p.SendAsync(Frame(HISLIP_ASYNC_LOCK_RESPONSE, HISLIP_LOCK_SUCCESS, 0, {}));
        lstAsync.append(p.Expect(true, HISLIP_ASYNC_LOCK));
        p.SendAsync(Frame(HISLIP_ASYNC_LOCK_RESPONSE, HISLIP_LOCK_FAIL, 0, {}));
        lstAsync.append(p.Expect(true, HISLIP_ASYNC_REMOTE_LOCAL_CONTROL));
        p.SendAsync(Frame(HISLIP_ASYNC_REMOTE_LOCAL_RESPONSE, 0, 0, {}));
    });
    const ViSession vi = Open(peer);
    QVERIFY(vi != VI_NULL);
    QCOMPARE(Write(vi, "*OPC?\n"), VI_SUCCESS);
    QByteArray baGot;
    QCOMPARE(Read(vi, 100, &baGot), VI_SUCCESS);
    ViUInt16 uStb = 0;
    QCOMPARE(viReadSTB(vi, &uStb), VI_SUCCESS);
    QCOMPARE(uStb, ViUInt16(0x44));
    QCOMPARE(viReadSTB(vi, &uStb), VI_SUCCESS);
    QCOMPARE(uStb, ViUInt16(0x04));
    QCOMPARE(viLock(vi, VI_EXCLUSIVE_LOCK, 1500, VI_NULL, VI_NULL), VI_SUCCESS);
    QCOMPARE(viUnlock(vi), VI_SUCCESS);
    QCOMPARE(viLock(vi, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);
    QCOMPARE(viGpibControlREN(vi, 7), VI_ERROR_INV_MODE);
    QCOMPARE(viGpibControlREN(vi, VI_GPIB_REN_ASSERT_ADDRESS_LLO), VI_SUCCESS);
    peer.Join();
    QVERIFY2(peer.m_lstFailures.isEmpty(), qPrintable(peer.m_lstFailures.join("; ")));
    QCOMPARE(lstAsync.size(), 6);
    // The first status query reports the delivered answer once, with the query's MessageID.
    QCOMPARE(lstAsync[0].hdr.control, uint8_t(kHislipRmtDelivered));
    QCOMPARE(lstAsync[0].hdr.param, kHislipFirstMessageId);
    QCOMPARE(lstAsync[1].hdr.control, uint8_t(0));
    QCOMPARE(lstAsync[2].hdr.control, uint8_t(HISLIP_LOCK_REQUEST));
    QCOMPARE(lstAsync[2].hdr.param, 1500u);
    QCOMPARE(lstAsync[2].baPayload, QByteArray()); // exclusive
    QCOMPARE(lstAsync[3].hdr.control, uint8_t(HISLIP_LOCK_RELEASE));
    QCOMPARE(lstAsync[3].hdr.param, kHislipFirstMessageId);
    QCOMPARE(lstAsync[5].hdr.control, uint8_t(VI_GPIB_REN_ASSERT_ADDRESS_LLO));
    viClose(vi);
}

void CHislipTransportTest::CloseFromAnotherThreadEndsRead()
{
    CFakePeer peer;
    peer.Run([](CFakePeer &p) {
        p.Expect(false, HISLIP_DATA_END);
        // Never answers; waits for the client to go away.
        p.WaitClosed();
    });
    const ViSession vi = Open(peer);
    QVERIFY(vi != VI_NULL);
    QCOMPARE(viSetAttribute(vi, VI_ATTR_TMO_VALUE, VI_TMO_INFINITE), VI_SUCCESS);
    QCOMPARE(Write(vi, "Q?\n"), VI_SUCCESS);
    std::atomic<ViStatus> readStatus{VI_SUCCESS};
    std::atomic<bool> bDone{false};
    std::thread reader([&] {
        char buf[16];
        ViUInt32 uGot = 0;
        readStatus = viRead(vi, reinterpret_cast<ViBuf>(buf), sizeof buf, &uGot);
        bDone = true;
    });
    QTest::qWait(200);
    QVERIFY(!bDone);
    QElapsedTimer timer;
    timer.start();
    viClose(vi);
    QTRY_VERIFY_WITH_TIMEOUT(bDone, 10000);
    reader.join();
    QVERIFY(timer.elapsed() < 10000);
    QVERIFY(readStatus < 0);
    peer.Join();
}

void CHislipTransportTest::OpenFailures_data()
{
    QTest::addColumn<QByteArray>("baReply");
    QTest::addColumn<int>("nStatus");
    QTest::newRow("too-many-clients") << Frame(HISLIP_FATAL_ERROR, HISLIP_FATAL_MAX_CLIENTS, 0, "busy")
                                      << int(VI_ERROR_RSRC_BUSY);
    QTest::newRow("refused-sequence") << Frame(HISLIP_FATAL_ERROR, HISLIP_FATAL_INVALID_INIT_SEQUENCE, 0, {})
                                      << int(VI_ERROR_RSRC_NFOUND);
    QTest::newRow("not-hislip") << QByteArray("SSH-2.0-OpenSSH\r\n") << int(VI_ERROR_RSRC_NFOUND);
    QTest::newRow("wrong-message") << Frame(HISLIP_DATA_END, 0, 0, "hello") << int(VI_ERROR_RSRC_NFOUND);
    QTest::newRow("silent-server") << QByteArray() << int(VI_ERROR_TMO);
}

void CHislipTransportTest::OpenFailures()
{
    QFETCH(QByteArray, baReply);
    QFETCH(int, nStatus);
    CFakePeer peer;
    peer.RunInitReply(baReply);
    ViSession vi = 12345;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(viOpen(m_viRM, peer.Resource().constData(), VI_NO_LOCK, 500, &vi), ViStatus(nStatus));
    QCOMPARE(vi, ViSession(VI_NULL));
    QVERIFY(timer.elapsed() < 15000);
}

QTEST_GUILESS_MAIN(CHislipTransportTest)
#include "tst_hislip_transport.moc"

