#pragma once

#include "visatype.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct iovec;

// A point in time after which a blocking call gives up; VI_TMO_INFINITE never expires.
class hislip_deadline
{
public:
    explicit hislip_deadline(ViUInt32 timeout_ms);
    // Milliseconds to hand to poll(): -1 for infinite, 0 once expired.
    int poll_ms() const;
    bool expired() const;

private:
    bool m_infinite;
    std::chrono::steady_clock::time_point m_end;
};

// One TCP connection of a HiSLIP session. Every wait also watches wake_fd, so
// that a close from another thread ends a blocked call at once.
class hislip_channel
{
public:
    hislip_channel() = default;
    ~hislip_channel();
    hislip_channel(const hislip_channel &) = delete;
    hislip_channel &operator=(const hislip_channel &) = delete;

    ViStatus connect(const std::string &host, uint16_t port, int wake_fd, const hislip_deadline &deadline);
    void close();
    bool is_open() const { return m_fd >= 0; }

    // Sends everything or fails; *sent tells how far it got so a caller can
    // keep the framing intact after a time-out.
    ViStatus send_all(const iovec *iov, int count, const hislip_deadline &deadline, size_t *sent);
    ViStatus send_bytes(const void *data, size_t len, const hislip_deadline &deadline);
    // Returns at least one byte unless it fails.
    ViStatus recv_some(uint8_t *dst, size_t len, const hislip_deadline &deadline, size_t *got);
    ViStatus recv_exact(uint8_t *dst, size_t len, const hislip_deadline &deadline);
    // Drops buffered input and whatever the peer has already sent.
    void discard_buffered() { m_rpos = m_rlen = 0; }

private:
    ViStatus wait(short events, const hislip_deadline &deadline);

    int m_fd = -1;
    int m_wake_fd = -1;
    // Small headers and answers arrive with one recv() instead of two.
    std::vector<uint8_t> m_rbuf;
    size_t m_rpos = 0;
    size_t m_rlen = 0;
};
