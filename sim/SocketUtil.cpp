#include "SocketUtil.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace SimSocket {

int Listen(const std::string& strAddress, uint16_t uPort, uint16_t& uBoundPort, std::string& strError)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uPort);
    if (inet_pton(AF_INET, strAddress.c_str(), &addr.sin_addr) != 1) {
        strError = "invalid IPv4 bind address: " + strAddress;
        return -1;
    }
    // Non-blocking, so that a connection reset between poll and accept cannot
    // block the accept thread, and with it Stop(), for good.
    int nFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (nFd < 0) {
        strError = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int nOne = 1;
    ::setsockopt(nFd, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof nOne);
    if (::bind(nFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        strError = "cannot bind " + strAddress + ":" + std::to_string(uPort) + ": " + std::strerror(errno);
        ::close(nFd);
        return -1;
    }
    if (::listen(nFd, 64) != 0) {
        strError = std::string("listen: ") + std::strerror(errno);
        ::close(nFd);
        return -1;
    }
    socklen_t nLen = sizeof addr;
    ::getsockname(nFd, reinterpret_cast<sockaddr*>(&addr), &nLen);
    uBoundPort = ntohs(addr.sin_port);
    return nFd;
}

int Accept(int nListenFd, int nTimeoutMs)
{
    pollfd pfd{nListenFd, POLLIN, 0};
    int nReady = ::poll(&pfd, 1, nTimeoutMs);
    if (nReady <= 0 || !(pfd.revents & POLLIN))
        return -1;
    // The accepted socket does not inherit O_NONBLOCK: servers use blocking I/O on it.
    return ::accept4(nListenFd, nullptr, nullptr, SOCK_CLOEXEC);
}

bool SendAllV(int nFd, iovec* pIov, size_t nCount)
{
    size_t nFirst = 0;
    while (nFirst < nCount) {
        if (pIov[nFirst].iov_len == 0) {
            ++nFirst;
            continue;
        }
        msghdr msg{};
        msg.msg_iov = pIov + nFirst;
        msg.msg_iovlen = nCount - nFirst;
        const ssize_t nSent = ::sendmsg(nFd, &msg, MSG_NOSIGNAL);
        if (nSent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        size_t n = static_cast<size_t>(nSent);
        while (n > 0 && nFirst < nCount) {
            const size_t nPart = std::min(n, pIov[nFirst].iov_len);
            pIov[nFirst].iov_base = static_cast<char*>(pIov[nFirst].iov_base) + nPart;
            pIov[nFirst].iov_len -= nPart;
            n -= nPart;
            if (pIov[nFirst].iov_len == 0)
                ++nFirst;
        }
    }
    return true;
}

bool SendAll(int nFd, const char* pData, size_t nLen)
{
    iovec iov{const_cast<char*>(pData), nLen};
    return SendAllV(nFd, &iov, 1);
}

long Receive(int nFd, char* pBuffer, size_t nMax, int nTimeoutMs)
{
    pollfd pfd{nFd, POLLIN, 0};
    int nReady;
    do {
        nReady = ::poll(&pfd, 1, nTimeoutMs);
    } while (nReady < 0 && errno == EINTR);
    if (nReady == 0)
        return -2;
    if (nReady < 0)
        return -1;
    ssize_t nGot;
    do {
        nGot = ::recv(nFd, pBuffer, nMax, 0);
    } while (nGot < 0 && errno == EINTR);
    return nGot < 0 ? -1 : static_cast<long>(nGot);
}

bool ReceiveExact(int nFd, char* pDest, size_t nLen, int nTimeoutMs)
{
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs < 0 ? 0 : nTimeoutMs);
    while (nLen > 0) {
        int nWaitMs = -1;
        if (nTimeoutMs >= 0) {
            const auto nLeft =
                std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - std::chrono::steady_clock::now()).count();
            if (nLeft <= 0)
                return false;
            nWaitMs = static_cast<int>(nLeft);
        }
        const long nGot = Receive(nFd, pDest, nLen, nWaitMs);
        if (nGot <= 0)
            return false;
        pDest += nGot;
        nLen -= static_cast<size_t>(nGot);
    }
    return true;
}

void SetNoDelay(int nFd)
{
    int nOne = 1;
    ::setsockopt(nFd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
}

void ShutdownAndClose(int& nFd)
{
    if (nFd < 0)
        return;
    ::shutdown(nFd, SHUT_RDWR);
    ::close(nFd);
    nFd = -1;
}

} // namespace SimSocket
