#include "socket/tcp_socket_transport.h"

#include "api/rsrc_parse.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>

namespace velq {

namespace {
// viClear drains what is already queued, but a peer that streams without pause must not hold it.
constexpr size_t kClearDrainLimit = 16u << 20;
constexpr size_t kStbAnswerMax = 64;
} // namespace

tcp_socket_transport::tcp_socket_transport() = default;

tcp_socket_transport::~tcp_socket_transport()
{
    tcp_close(&m_fd);
}

void tcp_socket_transport::init_attrs(io_attrs &attrs) const
{
    // A byte stream has no END: SCPI replies end at the line feed, so reads stop there by default.
    attrs.termchar = '\n';
    attrs.termchar_en = true;
    attrs.suppress_end_en = true;
}

ViStatus tcp_socket_transport::open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms)
{
    const ViStatus st = tcp_connect(rsrc.host, rsrc.port, tcp_deadline::after_ms(open_tmo_ms), &m_wakeup, &m_fd,
                                    &m_peer_address);
    if (st != VI_SUCCESS)
        return st;
    // Reads wait in one blocking recv() bounded by the time-out rather than in poll() after every
    // empty non-blocking recv(); sends and the pause that stands for END still pass MSG_DONTWAIT.
    if (!tcp_set_blocking(m_fd, true)) {
        tcp_close(&m_fd);
        return VI_ERROR_SYSTEM_ERROR;
    }
    tcp_set_nodelay(m_fd, m_nodelay);
    // Keep-alive lets a read on an idle link to a vanished host end with CONN_LOST eventually.
    m_keepalive = tcp_set_keepalive(m_fd, true);
    return VI_SUCCESS;
}

ViStatus tcp_socket_transport::write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    size_t sent = 0;
    const ViStatus st = tcp_send_all(m_fd, buf, cnt, &sent, tcp_deadline::after_ms(attrs.tmo_ms), &m_wakeup);
    *ret_cnt = static_cast<ViUInt32>(sent);
    return st;
}

ViStatus tcp_socket_transport::read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    if (m_wakeup.woken())
        return VI_ERROR_ABORT;
    return m_reader.read(*this, buf, cnt, ret_cnt, attrs);
}

ViStatus tcp_socket_transport::next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs,
                                          const tcp_deadline &deadline, read_chunk *chunk)
{
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    // A byte stream has no END; unless END is suppressed, a pause after some bytes stands for it:
    // only bytes already queued continue the message, so this receive does not wait.
    const bool pause_ends = !attrs.suppress_end_en && gathered > 0;
    // An immediate time-out still takes what is queued, which only the non-blocking receive does.
    if (!pause_ends && deadline.remaining_ms() > 0)
        return tcp_recv_blocking(m_fd, dst, cap, &chunk->len, deadline, &m_wakeup, &m_rcvtimeo_ms);
    const ViStatus status = tcp_recv_some(m_fd, dst, cap, &chunk->len, tcp_deadline::after_ms(0), &m_wakeup);
    if (pause_ends && status == VI_ERROR_TMO) {
        chunk->end = true;
        return VI_SUCCESS;
    }
    return status;
}

ViStatus tcp_socket_transport::clear(const io_attrs &attrs)
{
    (void)attrs;
    m_reader.reset();
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    tcp_discard_input(m_fd, kClearDrainLimit);
    return VI_SUCCESS;
}

ViStatus tcp_socket_transport::read_stb(ViUInt16 *stb, const io_attrs &attrs)
{
    // Only an instrument declared to speak IEEE 488.2 strings has a status byte to ask for.
    if (attrs.io_prot != VI_PROT_4882_STRS)
        return VI_ERROR_NSUP_OPER;
    static const char query[] = "*STB?\n";
    ViUInt32 done = 0;
    ViStatus st = write(reinterpret_cast<const ViByte *>(query), sizeof query - 1, &done, attrs);
    if (st < 0)
        return st;
    io_attrs line = attrs;
    line.termchar = '\n';
    line.termchar_en = true;
    ViByte answer[kStbAnswerMax + 1] = {0};
    st = read(answer, kStbAnswerMax, &done, line);
    if (st < 0)
        return st;
    answer[done] = 0;
    char *end = nullptr;
    const long value = std::strtol(reinterpret_cast<const char *>(answer), &end, 10);
    if (end == reinterpret_cast<const char *>(answer) || value < 0 || value > 255)
        return VI_ERROR_IO;
    *stb = static_cast<ViUInt16>(value);
    return VI_SUCCESS;
}

ViStatus tcp_socket_transport::assert_trigger(ViUInt16 protocol, const io_attrs &attrs)
{
    if (attrs.io_prot != VI_PROT_4882_STRS)
        return VI_ERROR_NSUP_OPER;
    if (protocol != VI_TRIG_PROT_DEFAULT)
        return VI_ERROR_INV_PROT;
    static const char command[] = "*TRG\n";
    ViUInt32 done = 0;
    const ViStatus st = write(reinterpret_cast<const ViByte *>(command), sizeof command - 1, &done, attrs);
    return st < 0 ? st : VI_SUCCESS;
}

void tcp_socket_transport::interrupt()
{
    m_wakeup.wake();
    // Also wakes a poll() should the eventfd have been unavailable; the descriptor stays open
    // until close(), so no other thread can see it reused.
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void tcp_socket_transport::close()
{
    tcp_close(&m_fd);
}

ViStatus tcp_socket_transport::get_attribute(ViAttr attr, void *value)
{
    switch (attr) {
    case VI_ATTR_TCPIP_NODELAY:
        *static_cast<ViBoolean *>(value) = m_nodelay ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_KEEPALIVE:
        *static_cast<ViBoolean *>(value) = m_keepalive ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_ADDR:
        if (m_peer_address.empty())
            return VI_ERROR_NSUP_ATTR;
        std::snprintf(static_cast<char *>(value), VI_FIND_BUFLEN, "%s", m_peer_address.c_str());
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus tcp_socket_transport::set_attribute(ViAttr attr, ViAttrState value)
{
    if (attr != VI_ATTR_TCPIP_NODELAY && attr != VI_ATTR_TCPIP_KEEPALIVE)
        return VI_ERROR_NSUP_ATTR;
    if (value != VI_TRUE && value != VI_FALSE)
        return VI_ERROR_NSUP_ATTR_STATE;
    const bool on = value == VI_TRUE;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    if (attr == VI_ATTR_TCPIP_NODELAY) {
        if (!tcp_set_nodelay(m_fd, on))
            return VI_ERROR_NSUP_ATTR_STATE;
        m_nodelay = on;
    } else {
        if (!tcp_set_keepalive(m_fd, on))
            return VI_ERROR_NSUP_ATTR_STATE;
        m_keepalive = on;
    }
    return VI_SUCCESS;
}

} // namespace velq
