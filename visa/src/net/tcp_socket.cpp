#include "net/tcp_socket.h"

#include "api/status_desc.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

namespace velq {

tcp_deadline tcp_deadline::after_ms(ViUInt32 ms)
{
    tcp_deadline d;
    if (ms == VI_TMO_INFINITE) {
        d.m_infinite = true;
    } else {
        d.m_at = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }
    return d;
}

tcp_deadline tcp_deadline::after(std::chrono::milliseconds span)
{
    tcp_deadline d;
    d.m_at = std::chrono::steady_clock::now() + span;
    return d;
}

tcp_deadline tcp_deadline::never()
{
    tcp_deadline d;
    d.m_infinite = true;
    return d;
}

ViUInt32 tcp_deadline::remaining_ms() const
{
    if (m_infinite)
        return VI_TMO_INFINITE;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_at - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return 0;
    return left.count() >= static_cast<long long>(VI_TMO_INFINITE) ? VI_TMO_INFINITE - 1 : static_cast<ViUInt32>(left.count());
}

bool tcp_deadline::passed() const
{
    return !m_infinite && std::chrono::steady_clock::now() >= m_at;
}

int tcp_deadline::poll_ms() const
{
    if (m_infinite)
        return -1;
    const auto left = m_at - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
    const long long ms = (us + 999) / 1000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

tcp_wakeup::tcp_wakeup()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

tcp_wakeup::~tcp_wakeup()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void tcp_wakeup::wake()
{
    m_woken.store(true);
    if (m_fd >= 0) {
        const uint64_t one = 1;
        ssize_t n;
        do {
            n = ::write(m_fd, &one, sizeof one);
        } while (n < 0 && errno == EINTR);
    }
}

void tcp_wakeup::reset()
{
    if (m_fd >= 0) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_fd, &value, sizeof value);
    }
    m_woken.store(false);
}

ViStatus tcp_wait(int fd, short events, const tcp_deadline &deadline, const tcp_wakeup *wakeup)
{
    for (;;) {
        if (wakeup && wakeup->woken())
            return VI_ERROR_ABORT;
        pollfd fds[2] = {{fd, events, 0}, {wakeup ? wakeup->fd() : -1, POLLIN, 0}};
        const nfds_t nfds = (wakeup && wakeup->fd() >= 0) ? 2 : 1;
        const int n = ::poll(fds, nfds, deadline.poll_ms());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return VI_ERROR_IO;
        }
        if (nfds == 2 && fds[1].revents)
            return VI_ERROR_ABORT;
        if (n == 0 || fds[0].revents == 0) {
            if (deadline.passed())
                return VI_ERROR_TMO;
            continue;
        }
        // Errors and hang-ups count as ready: the following send/recv reports them precisely.
        return VI_SUCCESS;
    }
}

static ViStatus connect_one(const addrinfo *ai, const tcp_deadline &deadline, const tcp_wakeup *wakeup,
                            int *fd_out, int *err_out)
{
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0)
        return VI_ERROR_SYSTEM_ERROR;
    ViStatus st = VI_SUCCESS;
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            *err_out = errno;
            st = VI_ERROR_RSRC_NFOUND;
        } else {
            st = tcp_wait(fd, POLLOUT, deadline, wakeup);
            if (st == VI_SUCCESS) {
                int err = 0;
                socklen_t len = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                    err = errno;
                if (err != 0) {
                    *err_out = err;
                    st = VI_ERROR_RSRC_NFOUND;
                }
            }
        }
    }
    if (st != VI_SUCCESS) {
        ::close(fd);
        return st;
    }
    *fd_out = fd;
    return VI_SUCCESS;
}

namespace {

struct resolve_state {
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;
    bool abandoned = false;
    int rc = EAI_FAIL;
    addrinfo *result = nullptr;
};

} // namespace

