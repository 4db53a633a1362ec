#include "hislip_channel.h"

#include "status_desc.h"
#include "visa.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr size_t kReadBufferSize = 64 * 1024;

} // namespace

hislip_deadline::hislip_deadline(ViUInt32 timeout_ms)
    : m_infinite(timeout_ms == VI_TMO_INFINITE),
      m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms))
{
}

int hislip_deadline::poll_ms() const
{
    if (m_infinite)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_end - std::chrono::steady_clock::now()).count();
    if (left <= 0)
        return 0;
    return left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

bool hislip_deadline::expired() const
{
    return !m_infinite && std::chrono::steady_clock::now() >= m_end;
}

hislip_channel::~hislip_channel()
{
    close();
}

void hislip_channel::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_rpos = m_rlen = 0;
}

ViStatus hislip_channel::wait(short events, const hislip_deadline &deadline)
{
    for (;;) {
        pollfd fds[2];
        fds[0].fd = m_fd;
        fds[0].events = events;
        fds[0].revents = 0;
        fds[1].fd = m_wake_fd;
        fds[1].events = POLLIN;
        fds[1].revents = 0;
        const int nfds = m_wake_fd >= 0 ? 2 : 1;
        const int rc = ::poll(fds, nfds, deadline.poll_ms());
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return VI_ERROR_IO;
        }
        if (nfds == 2 && (fds[1].revents & POLLIN))
            return VI_ERROR_ABORT;
        if (rc == 0)
            return VI_ERROR_TMO;
        if (fds[0].revents & (events | POLLERR | POLLHUP))
            return VI_SUCCESS;
    }
}

ViStatus hislip_channel::connect(const std::string &host, uint16_t port, int wake_fd,
                                 const hislip_deadline &deadline)
{
    close();
    m_wake_fd = wake_fd;
    std::string name = host;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);

    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const std::string service = std::to_string(port);
    const int looked_up = ::getaddrinfo(name.c_str(), service.c_str(), &hints, &list);
    if (looked_up != 0 || !list) {
        velq::status_cause_lookup(VI_ERROR_RSRC_NFOUND, looked_up, name);
        return VI_ERROR_RSRC_NFOUND;
    }

    ViStatus status = VI_ERROR_RSRC_NFOUND;
    int connect_err = 0;
    for (addrinfo *ai = list; ai; ai = ai->ai_next) {
        m_fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (m_fd < 0)
            continue;
        if (::connect(m_fd, ai->ai_addr, ai->ai_addrlen) == 0) {
            status = VI_SUCCESS;
            break;
        }
        connect_err = errno;
        if (errno == EINPROGRESS) {
            const ViStatus waited = wait(POLLOUT, deadline);
            int err = 0;
            socklen_t len = sizeof err;
            if (waited == VI_SUCCESS && ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) {
                status = VI_SUCCESS;
                break;
            }
            if (waited == VI_ERROR_ABORT || waited == VI_ERROR_TMO) {
                status = waited;
                close();
                break;
            }
            connect_err = err;
        }
        close();
    }
    ::freeaddrinfo(list);
    if (status == VI_ERROR_RSRC_NFOUND && connect_err != 0)
        velq::status_cause_connect(status, connect_err, name, port);
    if (status != VI_SUCCESS)
        return status;

    // Request and answer are small and alternate; Nagle's delay would cost a
    // round trip per message.
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_rbuf.resize(kReadBufferSize);
    m_rpos = m_rlen = 0;
    return VI_SUCCESS;
}

ViStatus hislip_channel::send_all(const iovec *iov_in, int count, const hislip_deadline &deadline, size_t *sent)
{
    *sent = 0;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    iovec iov[8];
    if (count > 8)
        return VI_ERROR_INV_PARAMETER;
    std::memcpy(iov, iov_in, sizeof(iovec) * count);
    int first = 0;
    while (first < count) {
        if (iov[first].iov_len == 0) {
            ++first;
            continue;
        }
        msghdr msg;
        std::memset(&msg, 0, sizeof msg);
        msg.msg_iov = iov + first;
        msg.msg_iovlen = count - first;
        const ssize_t n = ::sendmsg(m_fd, &msg, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                const ViStatus waited = wait(POLLOUT, deadline);
                if (waited != VI_SUCCESS)
                    return waited;
                continue;
            }
            return VI_ERROR_CONN_LOST;
        }
        *sent += static_cast<size_t>(n);
        size_t left = static_cast<size_t>(n);
        while (left > 0 && first < count) {
            const size_t take = left < iov[first].iov_len ? left : iov[first].iov_len;
            iov[first].iov_base = static_cast<char *>(iov[first].iov_base) + take;
            iov[first].iov_len -= take;
            left -= take;
            if (iov[first].iov_len == 0)
                ++first;
        }
    }
    return VI_SUCCESS;
}

ViStatus hislip_channel::send_bytes(const void *data, size_t len, const hislip_deadline &deadline)
{
    iovec iov;
    iov.iov_base = const_cast<void *>(data);
    iov.iov_len = len;
    size_t sent = 0;
    return send_all(&iov, 1, deadline, &sent);
}

ViStatus hislip_channel::recv_some(uint8_t *dst, size_t len, const hislip_deadline &deadline, size_t *got)
{
    *got = 0;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    if (len == 0)
        return VI_SUCCESS;
    if (m_rpos < m_rlen) {
        const size_t take = len < m_rlen - m_rpos ? len : m_rlen - m_rpos;
        std::memcpy(dst, m_rbuf.data() + m_rpos, take);
        m_rpos += take;
        *got = take;
        return VI_SUCCESS;
    }
    // Large payloads go straight to the caller's buffer; small reads refill ours.
    const bool direct = len >= m_rbuf.size() / 2;
    for (;;) {
        const ssize_t n = direct ? ::recv(m_fd, dst, len, 0) : ::recv(m_fd, m_rbuf.data(), m_rbuf.size(), 0);
        if (n > 0) {
            if (direct) {
                *got = static_cast<size_t>(n);
            } else {
                m_rpos = 0;
                m_rlen = static_cast<size_t>(n);
                const size_t take = len < m_rlen ? len : m_rlen;
                std::memcpy(dst, m_rbuf.data(), take);
                m_rpos = take;
                *got = take;
            }
            return VI_SUCCESS;
        }
        if (n == 0)
            return VI_ERROR_CONN_LOST;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return VI_ERROR_CONN_LOST;
        const ViStatus waited = wait(POLLIN, deadline);
        if (waited != VI_SUCCESS)
            return waited;
    }
}

ViStatus hislip_channel::recv_exact(uint8_t *dst, size_t len, const hislip_deadline &deadline)
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
