// The simulator's portmapper and VXI-11 core channel, in process, driven by
// hand-made RPC calls: what independent clients rely on (PROG_MISMATCH for
// rpcbind v3/v4, GETPORT, DUMP), refusal of bad calls, and locks that die
// with their connection.
#include "DeviceRegistry.h"
#include "InstrumentState.h"
#include "WireLog.h"
#include "PortmapServer.h"
#include "rpc_message.h"
#include "vxi11_proto.h"
#include "Vxi11Server.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

constexpr int kWaitMs = 20000;

struct SReply
{
    bool bOk = false;         // a reply arrived and parsed
    uint32_t uAcceptStat = 0;
    uint32_t uLow = 0, uHigh = 0;
    xdr_bytes baResults;
};

// One RPC peer over TCP or UDP towards 127.0.0.1:port.
class CRawRpc
{
public:
    // bReserved: from a port below 1024, which only a privileged process may bind.
    CRawRpc(uint16_t uPort, bool bUdp, bool bReserved = false)
        : m_bUdp(bUdp)
    {
        m_nFd = ::socket(AF_INET, (bUdp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
        if (bReserved && !BindReserved())
            return;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uPort);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_bConnected = ::connect(m_nFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~CRawRpc() { Close(); }
    void Close()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
        m_nFd = -1;
    }
    bool Connected() const { return m_bConnected; }

    bool BindReserved()
    {
        for (uint16_t uLocal = 1023; uLocal >= 600; --uLocal) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_port = htons(uLocal);
            local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::bind(m_nFd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0)
                return true;
        }
        return false;
    }

    bool SendRaw(const xdr_bytes& ba) { return ::send(m_nFd, ba.data(), ba.size(), MSG_NOSIGNAL) == ssize_t(ba.size()); }

    SReply Call(uint32_t uProg, uint32_t uVers, uint32_t uProc, const xdr_bytes& baArgs)
    {
        const uint32_t uXid = ++m_uXid;
        const xdr_bytes baBody = rpc_encode_call({uXid, uProg, uVers, uProc}, baArgs);
        SReply reply;
        if (!SendRaw(m_bUdp ? baBody : rpc_record_encode(baBody)))
            return reply;
        xdr_bytes baRecord;
        if (!Receive(baRecord))
            return reply;
        rpc_reply_info info;
        const rpc_decode_status eStatus = rpc_decode_reply(baRecord, uXid, &info);
        if (eStatus != rpc_ok && eStatus != rpc_not_success)
            return reply;
        reply.bOk = true;
        reply.uAcceptStat = info.accept_stat;
        reply.uLow = info.mismatch_low;
        reply.uHigh = info.mismatch_high;
        if (eStatus == rpc_ok)
            reply.baResults.assign(baRecord.begin() + long(info.results_offset), baRecord.end());
        return reply;
    }

    // True when the peer closed the connection within the wait.
    bool WaitClosed()
    {
        pollfd pfd{m_nFd, POLLIN, 0};
        if (::poll(&pfd, 1, kWaitMs) <= 0)
            return false;
        char c;
        return ::recv(m_nFd, &c, 1, 0) <= 0;
    }

private:
    bool Receive(xdr_bytes& baRecord)
    {
        uint8_t buf[65536];
        rpc_record_assembler assembler(1 << 20);
        for (;;) {
            pollfd pfd{m_nFd, POLLIN, 0};
            if (::poll(&pfd, 1, kWaitMs) <= 0)
                return false;
            const ssize_t n = ::recv(m_nFd, buf, sizeof buf, 0);
            if (n <= 0)
                return false;
            if (m_bUdp) {
                baRecord.assign(buf, buf + n);
                return true;
            }
            size_t nUsed = 0;
            if (assembler.feed(buf, size_t(n), &nUsed) == rpc_record_assembler::record_ready) {
                baRecord = assembler.take();
                return true;
            }
        }
    }

    int m_nFd = -1;
    bool m_bUdp;
    bool m_bConnected = false;
    uint32_t m_uXid = 100;
};

xdr_bytes Mapping(uint32_t uProg, uint32_t uVers, uint32_t uProt)
{
    return pmap_encode_mapping({uProg, uVers, uProt, 0});
}

xdr_bytes U32s(std::initializer_list<uint32_t> lst)
{
    xdr_writer w;
    for (uint32_t u : lst)
        w.put_u32(u);
    return w.buf;
}

int32_t CreateLink(CRawRpc& rpc, const std::string& strDevice, int32_t* pLid = nullptr)
{
    vxi11_create_link_parms parms;
    parms.device = strDevice;
    const SReply reply = rpc.Call(vxi11_core_prog, 1, vxi11_create_link, vxi11_encode(parms));
    xdr_reader r(reply.baResults);
    vxi11_create_link_resp resp;
    if (!reply.bOk || !vxi11_decode(r, &resp))
        return -1;
    if (pLid)
        *pLid = resp.lid;
    return resp.error;
}

int32_t ErrorOf(const SReply& reply)
{
    xdr_reader r(reply.baResults);
    int32_t nError = -1;
    if (!reply.bOk || !vxi11_decode_error(r, &nError))
        return -1;
    return nError;
}

int32_t Lock(CRawRpc& rpc, int32_t nLid, uint32_t uWaitMs)
{
    vxi11_lock_parms parms;
    parms.lid = nLid;
    parms.flags = uWaitMs ? uint32_t(vxi11_flag_waitlock) : 0u;
    parms.lock_timeout = uWaitMs;
    return ErrorOf(rpc.Call(vxi11_core_prog, 1, vxi11_device_lock, vxi11_encode(parms)));
}

int32_t WriteError(CRawRpc& rpc, int32_t nLid, const std::string& strData)
{
    vxi11_write_parms parms;
    parms.lid = nLid;
    parms.io_timeout = 1000;
    parms.flags = vxi11_flag_end;
    parms.data = reinterpret_cast<const uint8_t*>(strData.data());
    parms.size = strData.size();
    return ErrorOf(rpc.Call(vxi11_core_prog, 1, vxi11_device_write, vxi11_encode(parms)));
}

} // namespace

