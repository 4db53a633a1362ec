#include "serial/asrl_transport.h"

#include "api/rsrc_parse.h"
#include "transport/dev_open.h"
#include "transport/string_488.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace velq {

namespace {

// A port that hangs up or is unplugged reports one of these; the session is then gone for good.
bool is_lost(int err)
{
    return err == EIO || err == ENODEV || err == ENXIO || err == EBADF;
}

} // namespace

asrl_transport::asrl_transport() = default;

asrl_transport::~asrl_transport()
{
    close();
}

ViStatus asrl_transport::open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms)
{
    (void)open_tmo_ms;
    if (rsrc.asrl_path.empty())
        return VI_ERROR_RSRC_NFOUND;
    m_fd = ::open(rsrc.asrl_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return dev_open_error(errno, rsrc.asrl_path);
    if (!::isatty(m_fd)) {
        close();
        return dev_open_error(ENOTTY, rsrc.asrl_path);
    }
    // TIOCEXCL keeps other programs off the port, but root passes it; the advisory lock also stops
    // a second session of ours, root or not, from interleaving its bytes with ours.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        close();
        return dev_open_error(err, rsrc.asrl_path);
    }
    ::ioctl(m_fd, TIOCEXCL);
    const ViStatus st = asrl_apply(m_fd, m_settings);
    if (st != VI_SUCCESS) {
        close();
        return dev_open_error(EINVAL, rsrc.asrl_path);
    }
    // What an earlier user of the port left unread is no answer to us.
    ::tcflush(m_fd, TCIOFLUSH);
    return VI_SUCCESS;
}

ViStatus asrl_transport::write_raw(const ViByte *buf, size_t len, size_t *sent, const tcp_deadline &deadline)
{
    while (*sent < len) {
        const ssize_t n = ::write(m_fd, buf + *sent, len - *sent);
        if (n > 0) {
            *sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return is_lost(errno) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
        const ViStatus st = tcp_wait(m_fd, POLLOUT, deadline, &m_wakeup);
        if (st != VI_SUCCESS)
            return st;
    }
    return VI_SUCCESS;
}

ViStatus asrl_transport::send_break()
{
    if (::ioctl(m_fd, TIOCSBRK) != 0)
        return ::tcsendbreak(m_fd, 0) == 0 ? VI_SUCCESS : VI_ERROR_IO;
    std::this_thread::sleep_for(std::chrono::milliseconds(m_break_len_ms));
    ::ioctl(m_fd, TIOCCBRK);
    return VI_SUCCESS;
}

ViStatus asrl_transport::write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    if (m_wakeup.woken())
        return VI_ERROR_ABORT;
    // With software flow control the drivers on both ends take these bytes for themselves; data
    // holding them would arrive cut, so refuse it rather than lose bytes silently.
    if (m_settings.flow & VI_ASRL_FLOW_XON_XOFF) {
        for (ViUInt32 i = 0; i < cnt; ++i) {
            if (buf[i] == m_settings.xon || buf[i] == m_settings.xoff)
                return VI_ERROR_INV_SETUP;
        }
    }
    const tcp_deadline deadline = tcp_deadline::after_ms(attrs.tmo_ms);
    const bool mark_end = attrs.send_end_en && cnt > 0;
    size_t sent = 0;
    ViStatus st = VI_SUCCESS;
    if (mark_end && m_end_out == VI_ASRL_END_LAST_BIT) {
        st = write_raw(buf, cnt - 1, &sent, deadline);
        if (st == VI_SUCCESS) {
            const ViByte last = static_cast<ViByte>(buf[cnt - 1] | last_bit());
            size_t one = 0;
            st = write_raw(&last, 1, &one, deadline);
            sent += one;
        }
    } else {
        st = write_raw(buf, cnt, &sent, deadline);
    }
    *ret_cnt = static_cast<ViUInt32>(sent);
    if (st != VI_SUCCESS || !attrs.send_end_en)
        return st;
    if (m_end_out == VI_ASRL_END_TERMCHAR) {
        size_t one = 0;
        return write_raw(&attrs.termchar, 1, &one, deadline);
    }
    if (m_end_out == VI_ASRL_END_BREAK) {
        ::tcdrain(m_fd);
        return send_break();
    }
    return VI_SUCCESS;
}

ViStatus asrl_transport::read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    if (m_wakeup.woken())
        return VI_ERROR_ABORT;
    if (m_end_in != VI_ASRL_END_TERMCHAR)
        return m_reader.read(*this, buf, cnt, ret_cnt, attrs);
    // Here the termination character is the END indicator itself: it ends every read, enabled
    // or not, and reports a complete message.
    io_attrs at_term = attrs;
    at_term.termchar_en = true;
    const ViStatus st = m_reader.read(*this, buf, cnt, ret_cnt, at_term);
    return st == VI_SUCCESS_TERM_CHAR ? VI_SUCCESS : st;
}

