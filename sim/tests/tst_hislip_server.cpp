// velqsim's HiSLIP server in-process, driven byte by byte over loopback: the
// initialisation, what it answers to malformed and hostile messages, the
// synchronized-mode rules, and the lock table on its own.
#include "hislip_codec.h"
#include "HislipServer.h"
#include "Listener.h"

#include "DeviceRegistry.h"
#include "InstrumentState.h"
#include "WireLog.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

constexpr int kWaitMs = 20000;

struct SFrame
{
    int nType = -1; // -1: the connection closed or stayed silent
    uint8_t uControl = 0;
    uint32_t uParam = 0;
    QByteArray baPayload;
};

QByteArray Frame(uint8_t uType, uint8_t uControl, uint32_t uParam, const QByteArray &baPayload = {},
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

QByteArray SizePayload(uint64_t uSize)
{
    uint8_t raw[8];
    hislip_put_u64(uSize, raw);
    return QByteArray(reinterpret_cast<const char *>(raw), 8);
}

class CConn
{
public:
    explicit CConn(quint16 uPort)
    {
        m_nFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uPort);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_nFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
            ::close(m_nFd);
            m_nFd = -1;
        }
    }
    ~CConn()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    bool Send(const QByteArray &ba)
    {
        return ::send(m_nFd, ba.constData(), static_cast<size_t>(ba.size()), MSG_NOSIGNAL) == ba.size();
    }
    bool RecvExact(char *pDest, size_t nLen)
    {
        while (nLen > 0) {
            pollfd pfd{m_nFd, POLLIN, 0};
            if (::poll(&pfd, 1, kWaitMs) <= 0)
                return false;
            const ssize_t n = ::recv(m_nFd, pDest, nLen, 0);
            if (n <= 0)
                return false;
            pDest += n;
            nLen -= static_cast<size_t>(n);
        }
        return true;
    }
    SFrame Recv()
    {
        SFrame frame;
        uint8_t raw[kHislipHeaderSize];
        hislip_header hdr;
        if (!RecvExact(reinterpret_cast<char *>(raw), sizeof raw) || hislip_decode_header(raw, &hdr) != HISLIP_DECODE_OK
            || hdr.length > (64u << 20))
            return frame;
        frame.baPayload.resize(static_cast<qsizetype>(hdr.length));
        if (!RecvExact(frame.baPayload.data(), static_cast<size_t>(hdr.length)))
            return frame;
        frame.nType = hdr.type;
        frame.uControl = hdr.control;
        frame.uParam = hdr.param;
        return frame;
    }
    // True when the server closed the connection (end of file) within the wait.
    bool ClosedByPeer()
    {
        char c;
        pollfd pfd{m_nFd, POLLIN, 0};
        return ::poll(&pfd, 1, kWaitMs) > 0 && ::recv(m_nFd, &c, 1, 0) <= 0;
    }
    // Nothing arrives within nMs.
    bool Quiet(int nMs)
    {
        pollfd pfd{m_nFd, POLLIN, 0};
        return ::poll(&pfd, 1, nMs) == 0;
    }

private:
    int m_nFd = -1;
};

// A client with both channels up.
struct SSession
{
    std::unique_ptr<CConn> pSync;
    std::unique_ptr<CConn> pAsync;
    uint32_t uNextId = kHislipFirstMessageId;

    bool Open(quint16 uPort)
    {
        pSync = std::make_unique<CConn>(uPort);
        if (!pSync->Send(Frame(HISLIP_INITIALIZE, 0, hislip_init_param(kHislipProtocolVersion, 0x5445), "hislip0")))
            return false;
        const SFrame init = pSync->Recv();
        if (init.nType != HISLIP_INITIALIZE_RESPONSE)
            return false;
        pAsync = std::make_unique<CConn>(uPort);
        if (!pAsync->Send(Frame(HISLIP_ASYNC_INITIALIZE, 0, init.uParam & 0xFFFF)))
            return false;
        return pAsync->Recv().nType == HISLIP_ASYNC_INITIALIZE_RESPONSE;
    }
    uint32_t SendData(const QByteArray &ba, uint8_t uControl = 0)
    {
        const uint32_t uId = uNextId;
        pSync->Send(Frame(HISLIP_DATA_END, uControl, uId, ba));
        uNextId += 2;
        return uId;
    }
};

} // namespace

class CHislipServerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void InitializeGolden();
    void BadFirstMessage_data();
    void BadFirstMessage();
    void HostileMessage_data();
    void HostileMessage();
    void AnswerCarriesQueryMessageId();
    void NewMessageInterruptsPendingAnswer();
    void DeviceClearNegotiatesSynchronized();
    void MaximumMessageSize();
    void SessionsDoNotShareAnswers();
    void SessionLimit();
    void LocksAcrossSessions();
    void LockTable_data();
    void LockTable();

private:
    std::unique_ptr<CHislipServer> m_pServer;
};

void CHislipServerTest::init()
{
    auto pRegistry = std::make_shared<CDeviceRegistry>(std::make_shared<CInstrumentState>(), std::make_shared<CWireLog>());
    m_pServer = std::make_unique<CHislipServer>(pRegistry);
    std::string strError;
    QVERIFY2(m_pServer->Start("127.0.0.1", 0, strError), strError.c_str());
    QVERIFY(m_pServer->Port() != 0);
    QCOMPARE(QByteArray::fromStdString(m_pServer->AnnounceLine()),
             "HISLIP " + QByteArray::number(m_pServer->Port()) + " TCPIP0::127.0.0.1::hislip0,"
                 + QByteArray::number(m_pServer->Port()) + "::INSTR");
}

void CHislipServerTest::cleanup()
{
    m_pServer->Stop();
    m_pServer.reset();
}

void CHislipServerTest::InitializeGolden()
{
    CConn sync(m_pServer->Port());
    QVERIFY(sync.Send(QByteArray::fromHex("48530000010078780000000000000007") + "hislip0"));
    const SFrame init = sync.Recv();
    QCOMPARE(init.nType, int(HISLIP_INITIALIZE_RESPONSE));
    QCOMPARE(init.uControl, uint8_t(0)); // prefers synchronized mode
    QCOMPARE(init.uParam >> 16, 0x0100u);
    QVERIFY((init.uParam & 0xFFFF) != 0);
    CConn async(m_pServer->Port());
    QVERIFY(async.Send(Frame(HISLIP_ASYNC_INITIALIZE, 0, init.uParam & 0xFFFF)));
    const SFrame asyncInit = async.Recv();
    QCOMPARE(asyncInit.nType, int(HISLIP_ASYNC_INITIALIZE_RESPONSE));
    QCOMPARE(asyncInit.uParam, uint32_t(hislip_vendor_id("VQ")));
    // A second asynchronous connection for the same session is refused.
    CConn extra(m_pServer->Port());
    QVERIFY(extra.Send(Frame(HISLIP_ASYNC_INITIALIZE, 0, init.uParam & 0xFFFF)));
    const SFrame refused = extra.Recv();
    QCOMPARE(refused.nType, int(HISLIP_FATAL_ERROR));
    QCOMPARE(refused.uControl, uint8_t(HISLIP_FATAL_INVALID_INIT_SEQUENCE));
}

void CHislipServerTest::BadFirstMessage_data()
{
    QTest::addColumn<QByteArray>("baFirst");
    QTest::addColumn<int>("nFatalCode");
    QTest::newRow("bad-prologue") << QByteArray("GET / HTTP/1.0\r\n") << int(HISLIP_FATAL_BAD_HEADER);
    QTest::newRow("data-before-initialize") << Frame(HISLIP_DATA_END, 0, kHislipFirstMessageId, "*IDN?")
                                            << int(HISLIP_FATAL_INVALID_INIT_SEQUENCE);
    QTest::newRow("async-for-unknown-session") << Frame(HISLIP_ASYNC_INITIALIZE, 0, 0xBEEF)
                                               << int(HISLIP_FATAL_INVALID_INIT_SEQUENCE);
    QTest::newRow("sub-address-too-long") << Frame(HISLIP_INITIALIZE, 0, 0x01005858, QByteArray(300, 'h'))
                                          << int(HISLIP_FATAL_INVALID_INIT_SEQUENCE);
    QTest::newRow("sub-address-length-near-2^64") << Frame(HISLIP_INITIALIZE, 0, 0x01005858, {}, ~0ULL - 1)
                                                  << int(HISLIP_FATAL_INVALID_INIT_SEQUENCE);
}