class CVxi11ServerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void Portmapper_data();
    void Portmapper();
    void DumpListsEveryMapping();
    void MappingChangesNeedAReservedPort_data();
    void MappingChangesNeedAReservedPort();
    void CoreCalls_data();
    void CoreCalls();
    void CreateLinkNames_data();
    void CreateLinkNames();
    void LocksDieWithTheirConnection();
    void LinksPerConnectionAreBounded();
    void DevicesGoWithTheirLastLink();
    void OversizedRecordClosesConnection();

private:
    std::shared_ptr<CDeviceRegistry> m_pRegistry;
    std::unique_ptr<CVxi11Server> m_pCore;
    std::unique_ptr<CPortmapServer> m_pPortmap;
};

void CVxi11ServerTest::initTestCase()
{
    m_pRegistry = std::make_shared<CDeviceRegistry>(std::make_shared<CInstrumentState>(), std::make_shared<CWireLog>());
    m_pCore = std::make_unique<CVxi11Server>(m_pRegistry);
    std::string strError;
    QVERIFY2(m_pCore->Start("127.0.0.1", 0, strError), strError.c_str());
    m_pPortmap = std::make_unique<CPortmapServer>();
    m_pPortmap->AddMapping(vxi11_core_prog, vxi11_core_vers, pmap_ipproto_tcp, m_pCore->Port());
    QVERIFY2(m_pPortmap->Start("127.0.0.1", 0, strError), strError.c_str());
    QVERIFY(m_pPortmap->Port() != 0);
}

void CVxi11ServerTest::cleanupTestCase()
{
    m_pPortmap.reset();
    m_pCore.reset();
}

