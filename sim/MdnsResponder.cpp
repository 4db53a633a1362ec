#include "MdnsResponder.h"

#include "mdns_codec.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The DNS message codec shared with the VISA library.
using namespace velq;

namespace {

constexpr int kPollMs = 200;
// One-shot queriers cache nothing past ten seconds, so a longer time to live means nothing.
constexpr uint32_t kLegacyTtl = 10;
constexpr uint32_t kTtl = 120;

} // namespace

CMdnsResponder::~CMdnsResponder()
{
    Stop();
}

bool CMdnsResponder::Start(const std::string& strBindAddress, const std::string& strInstance,
                           std::vector<std::pair<std::string, uint16_t>> lstServices, std::string& strError)
{
    in_addr local{};
    if (inet_pton(AF_INET, strBindAddress.c_str(), &local) != 1) {
        strError = "mDNS: invalid IPv4 bind address: " + strBindAddress;
        return false;
    }
    m_uAddress = ntohl(local.s_addr);
    m_strInstance = strInstance;
    m_lstServices = std::move(lstServices);
    // A host name of our own; labels are plain so any querier reads them back as sent.
    m_strHost = "velqsim-" + std::to_string(::getpid()) + ".local";
    m_nFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int nOne = 1;
    ::setsockopt(m_nFd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof nOne);
    ::setsockopt(m_nFd, SOL_SOCKET, SO_REUSEPORT, &nOne, sizeof nOne); // beside a running daemon
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(mdns_port);
    ip_mreq mreq{};
    mreq.imr_multiaddr.s_addr = htonl(mdns_group);
    mreq.imr_interface = local;
    if (m_nFd < 0 || ::bind(m_nFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || ::setsockopt(m_nFd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) != 0) {
        strError = std::string("mDNS: cannot listen on port 5353: ") + std::strerror(errno);
        if (m_nFd >= 0)
            ::close(m_nFd);
        m_nFd = -1;
        return false;
    }
    ::setsockopt(m_nFd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
    m_bStop = false;
    m_thread = std::thread(&CMdnsResponder::Loop, this);
    return true;
}

void CMdnsResponder::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
}

std::vector<uint8_t> CMdnsResponder::Answer(const uint8_t* pData, size_t nSize, bool& bFound) const
{
    bFound = false;
    mdns_message query;
    if (!mdns_decode(pData, nSize, &query) || (query.flags & 0x8000))
        return {};
    mdns_message reply;
    reply.id = query.id;
    reply.flags = 0x8400;
    bool bAddress = false;
    for (const auto& question : query.questions) {
        for (const auto& service : m_lstServices) {
            if (!mdns_name_equal(question.first, service.first)
                || (question.second != mdns_ptr && question.second != mdns_any))
                continue;
            bFound = true;
            reply.questions.push_back(question);
            const std::string strFull = m_strInstance + "." + service.first;
            mdns_record ptr;
            ptr.name = service.first;
            ptr.type = mdns_ptr;
            ptr.target = strFull;
            mdns_record srv;
            srv.name = strFull;
            srv.type = mdns_srv;
            srv.port = service.second;
            srv.target = m_strHost;
            mdns_record txt;
            txt.name = strFull;
            txt.type = mdns_txt;
            txt.txt = {"txtvers=1"};
            for (mdns_record* pRec : {&ptr, &srv, &txt})
                reply.records.push_back(*pRec);
            bAddress = true;
        }
    }
    if (bAddress) {
        mdns_record a;
        a.name = m_strHost;
        a.type = mdns_a;
        a.ipv4 = m_uAddress;
        reply.records.push_back(a);
    }
    return bFound ? mdns_encode(reply) : std::vector<uint8_t>();
}

void CMdnsResponder::Loop()
{
    std::vector<uint8_t> buf(9000);
    while (!m_bStop) {
        pollfd pfd{m_nFd, POLLIN, 0};
        if (::poll(&pfd, 1, kPollMs) <= 0)
            continue;
        sockaddr_in peer{};
        socklen_t nPeerLen = sizeof peer;
        const ssize_t n = ::recvfrom(m_nFd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&peer), &nPeerLen);
        if (n <= 0)
            continue;
        bool bFound = false;
        std::vector<uint8_t> baReply = Answer(buf.data(), static_cast<size_t>(n), bFound);
        if (!bFound)
            continue;
        const bool bLegacy = ntohs(peer.sin_port) != mdns_port;
        if (!bLegacy) {
            // Multicast answers carry no id and no questions, and the usual lifetime.
            mdns_message msg;
            mdns_decode(baReply.data(), baReply.size(), &msg);
            msg.id = 0;
            msg.questions.clear();
            for (mdns_record& rec : msg.records)
                rec.ttl = kTtl;
            baReply = mdns_encode(msg);
            peer.sin_addr.s_addr = htonl(mdns_group);
        } else {
            mdns_message msg;
            mdns_decode(baReply.data(), baReply.size(), &msg);
            for (mdns_record& rec : msg.records)
                rec.ttl = kLegacyTtl;
            baReply = mdns_encode(msg);
        }
        ::sendto(m_nFd, baReply.data(), baReply.size(), 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
    }
}