void CHislipServerTest::BadFirstMessage()
{
    QFETCH(QByteArray, baFirst);
    QFETCH(int, nFatalCode);
    CConn conn(m_pServer->Port());
    QVERIFY(conn.Send(baFirst));
    const SFrame frame = conn.Recv();
    QCOMPARE(frame.nType, int(HISLIP_FATAL_ERROR));
    QCOMPARE(int(frame.uControl), nFatalCode);
    QVERIFY(conn.ClosedByPeer());
}

void CHislipServerTest::HostileMessage_data()
{
    QTest::addColumn<bool>("bAsyncChannel");
    QTest::addColumn<QByteArray>("baMessage");
    QTest::addColumn<int>("nReplyType");
    QTest::addColumn<int>("nReplyCode");
    QTest::addColumn<bool>("bSurvives");

    QTest::newRow("sync-unknown-type") << false << Frame(77, 0, 0, "junk") << int(HISLIP_ERROR)
                                       << int(HISLIP_ERR_UNRECOGNIZED_MSG_TYPE) << true;
    QTest::newRow("sync-vendor-type") << false << Frame(200, 9, 0, "v") << int(HISLIP_ERROR)
                                      << int(HISLIP_ERR_UNRECOGNIZED_VENDOR) << true;
    QTest::newRow("sync-data-over-limit") << false
                                          << Frame(HISLIP_DATA, 0, kHislipFirstMessageId,
                                                   QByteArray(int(CHislipServer::kMaxMessageSize) + 1000, 'x'))
                                          << int(HISLIP_ERROR) << int(HISLIP_ERR_MESSAGE_TOO_LARGE) << true;
    QTest::newRow("sync-data-length-near-2^64") << false << Frame(HISLIP_DATA, 0, 0, "x", ~0ULL - 15)
                                                << int(HISLIP_FATAL_ERROR) << int(HISLIP_FATAL_BAD_HEADER) << false;
    QTest::newRow("sync-bad-prologue") << false << QByteArray(16, 'Z') << int(HISLIP_FATAL_ERROR)
                                       << int(HISLIP_FATAL_BAD_HEADER) << false;
    QTest::newRow("async-unknown-type") << true << Frame(99, 0, 0) << int(HISLIP_ERROR)
                                        << int(HISLIP_ERR_UNRECOGNIZED_MSG_TYPE) << true;
    QTest::newRow("async-lock-bad-control") << true << Frame(HISLIP_ASYNC_LOCK, 7, 0) << int(HISLIP_ERROR)
                                            << int(HISLIP_ERR_UNRECOGNIZED_CONTROL) << true;
    QTest::newRow("async-remote-local-bad-code") << true << Frame(HISLIP_ASYNC_REMOTE_LOCAL_CONTROL, 9, 0)
                                                 << int(HISLIP_ERROR) << int(HISLIP_ERR_UNRECOGNIZED_CONTROL) << true;
    QTest::newRow("async-length-near-2^64") << true << Frame(HISLIP_ASYNC_STATUS_QUERY, 0, 0, {}, 1ULL << 63)
                                            << int(HISLIP_FATAL_ERROR) << int(HISLIP_FATAL_BAD_HEADER) << false;
}

void CHislipServerTest::HostileMessage()
{
    QFETCH(bool, bAsyncChannel);
    QFETCH(QByteArray, baMessage);
    QFETCH(int, nReplyType);
    QFETCH(int, nReplyCode);
    QFETCH(bool, bSurvives);

    SSession session;
    QVERIFY(session.Open(m_pServer->Port()));
    CConn &conn = bAsyncChannel ? *session.pAsync : *session.pSync;
    QVERIFY(conn.Send(baMessage));
    const SFrame reply = conn.Recv();
    QCOMPARE(reply.nType, nReplyType);
    QCOMPARE(int(reply.uControl), nReplyCode);
    if (bSurvives) {
        const uint32_t uId = session.SendData("*OPC?\n");
        const SFrame answer = session.pSync->Recv();
        QCOMPARE(answer.nType, int(HISLIP_DATA_END));
        QCOMPARE(answer.uParam, uId);
        QCOMPARE(answer.baPayload, QByteArray("1\n"));
    } else {
        // FatalError goes out on both channels, then both close.
        CConn &other = bAsyncChannel ? *session.pSync : *session.pAsync;
        QCOMPARE(other.Recv().nType, int(HISLIP_FATAL_ERROR));
        QVERIFY(conn.ClosedByPeer());
    }
}