// Each row over TCP and over UDP: libtirpc asks rpcbind v4, then v3, and
// falls back to portmapper v2 over UDP only on PROG_MISMATCH.
void CVxi11ServerTest::Portmapper_data()
{
    QTest::addColumn<bool>("bUdp");
    QTest::addColumn<uint32_t>("uProg");
    QTest::addColumn<uint32_t>("uVers");
    QTest::addColumn<uint32_t>("uProc");
    QTest::addColumn<QByteArray>("baArgs");
    QTest::addColumn<uint32_t>("uAcceptStat");
    QTest::addColumn<int>("nResult"); // the u32 result, -1 for none, -2 for the core port, -3 for our own

    const auto bytes = [](const xdr_bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())); };
    for (bool bUdp : {false, true}) {
        const char* pszVia = bUdp ? "UDP" : "TCP";
        QTest::addRow("%s: GETPORT core", pszVia)
            << bUdp << pmap_prog << 2u << uint32_t(pmap_getport)
            << bytes(Mapping(vxi11_core_prog, 1, pmap_ipproto_tcp)) << uint32_t(rpc_success) << -2;
        QTest::addRow("%s: GETPORT portmapper itself", pszVia)
            << bUdp << pmap_prog << 2u << uint32_t(pmap_getport) << bytes(Mapping(pmap_prog, 2, pmap_ipproto_tcp))
            << uint32_t(rpc_success) << -3;
        QTest::addRow("%s: GETPORT core over UDP is not offered", pszVia)
            << bUdp << pmap_prog << 2u << uint32_t(pmap_getport)
            << bytes(Mapping(vxi11_core_prog, 1, pmap_ipproto_udp)) << uint32_t(rpc_success) << 0;
        QTest::addRow("%s: GETPORT unknown program", pszVia)
            << bUdp << pmap_prog << 2u << uint32_t(pmap_getport) << bytes(Mapping(123456, 1, pmap_ipproto_tcp))
            << uint32_t(rpc_success) << 0;
        QTest::addRow("%s: NULL", pszVia) << bUdp << pmap_prog << 2u << 0u << QByteArray() << uint32_t(rpc_success)
                                          << -1;
        QTest::addRow("%s: rpcbind v3", pszVia) << bUdp << pmap_prog << 3u << 3u << QByteArray()
                                                << uint32_t(rpc_prog_mismatch) << -1;
        QTest::addRow("%s: rpcbind v4", pszVia) << bUdp << pmap_prog << 4u << 3u << QByteArray()
                                                << uint32_t(rpc_prog_mismatch) << -1;
        QTest::addRow("%s: unknown procedure", pszVia) << bUdp << pmap_prog << 2u << 9u << QByteArray()
                                                       << uint32_t(rpc_proc_unavail) << -1;
        QTest::addRow("%s: another program", pszVia) << bUdp << 100003u << 2u << 0u << QByteArray()
                                                     << uint32_t(rpc_prog_unavail) << -1;
        QTest::addRow("%s: GETPORT with half a mapping", pszVia)
            << bUdp << pmap_prog << 2u << uint32_t(pmap_getport) << bytes(U32s({vxi11_core_prog, 1}))
            << uint32_t(rpc_garbage_args) << -1;
    }
}

void CVxi11ServerTest::Portmapper()
{
    QFETCH(bool, bUdp);
    QFETCH(uint32_t, uProg);
    QFETCH(uint32_t, uVers);
    QFETCH(uint32_t, uProc);
    QFETCH(QByteArray, baArgs);
    QFETCH(uint32_t, uAcceptStat);
    QFETCH(int, nResult);

    CRawRpc rpc(m_pPortmap->Port(), bUdp);
    QVERIFY(rpc.Connected());
    const SReply reply = rpc.Call(uProg, uVers, uProc, xdr_bytes(baArgs.begin(), baArgs.end()));
    QVERIFY(reply.bOk);
    QCOMPARE(reply.uAcceptStat, uAcceptStat);
    if (uAcceptStat == rpc_prog_mismatch) {
        QCOMPARE(reply.uLow, 2u);
        QCOMPARE(reply.uHigh, 2u);
    }
    if (nResult == -1) {
        QVERIFY(reply.baResults.empty());
        return;
    }
    const uint32_t uExpected = nResult == -2 ? m_pCore->Port() : nResult == -3 ? m_pPortmap->Port() : uint32_t(nResult);
    QCOMPARE(reply.baResults.size(), size_t(4));
    xdr_reader r(reply.baResults);
    QCOMPARE(r.get_u32(), uExpected);
}

