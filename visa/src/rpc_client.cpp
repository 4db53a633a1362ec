#include "rpc_client.h"

#include "status_desc.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr size_t kInputChunk = 256 * 1024;
constexpr size_t kMaxStale = 16;
constexpr size_t kDirectThreshold = 64 * 1024;

int poll_timeout_ms(rpc_client::clock::time_point deadline)
{
    if (deadline == rpc_client::clock::time_point::max())
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - rpc_client::clock::now()).count();
    if (left <= 0)
        return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}
}

rpc_client::rpc_client(size_t max_record)
    : m_assembler(max_record)
{
    m_wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Start xids somewhere unpredictable so a reply meant for an earlier
    // process that used the same port is not mistaken for ours.
    m_xid = static_cast<uint32_t>(clock::now().time_since_epoch().count()) ^ (static_cast<uint32_t>(getpid()) << 16);
}

rpc_client::~rpc_client()
{
    close();
    if (m_wake_fd >= 0)
        ::close(m_wake_fd);
}

void rpc_client::interrupt()
{
    m_aborted = true;
    if (m_wake_fd >= 0) {
        const uint64_t one = 1;
        ssize_t n = ::write(m_wake_fd, &one, sizeof one);
        (void)n;
    }
    // Replies are awaited in a blocking recv (two system calls per round
    // trip instead of four); only a shutdown wakes that. Without a call
    // under way the connection stays whole for a polite destroy_link.
    if (m_in_call) {
        std::lock_guard<std::mutex> lock(m_fd_mutex);
        if (m_fd >= 0)
            ::shutdown(m_fd, SHUT_RDWR);
    }
}

bool rpc_client::idle() const
{
    return m_fd >= 0 && !m_lost && m_stale.empty() && !m_assembler.in_record() && m_inpos >= m_inlen;
}

void rpc_client::clear_interrupt()
{
    if (m_wake_fd >= 0) {
        uint64_t value = 0;
        ssize_t n = ::read(m_wake_fd, &value, sizeof value);
        (void)n;
    }
    m_aborted = false;
}

void rpc_client::close()
{
    std::lock_guard<std::mutex> lock(m_fd_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_rcvtimeo_ms = -1;
}

bool rpc_client::set_receive_timeout(clock::time_point deadline)
{
    // Waits longer than a second are cut into slices, so the option is not
    // set again on every call of a steady exchange.
    int want = 0;
    if (deadline != clock::time_point::max()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0)
            return false;
        want = left > 1000 ? 1000 : static_cast<int>(left);
    }
    if (want != m_rcvtimeo_ms) {
        timeval tv{want / 1000, (want % 1000) * 1000};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        m_rcvtimeo_ms = want;
    }
    return true;
}

void rpc_client::drop_connection()
{
    close();
    m_lost = true;
}

rpc_client::wait_result rpc_client::wait_fd(short events, clock::time_point deadline)
{
    for (;;) {
        if (m_aborted)
            return wait_aborted;
        pollfd fds[2] = {{m_fd, events, 0}, {m_wake_fd, POLLIN, 0}};
        const int n = ::poll(fds, m_wake_fd >= 0 ? 2 : 1, poll_timeout_ms(deadline));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return wait_error;
        }
        if (m_aborted || (fds[1].revents & POLLIN))
            return wait_aborted;
        if (n == 0)
            return wait_timeout;
        // Errors and hang-ups are reported by the following send/recv.
        if (fds[0].revents)
            return wait_ready;
    }
}

rpc_call_result rpc_client::connect(const std::string &host, uint16_t port, clock::time_point deadline)
{
    close();
    m_lost = false;
    m_assembler.reset();
    m_inpos = m_inlen = 0;
    m_stale.clear();
    if (m_aborted)
        return rpc_call_aborted;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const std::string service = std::to_string(port);
    const int looked_up = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    if (looked_up != 0 || !list) {
        velq::status_cause_lookup(VI_ERROR_RSRC_NFOUND, looked_up, host);
        return rpc_call_refused;
    }

    rpc_call_result result = rpc_call_refused;
    int connect_err = 0;
    for (addrinfo *ai = list; ai; ai = ai->ai_next) {
        {
            std::lock_guard<std::mutex> lock(m_fd_mutex);
            m_fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        }
        if (m_fd < 0)
            continue;
        int rc = ::connect(m_fd, ai->ai_addr, ai->ai_addrlen);
        if (rc < 0)
            connect_err = errno;
        if (rc < 0 && errno == EINPROGRESS) {
            const wait_result w = wait_fd(POLLOUT, deadline);
            if (w == wait_ready) {
                int err = 0;
                socklen_t len = sizeof err;
                getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len);
                rc = err ? -1 : 0;
                connect_err = err;
            } else {
                close();
                result = w == wait_aborted ? rpc_call_aborted : rpc_call_timeout;
                break;
            }
        }
        if (rc == 0) {
            const int one = 1;
            setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
            char text[INET6_ADDRSTRLEN] = {};
            if (ai->ai_family == AF_INET)
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(ai->ai_addr)->sin_addr, text, sizeof text);
            else if (ai->ai_family == AF_INET6)
                inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6 *>(ai->ai_addr)->sin6_addr, text, sizeof text);
            m_peer = text;
            result = rpc_call_ok;
            break;
        }
        close();
    }
    freeaddrinfo(list);
    if (result == rpc_call_refused && connect_err != 0)
        velq::status_cause_connect(VI_ERROR_RSRC_NFOUND, connect_err, host, port);
    return result;
}

