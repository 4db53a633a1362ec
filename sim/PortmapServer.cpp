#include "PortmapServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

constexpr int kPollMs = 200;
constexpr size_t kMaxDatagram = 9000;

// Mappings that SET may add besides ours, so that the table stays small.
constexpr size_t kMaxForeignMappings = 64;

// As rpcbind does for callers it cannot identify otherwise: only a process
// allowed to bind a reserved port on this host may change the mappings.
bool MayChangeMappings(const sockaddr_storage& peer)
{
    if (peer.ss_family != AF_INET)
        return false;
    const auto& in = reinterpret_cast<const sockaddr_in&>(peer);
    return (ntohl(in.sin_addr.s_addr) >> 24) == 127 && ntohs(in.sin_port) < 1024;
}

bool SameKey(const pmap_mapping& a, const pmap_mapping& b)
{
    return a.prog == b.prog && a.vers == b.vers && a.prot == b.prot;
}

} // namespace

CPortmapServer::~CPortmapServer()
{
    Stop();
}

void CPortmapServer::AddMapping(uint32_t uProg, uint32_t uVers, uint32_t uProt, uint16_t uPort)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_lstMappings.push_back({uProg, uVers, uProt, uPort});
}

std::string CPortmapServer::AnnounceLine() const
{
    return "PORTMAPPER " + std::to_string(m_uPort);
}

bool CPortmapServer::BindUdp(const std::string& strAddress, uint16_t uPort, std::string& strError)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uPort);
    if (inet_pton(AF_INET, strAddress.c_str(), &addr.sin_addr) != 1) {
        strError = "invalid IPv4 bind address: " + strAddress;
        return false;
    }
    m_nUdpFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_nUdpFd < 0 || ::bind(m_nUdpFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        strError = "cannot bind UDP " + strAddress + ":" + std::to_string(uPort) + ": " + std::strerror(errno);
        if (m_nUdpFd >= 0)
            ::close(m_nUdpFd);
        m_nUdpFd = -1;
        return false;
    }
    return true;
}

