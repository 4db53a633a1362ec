// A peer for bench/run-bench.sh that should never be what a figure measures: one thread,
// no SCPI engine, answers sent from buffers built once, in the largest writes the kernel takes.
//   velqbenchpeer [--socket-port P] [--hislip-port P]
// prints "SOCKET <port> <resource>", "HISLIP <port> <resource>" and "READY", then serves until
// killed. It knows "*IDN?" (a fixed line), "TEST:BLOC? <n>" (a definite-length block of n bytes)
// and answers any other query with "0"; commands without '?' get no answer.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kIdentity[] = "VELQUIST,BENCHPEER,0,1.0\n";
constexpr uint64_t kOurMaxMessage = uint64_t(1) << 40;

enum class EKind { SocketListen, HislipListen, Socket, Hislip };

struct SConn
{
    EKind eKind;
    int nFd;
    std::string strIn;
    uint64_t uClientMax = 1 << 20;
    uint32_t uSessionId = 0;
};

int Listen(uint16_t uPort, uint16_t& uBound)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int nOne = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof nOne);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
        std::perror("velqbenchpeer: bind");
        std::exit(1);
    }
    socklen_t nLen = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen);
    uBound = ntohs(addr.sin_port);
    return fd;
}

bool SendAll(int fd, const char* p, size_t n, int nFlags = 0)
{
    while (n > 0) {
        const ssize_t nSent = send(fd, p, n, MSG_NOSIGNAL | nFlags);
        if (nSent < 0 && errno == EINTR)
            continue;
        if (nSent <= 0)
            return false;
        p += nSent;
        n -= static_cast<size_t>(nSent);
    }
    return true;
}

// Block payloads are built once per size, so a measured round never pays for generating them.
const std::string& Block(size_t uBytes)
{
    static std::map<size_t, std::string> s_mapBlocks;
    std::string& strBlock = s_mapBlocks[uBytes];
    if (strBlock.size() != uBytes) {
        strBlock.resize(uBytes);
        for (size_t k = 0; k < uBytes; ++k)
            strBlock[k] = static_cast<char>(k & 0xff);
    }
    return strBlock;
}

// The answer to one program message as header + payload + trailer, so the payload is never copied.
struct SAnswer
{
    std::string strHead;
    const std::string* pBody = nullptr;
    std::string strTail;
    bool Empty() const { return strHead.empty() && !pBody && strTail.empty(); }
};

SAnswer Answer(std::string strMessage)
{
    while (!strMessage.empty() && (strMessage.back() == '\n' || strMessage.back() == '\r'))
        strMessage.pop_back();
    SAnswer answer;
    if (strMessage == "*IDN?") {
        answer.strHead = kIdentity;
    } else if (strMessage.compare(0, 9, "TEST:BLOC") == 0 && strMessage.find('?') != std::string::npos) {
        const size_t uBytes = std::strtoull(strMessage.c_str() + strMessage.find('?') + 1, nullptr, 10);
        const std::string strLength = std::to_string(uBytes);
        answer.strHead = "#" + std::to_string(strLength.size()) + strLength;
        answer.pBody = &Block(uBytes);
        answer.strTail = "\n";
    } else if (strMessage.find('?') != std::string::npos) {
        answer.strHead = "0\n";
    }
    return answer;
}

bool ServeSocket(SConn& conn)
{
    size_t uLineEnd;
    while ((uLineEnd = conn.strIn.find('\n')) != std::string::npos) {
        const SAnswer answer = Answer(conn.strIn.substr(0, uLineEnd));
        conn.strIn.erase(0, uLineEnd + 1);
        if (answer.Empty())
            continue;
        const int nMore = answer.pBody ? MSG_MORE : 0;
        if (!SendAll(conn.nFd, answer.strHead.data(), answer.strHead.size(), nMore))
            return false;
        if (answer.pBody && (!SendAll(conn.nFd, answer.pBody->data(), answer.pBody->size(), MSG_MORE) ||
                             !SendAll(conn.nFd, answer.strTail.data(), answer.strTail.size())))
            return false;
    }
    return true;
}

void PutU32(uint32_t u, char* p)
{
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<char>(u >> (24 - 8 * k));
}