rpc_call_result rpc_client::send_all(const uint8_t *data, size_t n, clock::time_point deadline)
{
    size_t off = 0;
    while (off < n) {
        const ssize_t k = ::send(m_fd, data + off, n - off, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (k > 0) {
            off += size_t(k);
            continue;
        }
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const wait_result w = wait_fd(POLLOUT, deadline);
            if (w == wait_ready)
                continue;
            // A half-sent record leaves the stream unusable.
            drop_connection();
            return w == wait_aborted ? rpc_call_aborted : w == wait_timeout ? rpc_call_timeout : rpc_call_conn_lost;
        }
        drop_connection();
        return rpc_call_conn_lost;
    }
    return rpc_call_ok;
}

rpc_call_result rpc_client::receive_record(clock::time_point deadline, xdr_bytes *record)
{
    if (m_inbuf.size() < kInputChunk)
        m_inbuf.resize(kInputChunk);
    for (;;) {
        if (m_inpos < m_inlen) {
            size_t used = 0;
            const auto res = m_assembler.feed(m_inbuf.data() + m_inpos, m_inlen - m_inpos, &used);
            m_inpos += used;
            if (res == rpc_record_assembler::too_large) {
                drop_connection();
                return rpc_call_protocol;
            }
            if (res == rpc_record_assembler::record_ready) {
                *record = m_assembler.take();
                return rpc_call_ok;
            }
        }
        if (m_aborted)
            return rpc_call_aborted;
        if (!set_receive_timeout(deadline))
            return rpc_call_timeout;
        // Long read data goes from the socket straight into the record.
        size_t direct_len = 0;
        uint8_t *direct = m_assembler.fragment_left() >= kDirectThreshold ? m_assembler.direct_buffer(&direct_len)
                                                                          : nullptr;
        const ssize_t k = direct ? ::recv(m_fd, direct, direct_len, 0) : ::recv(m_fd, m_inbuf.data(), m_inbuf.size(), 0);
        if (k > 0 && direct) {
            if (m_assembler.direct_commit(size_t(k)) == rpc_record_assembler::record_ready) {
                *record = m_assembler.take();
                return rpc_call_ok;
            }
            continue;
        }
        if (k > 0) {
            m_inpos = 0;
            m_inlen = size_t(k);
            continue;
        }
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !m_aborted)
            continue;   // a slice of the receive time-out ended
        drop_connection();
        return m_aborted ? rpc_call_aborted : rpc_call_conn_lost;
    }
}

bool rpc_client::is_stale(uint32_t xid) const
{
    return std::find(m_stale.begin(), m_stale.end(), xid) != m_stale.end();
}

rpc_call_result rpc_client::call(uint32_t prog, uint32_t vers, uint32_t proc, const xdr_bytes &args,
                                 clock::time_point deadline, xdr_bytes *reply, size_t *results_offset)
{
    struct in_call_guard
    {
        std::atomic<bool> &flag;
        explicit in_call_guard(std::atomic<bool> &f) : flag(f) { flag = true; }
        ~in_call_guard() { flag = false; }
    } guard(m_in_call);
    if (m_aborted)
        return rpc_call_aborted;
    if (m_fd < 0 || m_lost)
        return rpc_call_conn_lost;

    const uint32_t xid = m_xid++;
    xdr_writer w;
    w.buf.reserve(4 + 40 + args.size());
    w.put_u32(0);
    w.put_raw(rpc_encode_call({xid, prog, vers, proc}, {}));
    w.put_raw(args);
    const uint32_t mark = static_cast<uint32_t>(w.buf.size() - 4) | rpc_last_fragment;
    w.buf[0] = uint8_t(mark >> 24);
    w.buf[1] = uint8_t(mark >> 16);
    w.buf[2] = uint8_t(mark >> 8);
    w.buf[3] = uint8_t(mark);

    rpc_call_result r = send_all(w.buf.data(), w.buf.size(), deadline);
    if (r != rpc_call_ok)
        return r;

    for (;;) {
        r = receive_record(deadline, reply);
        if (r == rpc_call_timeout || r == rpc_call_aborted) {
            m_stale.push_back(xid);
            if (m_stale.size() > kMaxStale)
                m_stale.pop_front();
            return r;
        }
        if (r != rpc_call_ok)
            return r;
        rpc_reply_info info;
        const rpc_decode_status st = rpc_decode_reply(*reply, xid, &info);
        if (st == rpc_wrong_xid && is_stale(info.xid)) {
            m_stale.erase(std::find(m_stale.begin(), m_stale.end(), info.xid));
            continue;
        }
        switch (st) {
        case rpc_ok:
            *results_offset = info.results_offset;
            return rpc_call_ok;
        case rpc_not_success:
            if (info.accept_stat == rpc_prog_unavail || info.accept_stat == rpc_prog_mismatch
                || info.accept_stat == rpc_proc_unavail)
                return rpc_call_unavailable;
            return rpc_call_rejected;
        case rpc_denied:
            return rpc_call_rejected;
        case rpc_wrong_xid:
        case rpc_malformed:
            break;
        }
        drop_connection();
        return rpc_call_protocol;
    }
}