// A socket bound to one unicast address never sees datagrams sent to its subnet's broadcast
// address, which is how instruments are searched for; a second socket bound to that address does.
void CPortmapServer::BindBroadcast(const std::string& strAddress, uint16_t uPort)
{
    in_addr bindAddr{};
    if (inet_pton(AF_INET, strAddress.c_str(), &bindAddr) != 1 || bindAddr.s_addr == htonl(INADDR_ANY))
        return;
    ifaddrs* pList = nullptr;
    if (getifaddrs(&pList) != 0)
        return;
    for (ifaddrs* pIfa = pList; pIfa && m_nBroadcastFd < 0; pIfa = pIfa->ifa_next) {
        if (!pIfa->ifa_addr || pIfa->ifa_addr->sa_family != AF_INET || !(pIfa->ifa_flags & IFF_BROADCAST)
            || !pIfa->ifa_broadaddr
            || reinterpret_cast<const sockaddr_in*>(pIfa->ifa_addr)->sin_addr.s_addr != bindAddr.s_addr)
            continue;
        sockaddr_in addr = *reinterpret_cast<const sockaddr_in*>(pIfa->ifa_broadaddr);
        addr.sin_port = htons(uPort);
        const int nFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (nFd >= 0 && ::bind(nFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
            m_nBroadcastFd = nFd;
        else if (nFd >= 0)
            ::close(nFd);
    }
    freeifaddrs(pList);
}

bool CPortmapServer::Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError)
{
    std::string strListenError;
    // An ephemeral TCP port may be taken on UDP; try a few.
    for (int nTry = 0; nTry < 8; ++nTry) {
        if (!Listen(strBindAddress, uPort, strListenError))
            break;
        std::string strUdpError;
        if (BindUdp(strBindAddress, ListenPort(), strUdpError)) {
            m_uPort = ListenPort();
            break;
        }
        if (uPort != 0) {
            // A fixed port whose UDP side is busy still serves TCP clients.
            m_uPort = ListenPort();
            break;
        }
        StopListening();
    }
    if (m_uPort != 0) {
        {
            std::lock_guard<std::mutex> lock(m_mtx);
            m_lstMappings.push_back({pmap_prog, pmap_vers, pmap_ipproto_tcp, m_uPort});
            if (m_nUdpFd >= 0)
                m_lstMappings.push_back({pmap_prog, pmap_vers, pmap_ipproto_udp, m_uPort});
            m_nOwnMappings = m_lstMappings.size();
        }
        if (m_nUdpFd >= 0) {
            BindBroadcast(strBindAddress, m_uPort);
            m_bUdpStop = false;
            m_udpThread = std::thread(&CPortmapServer::UdpLoop, this);
        }
        return true;
    }
    if (uPort == pmap_port) {
        std::string strRegError;
        if (RegisterWithRpcbind(true, strRegError)) {
            m_bRegistered = true;
            m_uPort = pmap_port;
            return true;
        }
        strError = strListenError + "; no rpcbind took the registration (" + strRegError + ")";
        return false;
    }
    strError = strListenError;
    return false;
}

void CPortmapServer::Stop()
{
    if (m_bRegistered) {
        std::string strIgnored;
        RegisterWithRpcbind(false, strIgnored);
        m_bRegistered = false;
    }
    m_bUdpStop = true;
    if (m_udpThread.joinable())
        m_udpThread.join();
    if (m_nUdpFd >= 0)
        ::close(m_nUdpFd);
    m_nUdpFd = -1;
    if (m_nBroadcastFd >= 0)
        ::close(m_nBroadcastFd);
    m_nBroadcastFd = -1;
    StopListening();
}

xdr_bytes CPortmapServer::Answer(const rpc_call_info& call, xdr_reader& args, const sockaddr_storage& peer)
{
    if (call.h.prog != pmap_prog)
        return rpc_encode_reply_error(call.h.xid, rpc_prog_unavail);
    if (call.h.vers != pmap_vers)
        return rpc_encode_reply_error(call.h.xid, rpc_prog_mismatch, pmap_vers, pmap_vers);

    xdr_writer w;
    switch (call.h.proc) {
    case pmap_null:
        break;
    case pmap_set:
    case pmap_unset:
    case pmap_getport: {
        pmap_mapping m;
        if (!pmap_decode_mapping(args, &m))
            return rpc_encode_reply_error(call.h.xid, rpc_garbage_args);
        std::lock_guard<std::mutex> lock(m_mtx);
        if (call.h.proc != pmap_getport && !MayChangeMappings(peer)) {
            // Another local program must not redirect our clients to itself.
            w.put_bool(false);
        } else if (call.h.proc == pmap_getport) {
            uint32_t uPort = 0;
            for (const auto& e : m_lstMappings)
                if (SameKey(e, m))
                    uPort = e.port;
            w.put_u32(uPort);
        } else if (call.h.proc == pmap_set) {
            bool bTaken = m_lstMappings.size() >= m_nOwnMappings + kMaxForeignMappings;
            for (const auto& e : m_lstMappings)
                bTaken = bTaken || SameKey(e, m);
            if (!bTaken)
                m_lstMappings.push_back(m);
            w.put_bool(!bTaken);
        } else {
            // UNSET ignores prot and port: every protocol of prog/vers goes.
            const size_t nBefore = m_lstMappings.size();
            // Our own mappings come first and stay, whoever asks.
            m_lstMappings.erase(std::remove_if(m_lstMappings.begin() + static_cast<long>(m_nOwnMappings),
                                               m_lstMappings.end(),
                                               [&](const pmap_mapping& e) {
                                                   return e.prog == m.prog && e.vers == m.vers;
                                               }),
                                m_lstMappings.end());
            w.put_bool(m_lstMappings.size() != nBefore);
        }
        break;
    }
    case pmap_dump: {
        std::lock_guard<std::mutex> lock(m_mtx);
        for (const auto& e : m_lstMappings) {
            w.put_bool(true);
            w.put_raw(pmap_encode_mapping(e));
        }
        w.put_bool(false);
        break;
    }
    default:
        return rpc_encode_reply_error(call.h.xid, rpc_proc_unavail);
    }
    return rpc_encode_reply(call.h.xid, w.buf);
}

CRpcTcpServer::EAction CPortmapServer::OnCall(SConnection& conn, const rpc_call_info& call, xdr_reader& args,
                                              xdr_bytes& baReply)
{
    sockaddr_storage peer{};
    socklen_t nPeerLen = sizeof peer;
    if (::getpeername(conn.nFd, reinterpret_cast<sockaddr*>(&peer), &nPeerLen) != 0)
        peer.ss_family = AF_UNSPEC;
    baReply = Answer(call, args, peer);
    return EAction::Reply;
}

void CPortmapServer::UdpLoop()
{
    std::vector<uint8_t> buf(kMaxDatagram);
    while (!m_bUdpStop) {
        pollfd lstPfd[2] = {{m_nUdpFd, POLLIN, 0}, {m_nBroadcastFd, POLLIN, 0}};
        if (::poll(lstPfd, m_nBroadcastFd >= 0 ? 2 : 1, kPollMs) <= 0)
            continue;
        const int nFd = lstPfd[0].revents != 0 ? m_nUdpFd : m_nBroadcastFd;
        sockaddr_storage peer{};
        socklen_t nPeerLen = sizeof peer;
        const ssize_t n = ::recvfrom(nFd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&peer),
                                     &nPeerLen);
        if (n <= 0)
            continue;
        const xdr_bytes baCall(buf.begin(), buf.begin() + n);
        rpc_call_info call;
        xdr_bytes baReply;
        const rpc_decode_status eStatus = rpc_decode_call(baCall, &call);
        if (eStatus == rpc_ok) {
            xdr_reader args(baCall.data() + call.args_offset, baCall.size() - call.args_offset);
            baReply = Answer(call, args, peer);
        } else if (eStatus == rpc_denied) {
            baReply = rpc_encode_reply_rpc_mismatch(call.h.xid);
        } else {
            continue;
        }
        ::sendto(m_nUdpFd, baReply.data(), baReply.size(), 0, reinterpret_cast<sockaddr*>(&peer), nPeerLen);
    }
}