void PutU64(uint64_t u, char* p)
{
    for (int k = 0; k < 8; ++k)
        p[k] = static_cast<char>(u >> (56 - 8 * k));
}

uint64_t GetU(const char* p, int nBytes)
{
    uint64_t u = 0;
    for (int k = 0; k < nBytes; ++k)
        u = (u << 8) | static_cast<uint8_t>(p[k]);
    return u;
}

bool SendHislip(int fd, uint8_t uType, uint8_t uControl, uint32_t uParam, const char* pPayload, uint64_t uLength)
{
    char hdr[16] = {'H', 'S', static_cast<char>(uType), static_cast<char>(uControl)};
    PutU32(uParam, hdr + 4);
    PutU64(uLength, hdr + 8);
    return SendAll(fd, hdr, sizeof hdr, uLength ? MSG_MORE : 0) && SendAll(fd, pPayload, uLength);
}

// The answer goes out as Data messages of at most the client's maximum size, the last one DataEnd.
bool SendHislipAnswer(SConn& conn, uint32_t uMessageId, const SAnswer& answer)
{
    struct SPart { const char* p; size_t n; };
    const SPart parts[3] = {{answer.strHead.data(), answer.strHead.size()},
                            {answer.pBody ? answer.pBody->data() : nullptr, answer.pBody ? answer.pBody->size() : 0},
                            {answer.strTail.data(), answer.strTail.size()}};
    uint64_t uLeft = 0;
    for (const SPart& part : parts)
        uLeft += part.n;
    const uint64_t uMax = conn.uClientMax > 16 ? conn.uClientMax - 16 : 1;
    size_t uPart = 0;
    size_t uOffset = 0;
    while (uLeft > 0) {
        const uint64_t uMessage = uLeft < uMax ? uLeft : uMax;
        uLeft -= uMessage;
        char hdr[16] = {'H', 'S', static_cast<char>(uLeft == 0 ? 7 : 6), 0};
        PutU32(uMessageId, hdr + 4);
        PutU64(uMessage, hdr + 8);
        if (!SendAll(conn.nFd, hdr, sizeof hdr, MSG_MORE))
            return false;
        for (uint64_t uToGo = uMessage; uToGo > 0;) {
            while (parts[uPart].n == uOffset) {
                ++uPart;
                uOffset = 0;
            }
            const size_t uTake = static_cast<size_t>(std::min<uint64_t>(uToGo, parts[uPart].n - uOffset));
            if (!SendAll(conn.nFd, parts[uPart].p + uOffset, uTake, uToGo > uTake ? MSG_MORE : 0))
                return false;
            uOffset += uTake;
            uToGo -= uTake;
        }
    }
    return true;
}

bool ServeHislip(SConn& conn, std::string& strMessage, uint32_t& uNextSession)
{
    while (conn.strIn.size() >= 16) {
        const char* p = conn.strIn.data();
        if (p[0] != 'H' || p[1] != 'S')
            return false;
        const uint64_t uLength = GetU(p + 8, 8);
        if (conn.strIn.size() < 16 + uLength)
            return true;
        const uint8_t uType = static_cast<uint8_t>(p[2]);
        const uint8_t uControl = static_cast<uint8_t>(p[3]);
        const uint32_t uParam = static_cast<uint32_t>(GetU(p + 4, 4));
        const std::string strPayload = conn.strIn.substr(16, uLength);
        conn.strIn.erase(0, 16 + uLength);
        bool bOk = true;
        char size_be[8];
        switch (uType) {
        case 0: // Initialize: synchronous mode, so answers come only for the message just sent
            conn.uSessionId = uNextSession++;
            bOk = SendHislip(conn.nFd, 1, 0, (0x0100u << 16) | conn.uSessionId, nullptr, 0);
            break;
        case 17: // AsyncInitialize
            bOk = SendHislip(conn.nFd, 18, 0, 0x5642, nullptr, 0);
            break;
        case 15: // AsyncMaximumMessageSize
            if (strPayload.size() == 8)
                conn.uClientMax = GetU(strPayload.data(), 8);
            PutU64(kOurMaxMessage, size_be);
            bOk = SendHislip(conn.nFd, 16, 0, 0, size_be, 8);
            break;
        case 6: // Data
        case 7: // DataEnd
            strMessage += strPayload;
            if (uType == 7) {
                bOk = SendHislipAnswer(conn, uParam, Answer(strMessage));
                strMessage.clear();
            }
            break;
        case 4: // AsyncLock
            bOk = SendHislip(conn.nFd, 5, 1, 0, nullptr, 0);
            break;
        case 10: // AsyncRemoteLocalControl
            bOk = SendHislip(conn.nFd, 11, 0, 0, nullptr, 0);
            break;
        case 19: // AsyncDeviceClear
            bOk = SendHislip(conn.nFd, 23, 0, 0, nullptr, 0);
            break;
        case 8: // DeviceClearComplete
            strMessage.clear();
            bOk = SendHislip(conn.nFd, 9, uControl, 0, nullptr, 0);
            break;
        case 21: // AsyncStatusQuery
            bOk = SendHislip(conn.nFd, 22, 0, 0, nullptr, 0);
            break;
        default:
            break;
        }
        if (!bOk)
            return false;
    }
    return true;
}