void CVxi11ServerTest::MappingChangesNeedAReservedPort_data()
{
    QTest::addColumn<bool>("bUdp");
    QTest::addColumn<bool>("bReserved");
    QTest::addColumn<uint32_t>("uProc");
    QTest::addColumn<uint32_t>("uProg");
    QTest::addColumn<bool>("bResult");

    for (bool bUdp : {false, true}) {
        const char* pszVia = bUdp ? "UDP" : "TCP";
        // Rows run in order: what a reserved port SETs, it UNSETs again.
        QTest::addRow("%s: SET from any port", pszVia) << bUdp << false << uint32_t(pmap_set) << 400100u << false;
        QTest::addRow("%s: UNSET of the core from any port", pszVia)
            << bUdp << false << uint32_t(pmap_unset) << vxi11_core_prog << false;
        QTest::addRow("%s: SET from a reserved port", pszVia) << bUdp << true << uint32_t(pmap_set) << 400100u << true;
        QTest::addRow("%s: UNSET of it from any port", pszVia)
            << bUdp << false << uint32_t(pmap_unset) << 400100u << false;
        QTest::addRow("%s: UNSET of it from a reserved port", pszVia)
            << bUdp << true << uint32_t(pmap_unset) << 400100u << true;
        QTest::addRow("%s: UNSET of the core from a reserved port", pszVia)
            << bUdp << true << uint32_t(pmap_unset) << vxi11_core_prog << false;
    }
}

void CVxi11ServerTest::MappingChangesNeedAReservedPort()
{
    QFETCH(bool, bUdp);
    QFETCH(bool, bReserved);
    QFETCH(uint32_t, uProc);
    QFETCH(uint32_t, uProg);
    QFETCH(bool, bResult);

    CRawRpc rpc(m_pPortmap->Port(), bUdp, bReserved);
    if (!rpc.Connected() && bReserved && ::geteuid() != 0)
        QSKIP("binding a reserved port needs root");
    QVERIFY(rpc.Connected());
    const pmap_mapping m{uProg, 1, pmap_ipproto_tcp, 4242};
    const SReply reply = rpc.Call(pmap_prog, 2, uProc, pmap_encode_mapping(m));
    QVERIFY(reply.bOk);
    xdr_reader r(reply.baResults);
    QCOMPARE(r.get_bool(), bResult);

    // Whatever was asked, the simulator's own clients still find its core.
    CRawRpc check(m_pPortmap->Port(), false);
    const SReply port = check.Call(pmap_prog, 2, pmap_getport, Mapping(vxi11_core_prog, 1, pmap_ipproto_tcp));
    xdr_reader rp(port.baResults);
    QCOMPARE(rp.get_u32(), uint32_t(m_pCore->Port()));
}

void CVxi11ServerTest::DumpListsEveryMapping()
{
    CRawRpc rpc(m_pPortmap->Port(), false);
    const SReply reply = rpc.Call(pmap_prog, 2, pmap_dump, {});
    QVERIFY(reply.bOk);
    xdr_reader r(reply.baResults);
    QSet<QString> setSeen;
    while (r.get_bool()) {
        pmap_mapping m;
        QVERIFY(pmap_decode_mapping(r, &m));
        setSeen.insert(QStringLiteral("%1/%2/%3/%4").arg(m.prog).arg(m.vers).arg(m.prot).arg(m.port));
    }
    QVERIFY(r.ok());
    QCOMPARE(r.remaining(), size_t(0));
    QVERIFY(setSeen.contains(QStringLiteral("395183/1/6/%1").arg(m_pCore->Port())));
    QVERIFY(setSeen.contains(QStringLiteral("100000/2/6/%1").arg(m_pPortmap->Port())));
    QVERIFY(setSeen.contains(QStringLiteral("100000/2/17/%1").arg(m_pPortmap->Port())));
}