void CHislipServerTest::AnswerCarriesQueryMessageId()
{
    SSession session;
    QVERIFY(session.Open(m_pServer->Port()));
    session.SendData("*CLS\n");
    // A query split over Data and DataEnd: the answer names the DataEnd's ID.
    session.pSync->Send(Frame(HISLIP_DATA, 0, session.uNextId, "*ID"));
    session.uNextId += 2;
    const uint32_t uEnd = session.SendData("N?\n");
    const SFrame answer = session.pSync->Recv();
    QCOMPARE(answer.nType, int(HISLIP_DATA_END));
    QCOMPARE(answer.uParam, uEnd);
    QCOMPARE(answer.baPayload.count(','), 3);
}

void CHislipServerTest::NewMessageInterruptsPendingAnswer()
{
    SSession session;
    QVERIFY(session.Open(m_pServer->Port()));
    session.SendData("TEST:DEL 2000;*IDN?\n");
    const uint32_t uSecond = session.SendData("*OPC?\n");
    const SFrame interrupted = session.pSync->Recv();
    QVERIFY2(interrupted.nType == HISLIP_INTERRUPTED, interrupted.baPayload.constData());
    QCOMPARE(interrupted.uParam, uSecond);
    const SFrame asyncInterrupted = session.pAsync->Recv();
    QCOMPARE(asyncInterrupted.nType, int(HISLIP_ASYNC_INTERRUPTED));
    QCOMPARE(asyncInterrupted.uParam, uSecond);
    const SFrame answer = session.pSync->Recv();
    QCOMPARE(answer.nType, int(HISLIP_DATA_END));
    QCOMPARE(answer.uParam, uSecond);
    QCOMPARE(answer.baPayload, QByteArray("1\n"));
    // The discarded query left -410 behind.
    session.SendData("SYST:ERR?\n");
    QVERIFY(session.pSync->Recv().baPayload.startsWith("-410,"));
}

void CHislipServerTest::DeviceClearNegotiatesSynchronized()
{
    SSession session;
    QVERIFY(session.Open(m_pServer->Port()));
    session.SendData("TEST:BLOC? 30000000\n");
    const SFrame first = session.pSync->Recv();
    QCOMPARE(first.nType, int(HISLIP_DATA));
    // Give the server time to fill the connection and block in the middle of
    // a frame: the clear must not wait for that frame, which we only read
    // after the acknowledgement.
    QTest::qWait(500);
    QVERIFY(session.pAsync->Send(Frame(HISLIP_ASYNC_DEVICE_CLEAR, 0, 0)));
    const SFrame ack = session.pAsync->Recv();
    QCOMPARE(ack.nType, int(HISLIP_ASYNC_DEVICE_CLEAR_ACKNOWLEDGE));
    QCOMPARE(ack.uControl, uint8_t(0));
    // Asks for overlapped mode, which this server does not offer.
    QVERIFY(session.pSync->Send(Frame(HISLIP_DEVICE_CLEAR_COMPLETE, kHislipFeatureOverlapped, 0)));
    qint64 nSkipped = 0;
    SFrame frame;
    for (frame = session.pSync->Recv(); frame.nType == HISLIP_DATA || frame.nType == HISLIP_DATA_END;
         frame = session.pSync->Recv()) {
        nSkipped += frame.baPayload.size();
    }
    QCOMPARE(frame.nType, int(HISLIP_DEVICE_CLEAR_ACKNOWLEDGE));
    QCOMPARE(frame.uControl, uint8_t(0));
    QVERIFY2(nSkipped < 20000000, "the clear did not stop the answer");
    session.uNextId = kHislipFirstMessageId;
    const uint32_t uId = session.SendData("*OPC?\n");
    const SFrame answer = session.pSync->Recv();
    QCOMPARE(answer.uParam, uId);
    QCOMPARE(answer.baPayload, QByteArray("1\n"));
}