uint16_t PortArg(int argc, char** argv, const char* pszName, bool& bWanted)
{
    for (int k = 1; k + 1 < argc; ++k) {
        if (std::strcmp(argv[k], pszName) == 0) {
            bWanted = true;
            return static_cast<uint16_t>(std::atoi(argv[k + 1]));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    signal(SIGPIPE, SIG_IGN);
    bool bSocket = argc == 1;
    bool bHislip = argc == 1;
    const uint16_t uSocketPort = PortArg(argc, argv, "--socket-port", bSocket);
    const uint16_t uHislipPort = PortArg(argc, argv, "--hislip-port", bHislip);
    std::vector<SConn> lstConns;
    uint16_t uBound = 0;
    if (bSocket) {
        lstConns.push_back({EKind::SocketListen, Listen(uSocketPort, uBound), {}});
        std::printf("SOCKET %u TCPIP0::127.0.0.1::%u::SOCKET\n", uBound, uBound);
    }
    if (bHislip) {
        lstConns.push_back({EKind::HislipListen, Listen(uHislipPort, uBound), {}});
        std::printf("HISLIP %u TCPIP0::127.0.0.1::hislip0,%u::INSTR\n", uBound, uBound);
    }
    std::printf("READY\n");
    std::fflush(stdout);

    // HiSLIP messages may arrive split over both channels' reads; one pending message is enough
    // for one client at a time, which is all a benchmark runs.
    std::string strHislipMessage;
    uint32_t uNextSession = 1;
    std::vector<char> vecRecv(1 << 20);
    for (;;) {
        std::vector<pollfd> lstPoll;
        for (const SConn& conn : lstConns)
            lstPoll.push_back({conn.nFd, POLLIN, 0});
        if (poll(lstPoll.data(), lstPoll.size(), -1) < 0 && errno != EINTR)
            return 1;
        std::vector<SConn> lstNew;
        for (size_t k = 0; k < lstPoll.size(); ++k) {
            if (!lstPoll[k].revents)
                continue;
            SConn& conn = lstConns[k];
            if (conn.eKind == EKind::SocketListen || conn.eKind == EKind::HislipListen) {
                const int fd = accept4(conn.nFd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) {
                    const int nOne = 1;
                    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
                    lstNew.push_back({conn.eKind == EKind::SocketListen ? EKind::Socket : EKind::Hislip, fd, {}});
                }
                continue;
            }
            const ssize_t nGot = recv(conn.nFd, vecRecv.data(), vecRecv.size(), 0);
            bool bOk = nGot > 0;
            if (bOk) {
                conn.strIn.append(vecRecv.data(), static_cast<size_t>(nGot));
                bOk = conn.eKind == EKind::Socket ? ServeSocket(conn)
                                                  : ServeHislip(conn, strHislipMessage, uNextSession);
            }
            if (!bOk) {
                close(conn.nFd);
                conn.nFd = -1;
            }
        }
        std::vector<SConn> lstKept;
        for (SConn& conn : lstConns) {
            if (conn.nFd >= 0)
                lstKept.push_back(std::move(conn));
        }
        for (SConn& conn : lstNew)
            lstKept.push_back(std::move(conn));
        lstConns = std::move(lstKept);
    }
}
