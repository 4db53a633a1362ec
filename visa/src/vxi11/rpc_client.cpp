#include "vxi11/rpc_client.h"

#include <algorithm>
#include <chrono>

#include <sys/socket.h>
#include <unistd.h>

namespace velq {

namespace {
constexpr size_t kInputChunk = 256 * 1024;
constexpr size_t kMaxStale = 16;
constexpr size_t kDirectThreshold = 64 * 1024;

rpc_call_result from_status(ViStatus status)
{
    switch (status) {
    case VI_SUCCESS: return rpc_call_ok;
    case VI_ERROR_TMO: return rpc_call_timeout;
    case VI_ERROR_ABORT: return rpc_call_aborted;
    default: return rpc_call_conn_lost;
    }
}
} // namespace

rpc_client::rpc_client(size_t max_record)
    : m_assembler(max_record)
{
    // Start xids somewhere unpredictable so a reply meant for an earlier
    // process that used the same port is not mistaken for ours.
    m_xid = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())
          ^ (static_cast<uint32_t>(getpid()) << 16);
}

rpc_client::~rpc_client()
{
    close();
}

void rpc_client::interrupt()
{
    m_wakeup.wake();
    // Replies are awaited in a blocking receive, which only a shutdown wakes.
    // Without a call under way the connection stays whole for a polite
    // destroy_link.
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
    m_wakeup.reset();
}

void rpc_client::close()
{
    std::lock_guard<std::mutex> lock(m_fd_mutex);
    tcp_close(&m_fd);
    m_rcvtimeo_ms = -1;
}

void rpc_client::drop_connection()
{
    close();
    m_lost = true;
}

rpc_call_result rpc_client::connect(const std::string &host, uint16_t port, const tcp_deadline &deadline)
{
    close();
    m_lost = false;
    m_assembler.reset();
    m_inpos = m_inlen = 0;
    m_stale.clear();
    if (m_wakeup.fd() < 0)
        return rpc_call_conn_lost;
    int fd = -1;
    const ViStatus status = tcp_connect(host, port, deadline, &m_wakeup, &fd, &m_peer);
    if (status == VI_ERROR_TMO || status == VI_ERROR_ABORT)
        return from_status(status);
    if (status != VI_SUCCESS)
        return rpc_call_refused;
    tcp_set_nodelay(fd, true);
    tcp_set_blocking(fd, true);
    std::lock_guard<std::mutex> lock(m_fd_mutex);
    m_fd = fd;
    return rpc_call_ok;
}

rpc_call_result rpc_client::send_all(const uint8_t *data, size_t n, const tcp_deadline &deadline)
{
    size_t sent = 0;
    const ViStatus status = tcp_send_all(m_fd, data, n, &sent, deadline, &m_wakeup);
    if (status == VI_SUCCESS)
        return rpc_call_ok;
    // A half-sent record leaves the stream unusable.
    drop_connection();
    return from_status(status);
}

rpc_call_result rpc_client::receive_record(const tcp_deadline &deadline, xdr_bytes *record)
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
        // Long read data goes from the socket straight into the record.
        size_t direct_len = 0;
        uint8_t *direct = m_assembler.fragment_left() >= kDirectThreshold ? m_assembler.direct_buffer(&direct_len)
                                                                          : nullptr;
        size_t got = 0;
        const ViStatus status =
            direct ? tcp_recv_blocking(m_fd, direct, direct_len, &got, deadline, &m_wakeup, &m_rcvtimeo_ms)
                   : tcp_recv_blocking(m_fd, m_inbuf.data(), m_inbuf.size(), &got, deadline, &m_wakeup, &m_rcvtimeo_ms);
        if (status == VI_ERROR_TMO)
            return rpc_call_timeout;
        if (status != VI_SUCCESS) {
            // After an interrupt the socket may be shut down already.
            drop_connection();
            return from_status(status);
        }
        if (direct) {
            if (m_assembler.direct_commit(got) == rpc_record_assembler::record_ready) {
                *record = m_assembler.take();
                return rpc_call_ok;
            }
            continue;
        }
        m_inpos = 0;
        m_inlen = got;
    }
}

bool rpc_client::is_stale(uint32_t xid) const
{
    return std::find(m_stale.begin(), m_stale.end(), xid) != m_stale.end();
}

rpc_call_result rpc_client::call(uint32_t prog, uint32_t vers, uint32_t proc, const xdr_bytes &args,
                                 const tcp_deadline &deadline, xdr_bytes *reply, size_t *results_offset)
{
    struct in_call_guard {
        std::atomic<bool> &flag;
        explicit in_call_guard(std::atomic<bool> &f) : flag(f) { flag = true; }
        ~in_call_guard() { flag = false; }
    } guard(m_in_call);
    if (m_wakeup.woken())
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

} // namespace velq