// PMAP SET/UNSET to the local rpcbind over UDP, one mapping at a time.
bool CPortmapServer::RegisterWithRpcbind(bool bSet, std::string& strError)
{
    std::vector<pmap_mapping> lst;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        lst = bSet ? m_lstMappings : m_lstForeign;
    }
    const int nFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (nFd < 0) {
        strError = std::strerror(errno);
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(pmap_port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Connected, so that a port nobody listens on answers at once with
    // ECONNREFUSED instead of a silent wait.
    if (::connect(nFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        strError = std::strerror(errno);
        ::close(nFd);
        return false;
    }
    bool bAll = true;
    uint32_t uXid = static_cast<uint32_t>(::getpid()) << 8;
    for (const auto& m : lst) {
        const xdr_bytes baCall = rpc_encode_call({++uXid, pmap_prog, pmap_vers, bSet ? uint32_t(pmap_set)
                                                                                    : uint32_t(pmap_unset)},
                                                 pmap_encode_mapping(m));
        if (::send(nFd, baCall.data(), baCall.size(), 0) < 0) {
            strError = std::string("sending to rpcbind: ") + std::strerror(errno);
            bAll = false;
            break;
        }
        pollfd pfd{nFd, POLLIN, 0};
        uint8_t aReply[256];
        ssize_t n = -1;
        if (::poll(&pfd, 1, 1000) > 0)
            n = ::recv(nFd, aReply, sizeof aReply, 0);
        rpc_reply_info info;
        const xdr_bytes baReply(aReply, aReply + (n > 0 ? n : 0));
        if (n <= 0 || rpc_decode_reply(baReply, uXid, &info) != rpc_ok) {
            strError = n < 0 && errno == ECONNREFUSED ? "nothing listens there"
                       : n <= 0                       ? "rpcbind did not answer"
                                                      : "rpcbind refused the call";
            bAll = false;
            break;
        }
        xdr_reader r(baReply.data() + info.results_offset, baReply.size() - info.results_offset);
        if (!r.get_bool() && bSet) {
            strError = "rpcbind refused the mapping";
            bAll = false;
            break;
        }
        if (bSet) {
            std::lock_guard<std::mutex> lock(m_mtx);
            m_lstForeign.push_back(m);
        }
    }
    ::close(nFd);
    if (!bSet) {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_lstForeign.clear();
    }
    return bAll && !lst.empty();
}