// getaddrinfo() has no time-out of its own and a dead DNS server stalls it for many seconds, so
// names (not numeric addresses) are resolved on a helper thread that we stop waiting for at the
// deadline; an abandoned helper frees its own result.
static ViStatus resolve(const std::string &host, const std::string &service, const tcp_deadline &deadline,
                        const tcp_wakeup *wakeup, addrinfo **out)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, out) == 0 && *out)
        return VI_SUCCESS;
    *out = nullptr;
    hints.ai_flags = AI_NUMERICSERV;

    auto state = std::make_shared<resolve_state>();
    std::thread([state, host, service, hints] {
        addrinfo *res = nullptr;
        const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->abandoned) {
            if (rc == 0 && res)
                ::freeaddrinfo(res);
        } else {
            state->rc = rc;
            state->result = res;
        }
        state->done = true;
        state->done_cv.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(state->mutex);
    while (!state->done) {
        if (wakeup && wakeup->woken()) {
            state->abandoned = true;
            return VI_ERROR_ABORT;
        }
        if (deadline.passed()) {
            state->abandoned = true;
            return VI_ERROR_TMO;
        }
        const int left = deadline.poll_ms();
        const int slice = (left < 0 || left > 50) ? 50 : left; // also notice the wakeup
        state->done_cv.wait_for(lock, std::chrono::milliseconds(slice));
    }
    if (state->rc != 0 || !state->result) {
        status_cause_lookup(VI_ERROR_RSRC_NFOUND, state->rc, host);
        return VI_ERROR_RSRC_NFOUND;
    }
    *out = state->result;
    return VI_SUCCESS;
}

