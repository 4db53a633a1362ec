#include "find/find_mdns.h"

#include "mdns_codec.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>

namespace velq {

const char *const kMdnsServiceTypes[4] = {"_hislip._tcp.local", "_vxi-11._tcp.local", "_scpi-raw._tcp.local",
                                          "_lxi._tcp.local"};

namespace {

// Bounds what a flood of answers can make us keep.
constexpr size_t kMaxAnswers = 512;

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string dotted(uint32_t host_order)
{
    in_addr a{};
    a.s_addr = htonl(host_order);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

} // namespace

std::vector<std::string> find_source_mdns::names_from(const std::vector<std::pair<mdns_message, uint32_t>> &answers)
{
    // Records may arrive in any packet of the search: gather them all first.
    std::map<std::string, std::pair<std::string, uint32_t>> instances; // instance -> service type, sender
    std::map<std::string, std::pair<std::string, uint16_t>> srv;      // instance -> target, port
    std::map<std::string, uint32_t> hosts;                            // host -> address
    for (const auto &a : answers) {
        for (const mdns_record &r : a.first.records) {
            if (r.type == mdns_ptr) {
                for (const char *type : kMdnsServiceTypes) {
                    if (mdns_name_equal(r.name, type))
                        instances.emplace(lower(r.target), std::make_pair(std::string(type), a.second));
                }
            } else if (r.type == mdns_srv) {
                srv.emplace(lower(r.name), std::make_pair(lower(r.target), r.port));
            } else if (r.type == mdns_a && r.ipv4 != 0) {
                hosts.emplace(lower(r.name), r.ipv4);
            }
        }
    }
    std::vector<std::string> names;
    for (const auto &inst : instances) {
        const auto s = srv.find(inst.first);
        if (s == srv.end())
            continue;
        const auto h = hosts.find(s->second.first);
        const std::string addr = dotted(h != hosts.end() ? h->second : inst.second.second);
        const uint16_t port = s->second.second;
        const std::string &type = inst.second.first;
        if (type == kMdnsServiceTypes[0])
            names.push_back("TCPIP0::" + addr + "::hislip0" + (port == 4880 || port == 0 ? "" : "," + std::to_string(port)) + "::INSTR");
        else if (type == kMdnsServiceTypes[2] && port != 0)
            names.push_back("TCPIP0::" + addr + "::" + std::to_string(port) + "::SOCKET");
        else if (type != kMdnsServiceTypes[2])
            names.push_back("TCPIP0::" + addr + "::inst0::INSTR"); // VXI-11, and every LXI device speaks it
    }
    return names;
}

void find_source_mdns::collect(std::vector<found_rsrc> *out, unsigned timeout_ms)
{
    std::vector<int> fds;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (ifaddrs *ifa = list; ifa; ifa = ifa->ifa_next) {
            if (!ifa->ifa_addr || ifa->ifa_addr->sa_family != AF_INET || !(ifa->ifa_flags & IFF_UP)
                || !(ifa->ifa_flags & IFF_MULTICAST) || (ifa->ifa_flags & IFF_LOOPBACK))
                continue;
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0)
                continue;
            const in_addr local = reinterpret_cast<const sockaddr_in *>(ifa->ifa_addr)->sin_addr;
            const unsigned char ttl = 255;
            ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
            ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
            fds.push_back(fd);
        }
        freeifaddrs(list);
    }
    mdns_message query;
    query.id = static_cast<uint16_t>(std::random_device{}() | 1);
    for (const char *type : kMdnsServiceTypes)
        query.questions.emplace_back(type, mdns_ptr);
    const std::vector<uint8_t> packet = mdns_encode(query);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_port);
    to.sin_addr.s_addr = htonl(m_group);
    for (int fd : fds)
        ::sendto(fd, packet.data(), packet.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&to), sizeof to);

    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
    std::vector<std::pair<mdns_message, uint32_t>> answers;
    std::vector<pollfd> pfds;
    for (int fd : fds)
        pfds.push_back({fd, POLLIN, 0});
    uint8_t buf[9000];
    while (!pfds.empty() && answers.size() < kMaxAnswers) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0)
            break;
        if (::poll(pfds.data(), pfds.size(), static_cast<int>(left)) <= 0)
            continue;
        for (pollfd &p : pfds) {
            if (!(p.revents & POLLIN))
                continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(p.fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &len);
            mdns_message m;
            // Only answers to this query: a legacy unicast reply echoes its id.
            if (n > 0 && mdns_decode(buf, static_cast<size_t>(n), &m) && (m.flags & 0x8000) && m.id == query.id)
                answers.emplace_back(std::move(m), ntohl(from.sin_addr.s_addr));
        }
    }
    for (int fd : fds)
        ::close(fd);
    for (std::string &name : names_from(answers))
        out->push_back({std::move(name), {}, {}});
}

} // namespace velq