ViStatus asrl_transport::next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs,
                                    const tcp_deadline &deadline, read_chunk *chunk)
{
    (void)gathered;
    (void)attrs;
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    size_t len = 0;
    if (!m_pending.empty()) {
        len = std::min(cap, m_pending.size());
        std::memcpy(dst, m_pending.data(), len);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(len));
    } else {
        for (;;) {
            const ViStatus st = tcp_wait(m_fd, POLLIN, deadline, &m_wakeup);
            if (st != VI_SUCCESS)
                return st;
            const ssize_t n = ::read(m_fd, dst, cap);
            if (n > 0) {
                len = static_cast<size_t>(n);
                if (m_discard_null) {
                    len = static_cast<size_t>(std::remove(dst, dst + len, ViByte{0}) - dst);
                    if (len == 0)
                        continue;
                }
                break;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            // Ready but nothing to read is a hang-up, as is a vanished device.
            return n == 0 || is_lost(errno) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
        }
    }
    if (m_end_in == VI_ASRL_END_LAST_BIT) {
        const ViByte bit = last_bit();
        for (size_t i = 0; i < len; ++i) {
            if (dst[i] & bit) {
                // The rest is the start of the next message.
                m_pending.insert(m_pending.begin(), dst + i + 1, dst + len);
                len = i + 1;
                chunk->end = true;
                break;
            }
        }
    }
    chunk->len = len;
    return VI_SUCCESS;
}

ViStatus asrl_transport::clear(const io_attrs &attrs)
{
    (void)attrs;
    m_reader.reset();
    m_pending.clear();
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    return ::tcflush(m_fd, TCIOFLUSH) == 0 ? VI_SUCCESS : VI_ERROR_IO;
}

ViStatus asrl_transport::read_stb(ViUInt16 *stb, const io_attrs &attrs)
{
    return string_488_read_stb(*this, stb, attrs);
}

ViStatus asrl_transport::assert_trigger(ViUInt16 protocol, const io_attrs &attrs)
{
    return string_488_trigger(*this, protocol, attrs);
}

void asrl_transport::interrupt()
{
    m_wakeup.wake();
}

void asrl_transport::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

ViStatus asrl_transport::get_attribute(ViAttr attr, void *value)
{
    auto u16 = [value](ViUInt16 v) {
        *static_cast<ViUInt16 *>(value) = v;
        return VI_SUCCESS;
    };
    switch (attr) {
    case VI_ATTR_ASRL_BAUD:
        *static_cast<ViUInt32 *>(value) = m_settings.baud;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_DATA_BITS:
        return u16(m_settings.data_bits);
    case VI_ATTR_ASRL_PARITY:
        return u16(m_settings.parity);
    case VI_ATTR_ASRL_STOP_BITS:
        return u16(m_settings.stop_bits);
    case VI_ATTR_ASRL_FLOW_CNTRL:
        return u16(m_settings.flow);
    case VI_ATTR_ASRL_END_IN:
        return u16(m_end_in);
    case VI_ATTR_ASRL_END_OUT:
        return u16(m_end_out);
    case VI_ATTR_ASRL_XON_CHAR:
    case VI_ATTR_ASRL_XOFF_CHAR:
        *static_cast<ViUInt8 *>(value) = attr == VI_ATTR_ASRL_XON_CHAR ? m_settings.xon : m_settings.xoff;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_REPLACE_CHAR:
        *static_cast<ViUInt8 *>(value) = m_replace_char;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_DISCARD_NULL:
        *static_cast<ViBoolean *>(value) = m_discard_null ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_BREAK_LEN:
        *static_cast<ViInt16 *>(value) = m_break_len_ms;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_AVAIL_NUM: {
        int queued = 0;
        if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &queued) != 0)
            queued = 0;
        *static_cast<ViUInt32 *>(value) = static_cast<ViUInt32>(queued) + static_cast<ViUInt32>(m_pending.size());
        return VI_SUCCESS;
    }
    case VI_ATTR_ASRL_CTS_STATE:
    case VI_ATTR_ASRL_DSR_STATE:
    case VI_ATTR_ASRL_DCD_STATE:
    case VI_ATTR_ASRL_RI_STATE:
    case VI_ATTR_ASRL_DTR_STATE:
    case VI_ATTR_ASRL_RTS_STATE: {
        int bits = 0;
        ViInt16 state = VI_STATE_UNKNOWN;
        // Pseudo-terminals and some adapters have no modem lines at all.
        if (m_fd >= 0 && ::ioctl(m_fd, TIOCMGET, &bits) == 0) {
            const int mask = attr == VI_ATTR_ASRL_CTS_STATE   ? TIOCM_CTS
                             : attr == VI_ATTR_ASRL_DSR_STATE ? TIOCM_DSR
                             : attr == VI_ATTR_ASRL_DCD_STATE ? TIOCM_CAR
                             : attr == VI_ATTR_ASRL_RI_STATE  ? TIOCM_RNG
                             : attr == VI_ATTR_ASRL_DTR_STATE ? TIOCM_DTR
                                                              : TIOCM_RTS;
            state = (bits & mask) ? VI_STATE_ASSERTED : VI_STATE_UNASSERTED;
        }
        *static_cast<ViInt16 *>(value) = state;
        return VI_SUCCESS;
    }
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus asrl_transport::set_line(ViAttr attr, ViAttrState value)
{
    if (value != VI_STATE_ASSERTED && value != VI_STATE_UNASSERTED)
        return VI_ERROR_NSUP_ATTR_STATE;
    // RTS belongs to the driver while hardware handshaking is on.
    if (attr == VI_ATTR_ASRL_RTS_STATE && (m_settings.flow & VI_ASRL_FLOW_RTS_CTS))
        return VI_ERROR_NSUP_ATTR_STATE;
    int bit = attr == VI_ATTR_ASRL_DTR_STATE ? TIOCM_DTR : TIOCM_RTS;
    if (m_fd < 0 || ::ioctl(m_fd, value == VI_STATE_ASSERTED ? TIOCMBIS : TIOCMBIC, &bit) != 0)
        return VI_ERROR_NSUP_ATTR_STATE;
    return VI_SUCCESS;
}

