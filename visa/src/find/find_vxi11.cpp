#include "find_vxi11.h"

#include "rpc_message.h"
#include "vxi11_proto.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>

namespace velq {

namespace {

// No segment holds more instruments than this; a flood of forged answers stops here.
constexpr size_t kMaxHosts = 1024;

} // namespace

xdr_bytes vxi11_find_call(uint32_t xid)
{
    xdr_writer args;
    args.put_u32(vxi11_core_prog);
    args.put_u32(vxi11_core_vers);
    args.put_u32(pmap_ipproto_tcp);
    args.put_u32(0);
    rpc_call_header h;
    h.xid = xid;
    h.prog = pmap_prog;
    h.vers = pmap_vers;
    h.proc = pmap_getport;
    return rpc_encode_call(h, args.buf);
}

uint16_t vxi11_find_reply(const uint8_t *data, size_t n, uint32_t xid)
{
    const xdr_bytes body(data, data + n);
    rpc_reply_info info;
    if (rpc_decode_reply(body, xid, &info) != rpc_ok)
        return 0;
    xdr_reader r(body.data() + info.results_offset, body.size() - info.results_offset);
    const uint32_t port = r.get_u32();
    return r.ok() && port <= 0xFFFF ? static_cast<uint16_t>(port) : 0;
}

std::vector<std::string> find_source_vxi11::broadcast_addresses()
{
    std::vector<std::string> out;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs *ifa = list; ifa; ifa = ifa->ifa_next) {
        if (!ifa->ifa_addr || ifa->ifa_addr->sa_family != AF_INET || !(ifa->ifa_flags & IFF_UP)
            || !(ifa->ifa_flags & IFF_BROADCAST) || !ifa->ifa_broadaddr)
            continue;
        char text[INET_ADDRSTRLEN] = "";
        const auto *sin = reinterpret_cast<const sockaddr_in *>(ifa->ifa_broadaddr);
        if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text) && std::find(out.begin(), out.end(), text) == out.end())
            out.push_back(text);
    }
    freeifaddrs(list);
    return out;
}

void find_source_vxi11::collect(std::vector<found_rsrc> *out, unsigned timeout_ms)
{
    const std::vector<std::string> targets = m_targets.empty() ? broadcast_addresses() : m_targets;
    if (targets.empty())
        return;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    // A fresh xid per search, so late answers to an earlier search are not taken for this one.
    const uint32_t xid = std::random_device{}();
    const xdr_bytes call = vxi11_find_call(xid);
    for (const std::string &t : targets) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(m_port);
        if (inet_pton(AF_INET, t.c_str(), &to.sin_addr) == 1)
            ::sendto(fd, call.data(), call.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
    std::set<uint32_t> seen;
    uint8_t buf[1500];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0 || seen.size() >= kMaxHosts)
            break;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t from_len = sizeof from;
        const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &from_len);
        if (n <= 0 || from.sin_family != AF_INET)
            continue;
        if (vxi11_find_reply(buf, static_cast<size_t>(n), xid) == 0)
            continue;
        if (!seen.insert(from.sin_addr.s_addr).second)
            continue;
        char text[INET_ADDRSTRLEN] = "";
        if (inet_ntop(AF_INET, &from.sin_addr, text, sizeof text))
            out->push_back({std::string("TCPIP0::") + text + "::inst0::INSTR", {}, {}});
    }
    ::close(fd);
}

} // namespace velq