void CHislipServerTest::MaximumMessageSize()
{
    SSession session;
    QVERIFY(session.Open(m_pServer->Port()));
    QVERIFY(session.pAsync->Send(Frame(HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE, 0, 0, SizePayload(16 + 100))));
    const SFrame reply = session.pAsync->Recv();
    QCOMPARE(reply.nType, int(HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE));
    QCOMPARE(reply.baPayload, SizePayload(CHislipServer::kMaxMessageSize));
    // Our limit counts the header: 100 payload bytes per message.
    session.SendData("TEST:TEXT? 250\n");
    QList<int> lstSizes;
    SFrame frame;
    do {
        frame = session.pSync->Recv();
        lstSizes.append(int(frame.baPayload.size()));
    } while (frame.nType == HISLIP_DATA);
    QCOMPARE(frame.nType, int(HISLIP_DATA_END));
    QCOMPARE(lstSizes, (QList<int>{100, 100, 51}));
    QVERIFY(session.pAsync->Send(Frame(HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE, 0, 0, "short")));
    QCOMPARE(session.pAsync->Recv().nType, int(HISLIP_ERROR));
}

void CHislipServerTest::SessionsDoNotShareAnswers()
{
    constexpr int kSessions = 6;
    SSession sessions[kSessions];
    for (SSession &session : sessions)
        QVERIFY(session.Open(m_pServer->Port()));
    for (int i = 0; i < kSessions; ++i)
        sessions[i].SendData("TEST:TEXT? " + QByteArray::number(10 + i) + "\n");
    for (int i = 0; i < kSessions; ++i) {
        const SFrame answer = sessions[i].pSync->Recv();
        QCOMPARE(answer.nType, int(HISLIP_DATA_END));
        QCOMPARE(answer.baPayload.size(), 10 + i + 1);
    }
}

void CHislipServerTest::SessionLimit()
{
    std::vector<std::unique_ptr<CConn>> lstConns;
    auto initialize = [&]() {
        lstConns.push_back(std::make_unique<CConn>(m_pServer->Port()));
        lstConns.back()->Send(Frame(HISLIP_INITIALIZE, 0, hislip_init_param(kHislipProtocolVersion, 0x5858), "hislip0"));
        return lstConns.back()->Recv();
    };
    for (size_t i = 0; i < CHislipServer::kMaxSessions; ++i)
        QCOMPARE(initialize().nType, int(HISLIP_INITIALIZE_RESPONSE));
    const SFrame refused = initialize();
    QCOMPARE(refused.nType, int(HISLIP_FATAL_ERROR));
    QCOMPARE(refused.uControl, uint8_t(HISLIP_FATAL_MAX_CLIENTS));
    // A session silent for longer than the eviction time gives way to a new client.
    const int nSavedMs = CListener::IdleEvictionMs();
    CListener::SetIdleEvictionMs(300);
    QTest::qWait(500);
    const int nAfterSilence = initialize().nType;
    CListener::SetIdleEvictionMs(nSavedMs);
    QCOMPARE(nAfterSilence, int(HISLIP_INITIALIZE_RESPONSE));
    // A client going away frees its place (the first, silent longest, was evicted).
    lstConns.erase(lstConns.begin() + 1);
    int nType = -1;
    for (int nTry = 0; nTry < 100 && nType != HISLIP_INITIALIZE_RESPONSE; ++nTry) {
        if (nTry > 0)
            QTest::qWait(100);
        nType = initialize().nType;
    }
    QCOMPARE(nType, int(HISLIP_INITIALIZE_RESPONSE));
}

