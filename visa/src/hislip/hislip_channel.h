#pragma once

#include "hislip_codec.h"
#include "net/tcp_socket.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct iovec;

namespace velq {

// One TCP connection of a HiSLIP session on the network layer, with a small read-ahead so that a
// header and a short answer come in with one receive instead of two.
class hislip_channel
{
public:
    hislip_channel() = default;
    ~hislip_channel();
    hislip_channel(const hislip_channel &) = delete;
    hislip_channel &operator=(const hislip_channel &) = delete;

    // Every later wait also watches wakeup, so that a close from another thread ends it at once.
    ViStatus connect(const std::string &host, uint16_t port, const tcp_wakeup *wakeup, const tcp_deadline &deadline);
    void close();
    bool is_open() const { return m_fd >= 0; }

    // Sends everything or fails; *sent tells how far it got so a caller can
    // keep the framing intact after a time-out.
    ViStatus send_all(const iovec *iov, int count, const tcp_deadline &deadline, size_t *sent);
    ViStatus send_bytes(const void *data, size_t len, const tcp_deadline &deadline);
    // One message: hdr (its length is the payload's) and the payload in one gathered send.
    ViStatus send_frame(const hislip_header &hdr, const void *payload, const tcp_deadline &deadline, size_t *sent);
    // Returns at least one byte unless it fails.
    ViStatus recv_some(uint8_t *dst, size_t len, const tcp_deadline &deadline, size_t *got);
    ViStatus recv_exact(uint8_t *dst, size_t len, const tcp_deadline &deadline);

private:
    int m_fd = -1;
    const tcp_wakeup *m_wakeup = nullptr;
    std::vector<uint8_t> m_rbuf;
    size_t m_rpos = 0;
    size_t m_rlen = 0;
};

} // namespace velq