// Calls the core channel must refuse or answer "not supported" without
// tearing the connection down.
void CVxi11ServerTest::CoreCalls_data()
{
    QTest::addColumn<uint32_t>("uVers");
    QTest::addColumn<uint32_t>("uProc");
    QTest::addColumn<QByteArray>("baArgs");
    QTest::addColumn<uint32_t>("uAcceptStat");
    QTest::addColumn<int>("nDeviceError"); // -1: no Device_Error to check

    const auto bytes = [](const xdr_bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())); };
    QTest::newRow("NULL") << 1u << 0u << QByteArray() << uint32_t(rpc_success) << -1;
    QTest::newRow("version 2") << 2u << 0u << QByteArray() << uint32_t(rpc_prog_mismatch) << -1;
    QTest::newRow("unknown procedure") << 1u << 99u << QByteArray() << uint32_t(rpc_proc_unavail) << -1;
    QTest::newRow("device_read, args cut short")
        << 1u << uint32_t(vxi11_device_read) << bytes(U32s({1, 100})) << uint32_t(rpc_garbage_args) << -1;
    QTest::newRow("device_write, opaque longer than the record")
        << 1u << uint32_t(vxi11_device_write) << bytes(U32s({1, 0, 0, 8, 4000})) << uint32_t(rpc_garbage_args)
        << -1;
    QTest::newRow("device_write on an unknown link")
        << 1u << uint32_t(vxi11_device_write) << bytes(U32s({999, 0, 0, 8, 0})) << uint32_t(rpc_success)
        << int(vxi11_err_invalid_link);
    QTest::newRow("destroy_link of an unknown link")
        << 1u << uint32_t(vxi11_destroy_link) << bytes(U32s({999})) << uint32_t(rpc_success)
        << int(vxi11_err_invalid_link);
    QTest::newRow("create_intr_chan") << 1u << uint32_t(vxi11_create_intr_chan) << bytes(U32s({0, 0, 0, 0, 0}))
                                      << uint32_t(rpc_success) << int(vxi11_err_not_supported);
    QTest::newRow("device_enable_srq") << 1u << uint32_t(vxi11_device_enable_srq) << bytes(U32s({1, 1, 0}))
                                       << uint32_t(rpc_success) << int(vxi11_err_not_supported);
}

void CVxi11ServerTest::CoreCalls()
{
    QFETCH(uint32_t, uVers);
    QFETCH(uint32_t, uProc);
    QFETCH(QByteArray, baArgs);
    QFETCH(uint32_t, uAcceptStat);
    QFETCH(int, nDeviceError);

    CRawRpc rpc(m_pCore->Port(), false);
    QVERIFY(rpc.Connected());
    const SReply reply = rpc.Call(vxi11_core_prog, uVers, uProc, xdr_bytes(baArgs.begin(), baArgs.end()));
    QVERIFY(reply.bOk);
    QCOMPARE(reply.uAcceptStat, uAcceptStat);
    if (nDeviceError >= 0)
        QCOMPARE(ErrorOf(reply), nDeviceError);
    // The connection survives and still serves.
    QCOMPARE(CreateLink(rpc, "inst0"), int32_t(vxi11_err_none));
}

void CVxi11ServerTest::CreateLinkNames_data()
{
    QTest::addColumn<QByteArray>("baDevice");
    QTest::addColumn<int>("nError");

    QTest::newRow("inst0") << QByteArray("inst0") << int(vxi11_err_none);
    QTest::newRow("inst1, a device of its own") << QByteArray("inst1") << int(vxi11_err_none);
    QTest::newRow("empty") << QByteArray() << int(vxi11_err_syntax);
    QTest::newRow("blank inside") << QByteArray("inst 0") << int(vxi11_err_syntax);
    QTest::newRow("control byte") << QByteArray("inst0\n") << int(vxi11_err_syntax);
    QTest::newRow("gateway name") << QByteArray("gpib0,5") << int(vxi11_err_not_accessible);
    QTest::newRow("HiSLIP name") << QByteArray("hislip0") << int(vxi11_err_not_accessible);
    QTest::newRow("upper case") << QByteArray("INST0") << int(vxi11_err_not_accessible);
    QTest::newRow("longer than the protocol allows") << QByteArray(300, 'i') << -1;
}

void CVxi11ServerTest::CreateLinkNames()
{
    QFETCH(QByteArray, baDevice);
    QFETCH(int, nError);
    CRawRpc rpc(m_pCore->Port(), false);
    vxi11_create_link_parms parms;
    parms.device = baDevice.toStdString();
    const SReply reply = rpc.Call(vxi11_core_prog, 1, vxi11_create_link, vxi11_encode(parms));
    QVERIFY(reply.bOk);
    if (nError < 0) {
        QCOMPARE(reply.uAcceptStat, uint32_t(rpc_garbage_args));
        return;
    }
    xdr_reader r(reply.baResults);
    vxi11_create_link_resp resp;
    QVERIFY(vxi11_decode(r, &resp));
    QCOMPARE(resp.error, nError);
    if (nError == vxi11_err_none) {
        QCOMPARE(resp.max_recv_size, 1024u);
        QCOMPARE(resp.abort_port, 0u);
        QVERIFY(resp.lid > 0);
    }
}

