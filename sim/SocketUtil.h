#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct iovec;

// Small POSIX socket helpers shared by the simulator's servers.
namespace SimSocket {

// Creates a listening TCP socket on strAddress:uPort (0 = ephemeral) with
// SO_REUSEADDR; returns the descriptor and the bound port, or -1 and a message.
int Listen(const std::string& strAddress, uint16_t uPort, uint16_t& uBoundPort, std::string& strError);

// Waits up to nTimeoutMs for a connection; -1 on time-out or error.
int Accept(int nListenFd, int nTimeoutMs);

// Sends everything, retrying on EINTR and partial writes; false when the peer is gone.
bool SendAll(int nFd, const char* pData, size_t nLen);

// Sends the buffers in order, gathered into as few writes as the kernel takes,
// retrying on EINTR and partial writes; false when the peer is gone. Empty
// buffers are allowed. The array is consumed: its entries are advanced in place.
bool SendAllV(int nFd, iovec* pIov, size_t nCount);

// Receives up to nMax bytes, waiting at most nTimeoutMs: >0 bytes, 0 peer
// closed, -1 error, -2 time-out.
long Receive(int nFd, char* pBuffer, size_t nMax, int nTimeoutMs);

// Receives exactly nLen bytes within nTimeoutMs in all (-1: no limit); false
// when the peer closed, failed or the time ran out first.
bool ReceiveExact(int nFd, char* pDest, size_t nLen, int nTimeoutMs);

void SetNoDelay(int nFd);
// shutdown() then close(); wakes a thread blocked in recv on the same descriptor.
void ShutdownAndClose(int& nFd);

} // namespace SimSocket
