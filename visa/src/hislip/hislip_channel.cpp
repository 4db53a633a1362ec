#include "hislip/hislip_channel.h"

#include <algorithm>
#include <cstring>

#include <sys/uio.h>

namespace velq {

namespace {

constexpr size_t kReadBufferSize = 64 * 1024;

} // namespace

hislip_channel::~hislip_channel()
{
    close();
}

void hislip_channel::close()
{
    tcp_close(&m_fd);
    m_rpos = m_rlen = 0;
}

ViStatus hislip_channel::connect(const std::string &host, uint16_t port, const tcp_wakeup *wakeup,
                                 const tcp_deadline &deadline)
{
    close();
    m_wakeup = wakeup;
    const ViStatus status = tcp_connect(host, port, deadline, wakeup, &m_fd);
    if (status != VI_SUCCESS)
        return status;
    // Request and answer are small and alternate; Nagle's delay would cost a
    // round trip per message.
    tcp_set_nodelay(m_fd, true);
    m_rbuf.resize(kReadBufferSize);
    return VI_SUCCESS;
}

ViStatus hislip_channel::send_all(const iovec *iov, int count, const tcp_deadline &deadline, size_t *sent)
{
    *sent = 0;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    return tcp_send_all_v(m_fd, iov, count, sent, deadline, m_wakeup);
}

ViStatus hislip_channel::send_bytes(const void *data, size_t len, const tcp_deadline &deadline)
{
    size_t sent = 0;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    return tcp_send_all(m_fd, data, len, &sent, deadline, m_wakeup);
}

ViStatus hislip_channel::send_frame(const hislip_header &hdr, const void *payload, const tcp_deadline &deadline,
                                    size_t *sent)
{
    uint8_t raw[kHislipHeaderSize];
    hislip_encode_header(hdr, raw);
    iovec iov[2];
    iov[0].iov_base = raw;
    iov[0].iov_len = sizeof raw;
    iov[1].iov_base = const_cast<void *>(payload);
    iov[1].iov_len = static_cast<size_t>(hdr.length);
    return send_all(iov, hdr.length ? 2 : 1, deadline, sent);
}

ViStatus hislip_channel::recv_some(uint8_t *dst, size_t len, const tcp_deadline &deadline, size_t *got)
{
    *got = 0;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    if (len == 0)
        return VI_SUCCESS;
    if (m_rpos < m_rlen) {
        const size_t take = std::min(len, m_rlen - m_rpos);
        std::memcpy(dst, m_rbuf.data() + m_rpos, take);
        m_rpos += take;
        *got = take;
        return VI_SUCCESS;
    }
    // Large payloads go straight to the caller's buffer; small reads refill ours.
    if (len >= m_rbuf.size() / 2)
        return tcp_recv_some(m_fd, dst, len, got, deadline, m_wakeup);
    size_t n = 0;
    const ViStatus status = tcp_recv_some(m_fd, m_rbuf.data(), m_rbuf.size(), &n, deadline, m_wakeup);
    if (status != VI_SUCCESS)
        return status;
    m_rlen = n;
    m_rpos = std::min(len, n);
    std::memcpy(dst, m_rbuf.data(), m_rpos);
    *got = m_rpos;
    return VI_SUCCESS;
}

ViStatus hislip_channel::recv_exact(uint8_t *dst, size_t len, const tcp_deadline &deadline)
{
    while (len > 0) {
        size_t got = 0;
        const ViStatus status = recv_some(dst, len, deadline, &got);
        if (status != VI_SUCCESS)
            return status;
        dst += got;
        len -= got;
    }
    return VI_SUCCESS;
}

} // namespace velq