void CVxi11ServerTest::LocksDieWithTheirConnection()
{
    auto pA = std::make_unique<CRawRpc>(m_pCore->Port(), false);
    CRawRpc b(m_pCore->Port(), false);
    int32_t nLidA = 0, nLidB = 0;
    QCOMPARE(CreateLink(*pA, "inst0", &nLidA), int32_t(vxi11_err_none));
    QCOMPARE(CreateLink(b, "inst0", &nLidB), int32_t(vxi11_err_none));
    QVERIFY(nLidA != nLidB);

    QCOMPARE(Lock(*pA, nLidA, 0), int32_t(vxi11_err_none));
    QCOMPARE(WriteError(b, nLidB, "*CLS"), int32_t(vxi11_err_locked));
    QCOMPARE(Lock(b, nLidB, 0), int32_t(vxi11_err_locked));
    QCOMPARE(Lock(b, nLidB, 100), int32_t(vxi11_err_locked));
    QCOMPARE(ErrorOf(b.Call(vxi11_core_prog, 1, vxi11_device_unlock, U32s({uint32_t(nLidB)}))),
             int32_t(vxi11_err_no_lock));
    // Another connection cannot use A's link id.
    QCOMPARE(WriteError(b, nLidA, "*CLS"), int32_t(vxi11_err_invalid_link));

    pA->Close();
    QCOMPARE(Lock(b, nLidB, 10000), int32_t(vxi11_err_none));
    QCOMPARE(WriteError(b, nLidB, "*CLS"), int32_t(vxi11_err_none));
    QCOMPARE(ErrorOf(b.Call(vxi11_core_prog, 1, vxi11_destroy_link, U32s({uint32_t(nLidB)}))),
             int32_t(vxi11_err_none));
    CRawRpc c(m_pCore->Port(), false);
    int32_t nLidC = 0;
    QCOMPARE(CreateLink(c, "inst0", &nLidC), int32_t(vxi11_err_none));
    QCOMPARE(Lock(c, nLidC, 0), int32_t(vxi11_err_none));
}

void CVxi11ServerTest::LinksPerConnectionAreBounded()
{
    CRawRpc rpc(m_pCore->Port(), false);
    int nCreated = 0;
    int32_t nError = vxi11_err_none;
    while (nError == vxi11_err_none && nCreated < 1000) {
        nError = CreateLink(rpc, "inst0");
        nCreated += nError == vxi11_err_none;
    }
    QCOMPARE(nError, int32_t(vxi11_err_out_of_resources));
    QVERIFY(nCreated >= 16);
    // A new connection has room of its own.
    CRawRpc other(m_pCore->Port(), false);
    QCOMPARE(CreateLink(other, "inst0"), int32_t(vxi11_err_none));
}

void CVxi11ServerTest::DevicesGoWithTheirLastLink()
{
    // Every name a client tries must not leave a device behind.
    CRawRpc a(m_pCore->Port(), false);
    CRawRpc b(m_pCore->Port(), false);
    int32_t nLidA = 0, nLidB = 0;
    QCOMPARE(CreateLink(a, "inst4711", &nLidA), int32_t(vxi11_err_none));
    QCOMPARE(CreateLink(b, "inst4711", &nLidB), int32_t(vxi11_err_none));
    const std::weak_ptr<CDevice> pDevice = m_pRegistry->Get("inst4711");
    QCOMPARE(ErrorOf(a.Call(vxi11_core_prog, 1, vxi11_destroy_link, U32s({uint32_t(nLidA)}))),
             int32_t(vxi11_err_none));
    QVERIFY(!pDevice.expired());
    b.Close();
    QTRY_VERIFY_WITH_TIMEOUT(pDevice.expired(), kWaitMs);
}

void CVxi11ServerTest::OversizedRecordClosesConnection()
{
    CRawRpc rpc(m_pCore->Port(), false);
    QVERIFY(rpc.SendRaw(U32s({0x80000000u | (64u << 20)})));
    QVERIFY(rpc.WaitClosed());
}

QTEST_GUILESS_MAIN(CVxi11ServerTest)
#include "tst_vxi11_server.moc"