ViStatus tcp_connect(const std::string &host, ViUInt16 port, const tcp_deadline &deadline,
                     const tcp_wakeup *wakeup, int *fd_out, std::string *peer_address)
{
    *fd_out = -1;
    if (host.empty() || port == 0)
        return VI_ERROR_RSRC_NFOUND;
    addrinfo *res = nullptr;
    const ViStatus resolved = resolve(host, std::to_string(port), deadline, wakeup, &res);
    if (resolved != VI_SUCCESS)
        return resolved;

    ViStatus st = VI_ERROR_RSRC_NFOUND;
    int err = 0;
    for (const addrinfo *ai = res; ai; ai = ai->ai_next) {
        st = connect_one(ai, deadline, wakeup, fd_out, &err);
        if (st == VI_SUCCESS) {
            if (peer_address) {
                char text[INET6_ADDRSTRLEN] = {0};
                if (::getnameinfo(ai->ai_addr, ai->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
                    *peer_address = text;
            }
            break;
        }
        if (st == VI_ERROR_TMO || st == VI_ERROR_ABORT)
            break;
    }
    ::freeaddrinfo(res);
    if (st == VI_ERROR_RSRC_NFOUND && err != 0)
        status_cause_connect(st, err, host, port);
    return st;
}

static ViStatus map_socket_errno(int err)
{
    switch (err) {
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
        return VI_ERROR_CONN_LOST;
    default:
        return VI_ERROR_IO;
    }
}

ViStatus tcp_send_all_v(int fd, const iovec *iov_in, int count, size_t *sent, const tcp_deadline &deadline,
                        const tcp_wakeup *wakeup)
{
    size_t done = 0;
    ViStatus st = VI_SUCCESS;
    iovec iov[tcp_max_iov];
    if (count < 0 || count > tcp_max_iov) {
        st = VI_ERROR_INV_PARAMETER;
        count = 0;
    }
    std::copy(iov_in, iov_in + count, iov);
    int first = 0;
    for (;;) {
        while (first < count && iov[first].iov_len == 0)
            ++first;
        if (first >= count)
            break;
        if (wakeup && wakeup->woken()) {
            st = VI_ERROR_ABORT;
            break;
        }
        // MSG_NOSIGNAL: a peer gone away must be an error we report, not a signal that ends the host
        // program; every send of the library comes through here. One buffer goes out by plain
        // send(), which is cheaper than sendmsg() on every short command.
        ssize_t n;
        if (count - first == 1) {
            n = ::send(fd, iov[first].iov_base, iov[first].iov_len, MSG_NOSIGNAL | MSG_DONTWAIT);
        } else {
            msghdr msg{};
            msg.msg_iov = iov + first;
            msg.msg_iovlen = static_cast<size_t>(count - first);
            n = ::sendmsg(fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        if (n > 0) {
            done += static_cast<size_t>(n);
            for (size_t left = static_cast<size_t>(n); left > 0;) {
                const size_t take = std::min(left, iov[first].iov_len);
                iov[first].iov_base = static_cast<char *>(iov[first].iov_base) + take;
                iov[first].iov_len -= take;
                left -= take;
                if (iov[first].iov_len == 0)
                    ++first;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            st = tcp_wait(fd, POLLOUT, deadline, wakeup);
            if (st != VI_SUCCESS)
                break;
            continue;
        }
        st = n < 0 ? map_socket_errno(errno) : VI_ERROR_IO;
        break;
    }
    if (sent)
        *sent = done;
    return st;
}

ViStatus tcp_send_all(int fd, const void *buf, size_t len, size_t *sent, const tcp_deadline &deadline,
                      const tcp_wakeup *wakeup)
{
    iovec iov{const_cast<void *>(buf), len};
    return tcp_send_all_v(fd, &iov, 1, sent, deadline, wakeup);
}

ViStatus tcp_recv_some(int fd, void *buf, size_t cap, size_t *got, const tcp_deadline &deadline,
                       const tcp_wakeup *wakeup)
{
    *got = 0;
    for (;;) {
        if (wakeup && wakeup->woken())
            return VI_ERROR_ABORT;
        const ssize_t n = ::recv(fd, buf, cap, MSG_DONTWAIT);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return VI_SUCCESS;
        }
        if (n == 0)
            return VI_ERROR_CONN_LOST;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return map_socket_errno(errno);
        const ViStatus st = tcp_wait(fd, POLLIN, deadline, wakeup);
        if (st != VI_SUCCESS)
            return st;
    }
}

ViStatus tcp_recv_blocking(int fd, void *buf, size_t cap, size_t *got, const tcp_deadline &deadline,
                           const tcp_wakeup *wakeup, int *rcvtimeo_ms)
{
    *got = 0;
    for (;;) {
        if (wakeup && wakeup->woken())
            return VI_ERROR_ABORT;
        int want = 0; // no time-out
        if (!deadline.infinite()) {
            const ViUInt32 left = deadline.remaining_ms();
            if (left == 0)
                return VI_ERROR_TMO;
            want = left > 1000 ? 1000 : static_cast<int>(left);
        }
        if (want != *rcvtimeo_ms) {
            const timeval tv{want / 1000, (want % 1000) * 1000};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            *rcvtimeo_ms = want;
        }
        const ssize_t n = ::recv(fd, buf, cap, 0);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return VI_SUCCESS;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            continue; // a slice ended
        if (wakeup && wakeup->woken())
            return VI_ERROR_ABORT; // the shutdown that came with the wake-up
        return n == 0 ? VI_ERROR_CONN_LOST : map_socket_errno(errno);
    }
}

ViStatus tcp_recv_exact(int fd, void *buf, size_t len, size_t *got, const tcp_deadline &deadline,
                        const tcp_wakeup *wakeup)
{
    auto *p = static_cast<unsigned char *>(buf);
    size_t done = 0;
    ViStatus st = VI_SUCCESS;
    while (done < len) {
        size_t n = 0;
        st = tcp_recv_some(fd, p + done, len - done, &n, deadline, wakeup);
        if (st != VI_SUCCESS)
            break;
        done += n;
    }
    if (got)
        *got = done;
    return st;
}

size_t tcp_discard_input(int fd, size_t limit)
{
    unsigned char scratch[16384];
    size_t total = 0;
    while (total < limit) {
        const size_t want = limit - total < sizeof scratch ? limit - total : sizeof scratch;
        const ssize_t n = ::recv(fd, scratch, want, MSG_DONTWAIT);
        if (n > 0) {
            total += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    return total;
}

bool tcp_set_blocking(int fd, bool on)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    return ::fcntl(fd, F_SETFL, on ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

bool tcp_set_nodelay(int fd, bool on)
{
    const int v = on ? 1 : 0;
    return ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v) == 0;
}

bool tcp_set_keepalive(int fd, bool on)
{
    const int v = on ? 1 : 0;
    return ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &v, sizeof v) == 0;
}

void tcp_close(int *fd)
{
    if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
    }
}

} // namespace velq