ViStatus asrl_transport::set_attribute(ViAttr attr, ViAttrState value)
{
    asrl_settings next = m_settings;
    switch (attr) {
    case VI_ATTR_ASRL_BAUD:
        if (value > 0xFFFFFFFFull)
            return VI_ERROR_NSUP_ATTR_STATE;
        next.baud = static_cast<ViUInt32>(value);
        break;
    case VI_ATTR_ASRL_DATA_BITS:
    case VI_ATTR_ASRL_PARITY:
    case VI_ATTR_ASRL_STOP_BITS:
    case VI_ATTR_ASRL_FLOW_CNTRL:
        if (value > 0xFFFF)
            return VI_ERROR_NSUP_ATTR_STATE;
        (attr == VI_ATTR_ASRL_DATA_BITS ? next.data_bits
         : attr == VI_ATTR_ASRL_PARITY  ? next.parity
         : attr == VI_ATTR_ASRL_STOP_BITS ? next.stop_bits
                                          : next.flow) = static_cast<ViUInt16>(value);
        break;
    case VI_ATTR_ASRL_XON_CHAR:
    case VI_ATTR_ASRL_XOFF_CHAR:
        if (value > 0xFF)
            return VI_ERROR_NSUP_ATTR_STATE;
        (attr == VI_ATTR_ASRL_XON_CHAR ? next.xon : next.xoff) = static_cast<ViUInt8>(value);
        // One character cannot both stop and restart the sender.
        if (next.xon == next.xoff)
            return VI_ERROR_NSUP_ATTR_STATE;
        break;
    case VI_ATTR_ASRL_END_IN:
        if (value > VI_ASRL_END_TERMCHAR)
            return VI_ERROR_NSUP_ATTR_STATE;
        m_end_in = static_cast<ViUInt16>(value);
        m_reader.reset();
        return VI_SUCCESS;
    case VI_ATTR_ASRL_END_OUT:
        if (value > VI_ASRL_END_BREAK)
            return VI_ERROR_NSUP_ATTR_STATE;
        m_end_out = static_cast<ViUInt16>(value);
        return VI_SUCCESS;
    case VI_ATTR_ASRL_DISCARD_NULL:
        if (value != VI_TRUE && value != VI_FALSE)
            return VI_ERROR_NSUP_ATTR_STATE;
        m_discard_null = value == VI_TRUE;
        return VI_SUCCESS;
    case VI_ATTR_ASRL_REPLACE_CHAR:
        if (value > 0xFF)
            return VI_ERROR_NSUP_ATTR_STATE;
        m_replace_char = static_cast<ViUInt8>(value);
        return VI_SUCCESS;
    case VI_ATTR_ASRL_BREAK_LEN:
        if (value < 1 || value > 500)
            return VI_ERROR_NSUP_ATTR_STATE;
        m_break_len_ms = static_cast<ViInt16>(value);
        return VI_SUCCESS;
    case VI_ATTR_ASRL_DTR_STATE:
    case VI_ATTR_ASRL_RTS_STATE:
        return set_line(attr, value);
    case VI_ATTR_ASRL_AVAIL_NUM:
    case VI_ATTR_ASRL_CTS_STATE:
    case VI_ATTR_ASRL_DSR_STATE:
    case VI_ATTR_ASRL_DCD_STATE:
    case VI_ATTR_ASRL_RI_STATE:
        return VI_ERROR_ATTR_READONLY;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    const ViStatus st = asrl_apply(m_fd, next);
    if (st == VI_SUCCESS)
        m_settings = next;
    return st;
}

} // namespace velq
