#pragma once

// The listening socket of a test's fake peer: 127.0.0.1, on a port the kernel picks.

#include <cstdint>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

// Returns the close-on-exec socket and stores its port in *pPort.
inline int ListenOnLoopback(int nBacklog, uint16_t *pPort)
{
    const int nFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(nFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::listen(nFd, nBacklog);
    socklen_t nLen = sizeof addr;
    ::getsockname(nFd, reinterpret_cast<sockaddr *>(&addr), &nLen);
    *pPort = ntohs(addr.sin_port);
    return nFd;
}