void CHislipServerTest::LocksAcrossSessions()
{
    SSession holder;
    SSession other;
    QVERIFY(holder.Open(m_pServer->Port()));
    QVERIFY(other.Open(m_pServer->Port()));
    auto request = [](SSession &session, const QByteArray &baFrame, int nType) {
        session.pAsync->Send(baFrame);
        const SFrame reply = session.pAsync->Recv();
        return reply.nType == nType ? int(reply.uControl) : -1000 - reply.nType;
    };
    QCOMPARE(request(holder, Frame(HISLIP_ASYNC_LOCK, HISLIP_LOCK_REQUEST, 0), HISLIP_ASYNC_LOCK_RESPONSE),
             int(HISLIP_LOCK_SUCCESS));
    other.pAsync->Send(Frame(HISLIP_ASYNC_LOCK_INFO, 0, 0));
    const SFrame info = other.pAsync->Recv();
    QCOMPARE(info.nType, int(HISLIP_ASYNC_LOCK_INFO_RESPONSE));
    QCOMPARE(info.uControl, uint8_t(1));
    QCOMPARE(info.uParam, 1u);
    QCOMPARE(request(other, Frame(HISLIP_ASYNC_LOCK, HISLIP_LOCK_REQUEST, 0), HISLIP_ASYNC_LOCK_RESPONSE),
             int(HISLIP_LOCK_FAIL));
    // The other client's query waits while the lock is held, and runs once it is released.
    const uint32_t uId = other.SendData("*OPC?\n");
    QVERIFY(other.pSync->Quiet(300));
    QCOMPARE(request(holder, Frame(HISLIP_ASYNC_LOCK, HISLIP_LOCK_RELEASE, kHislipNoMessageId),
                     HISLIP_ASYNC_LOCK_RESPONSE),
             int(HISLIP_LOCK_SUCCESS));
    const SFrame answer = other.pSync->Recv();
    QCOMPARE(answer.uParam, uId);
    QCOMPARE(answer.baPayload, QByteArray("1\n"));
    QCOMPARE(request(holder, Frame(HISLIP_ASYNC_LOCK, HISLIP_LOCK_RELEASE, kHislipNoMessageId),
                     HISLIP_ASYNC_LOCK_RESPONSE),
             int(HISLIP_LOCK_ERROR));
}

void CHislipServerTest::LockTable_data()
{
    // Steps "owner:op:key:timeout=expected"; op x = exclusive, s = shared, r = release, p = may proceed.
    QTest::addColumn<QStringList>("lstSteps");
    QTest::newRow("exclusive-blocks-other") << QStringList{"1:x::0=granted", "2:x::50=timeout", "2:p=no", "1:p=yes",
                                                           "1:r=exclusive", "2:x::0=granted"};
    QTest::newRow("redundant-request") << QStringList{"1:x::0=granted", "1:x::0=redundant", "1:s:k:0=granted",
                                                      "1:s:k:0=redundant"};
    QTest::newRow("same-shared-key-admits") << QStringList{"1:s:k:0=granted", "2:s:k:0=granted", "3:s:j:30=timeout",
                                                           "3:p=no", "2:p=yes", "3:x::30=timeout"};
    QTest::newRow("sole-shared-holder-upgrades") << QStringList{"1:s:k:0=granted", "1:x::0=granted", "2:s:k:30=timeout",
                                                                "1:r=exclusive", "2:s:k:0=granted", "1:r=shared",
                                                                "1:r=none"};
    QTest::newRow("release-without-lock") << QStringList{"4:r=none", "4:p=yes"};
}

void CHislipServerTest::LockTable()
{
    QFETCH(QStringList, lstSteps);
    CHislipLockTable table;
    std::atomic<bool> bCancel{false};
    for (const QString &strStep : lstSteps) {
        const QStringList lstParts = strStep.split('=');
        const QStringList lstArgs = lstParts.at(0).split(':');
        const uint64_t uOwner = lstArgs.at(0).toULongLong();
        const QString strOp = lstArgs.at(1);
        QString strResult;
        if (strOp == "x" || strOp == "s") {
            const std::string strKey = strOp == "x" ? std::string() : lstArgs.at(2).toStdString();
            switch (table.Acquire("hislip0", uOwner, strKey, lstArgs.at(3).toUInt(), bCancel)) {
            case CHislipLockTable::EResult::Granted: strResult = "granted"; break;
            case CHislipLockTable::EResult::TimedOut: strResult = "timeout"; break;
            case CHislipLockTable::EResult::Redundant: strResult = "redundant"; break;
            }
        } else if (strOp == "r") {
            switch (table.Release("hislip0", uOwner)) {
            case CHislipLockTable::ERelease::Exclusive: strResult = "exclusive"; break;
            case CHislipLockTable::ERelease::Shared: strResult = "shared"; break;
            case CHislipLockTable::ERelease::NotHeld: strResult = "none"; break;
            }
        } else {
            strResult = table.MayProceed("hislip0", uOwner) ? "yes" : "no";
        }
        QVERIFY2(strResult == lstParts.at(1), qPrintable(strStep + " gave " + strResult));
    }
}

QTEST_GUILESS_MAIN(CHislipServerTest)
#include "tst_hislip_server.moc"

