// The synchronous channel of hislip_transport: data, triggers and the device clear.
#include "hislip/hislip_transport.h"

#include <algorithm>
#include <cstring>

#include <sys/uio.h>

namespace velq {

uint8_t hislip_transport::take_rmt()
{
    return m_rmt_delivered.exchange(false) ? kHislipRmtDelivered : 0;
}

void hislip_transport::drop_response()
{
    m_reader.reset();
    if (m_in_message) {
        m_skip_left += m_payload_left;
        m_payload_left = 0;
        m_in_message = false;
    }
}

ViStatus hislip_transport::flush_backlog(const tcp_deadline &deadline)
{
    if (m_backlog.empty())
        return VI_SUCCESS;
    iovec iov;
    iov.iov_base = m_backlog.data();
    iov.iov_len = m_backlog.size();
    size_t sent = 0;
    const ViStatus status = m_sync.send_all(&iov, 1, deadline, &sent);
    m_backlog.erase(m_backlog.begin(), m_backlog.begin() + static_cast<std::ptrdiff_t>(sent));
    return fail(status);
}

ViStatus hislip_transport::begin_sync_send(const tcp_deadline &deadline)
{
    const ViStatus status = check_alive();
    if (status != VI_SUCCESS)
        return status;
    return flush_backlog(deadline);
}

ViStatus hislip_transport::send_sync_message(uint8_t type, uint8_t control, const ViByte *payload, size_t len,
                                             const tcp_deadline &deadline, size_t *payload_sent)
{
    *payload_sent = 0;
    hislip_header hdr;
    hdr.type = type;
    hdr.control = control;
    hdr.param = m_next_id;
    hdr.length = len;
    size_t sent = 0;
    const ViStatus status = m_sync.send_frame(hdr, payload, deadline, &sent);
    if (sent == 0) {
        if (control & kHislipRmtDelivered)
            m_rmt_delivered = true;
        return fail(status);
    }
    // Once part of a frame is out it must be finished, or the server loses
    // the framing; the rest goes out before anything else is sent.
    if (status != VI_SUCCESS) {
        if (status != VI_ERROR_TMO && status != VI_ERROR_ABORT)
            return fail(status);
        if (sent < kHislipHeaderSize) {
            uint8_t raw[kHislipHeaderSize];
            hislip_encode_header(hdr, raw);
            m_backlog.assign(raw + sent, raw + sizeof raw);
            m_backlog.insert(m_backlog.end(), payload, payload + len);
        } else {
            m_backlog.assign(payload + (sent - kHislipHeaderSize), payload + len);
        }
    }
    *payload_sent = sent > kHislipHeaderSize ? sent - kHislipHeaderSize : 0;
    m_last_sent_id = m_next_id;
    m_next_id = hislip_next_message_id(m_next_id);
    return status;
}

ViStatus hislip_transport::write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    const tcp_deadline deadline = tcp_deadline::after_ms(attrs.tmo_ms);
    ViStatus status = begin_sync_send(deadline);
    if (status != VI_SUCCESS)
        return status;
    // A new message makes any unread answer obsolete.
    drop_response();
    if (cnt == 0 && !attrs.send_end_en)
        return VI_SUCCESS;

    const uint64_t chunk = std::min<uint64_t>(m_server_max - kHislipHeaderSize, 1u << 30);
    ViUInt32 offset = 0;
    do {
        const ViUInt32 len = static_cast<ViUInt32>(std::min<uint64_t>(chunk, cnt - offset));
        const bool last = offset + len == cnt;
        const uint8_t type = last && attrs.send_end_en ? HISLIP_DATA_END : HISLIP_DATA;
        size_t sent = 0;
        status = send_sync_message(type, take_rmt(), buf + offset, len, deadline, &sent);
        if (status != VI_SUCCESS) {
            *ret_cnt = offset + static_cast<ViUInt32>(sent);
            return status;
        }
        offset += len;
    } while (offset < cnt);
    *ret_cnt = cnt;
    return VI_SUCCESS;
}

ViStatus hislip_transport::assert_trigger(ViUInt16 protocol, const io_attrs &attrs)
{
    if (protocol != VI_TRIG_PROT_DEFAULT)
        return VI_ERROR_INV_PROT;
    const tcp_deadline deadline = tcp_deadline::after_ms(attrs.tmo_ms);
    const ViStatus status = begin_sync_send(deadline);
    if (status != VI_SUCCESS)
        return status;
    drop_response();
    size_t sent = 0;
    return send_sync_message(HISLIP_TRIGGER, take_rmt(), nullptr, 0, deadline, &sent);
}

ViStatus hislip_transport::read_sync_header(const tcp_deadline &deadline, hislip_header *hdr)
{
    while (m_hdr_have < kHislipHeaderSize) {
        size_t got = 0;
        const ViStatus status = m_sync.recv_some(m_hdr_buf + m_hdr_have, kHislipHeaderSize - m_hdr_have,
                                                 deadline, &got);
        if (status != VI_SUCCESS)
            return fail(status);
        m_hdr_have += got;
    }
    m_hdr_have = 0;
    if (hislip_decode_header(m_hdr_buf, hdr) != HISLIP_DECODE_OK)
        return send_fatal(HISLIP_FATAL_BAD_HEADER, "bad prologue");
    // Checked here, once for every type, because a length we then skip is as binding as one we read:
    // 2^63 bytes of "payload" after an Interrupted would hold the channel for good. Types that carry
    // nothing still get the small allowance asynchronous messages have, for servers that pad.
    const uint64_t limit = hislip_type_carries_payload(hdr->type) ? m_accept_max : kHislipMaxAsyncPayload;
    if (hdr->length > limit)
        return send_fatal(HISLIP_FATAL_UNIDENTIFIED, "message too large");
    return VI_SUCCESS;
}

ViStatus hislip_transport::skip_sync_payload(const tcp_deadline &deadline)
{
    uint8_t scratch[16 * 1024];
    while (m_skip_left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(m_skip_left, sizeof scratch));
        size_t got = 0;
        const ViStatus status = m_sync.recv_some(scratch, want, deadline, &got);
        if (status != VI_SUCCESS)
            return fail(status);
        m_skip_left -= got;
    }
    return VI_SUCCESS;
}

ViStatus hislip_transport::read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    const ViStatus status = check_alive();
    if (status != VI_SUCCESS)
        return status;
    const ViStatus result = m_reader.read(*this, buf, cnt, ret_cnt, attrs);
    if (result == VI_SUCCESS)
        m_rmt_delivered = true;
    return result;
}

ViStatus hislip_transport::next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs,
                                      const tcp_deadline &deadline, read_chunk *chunk)
{
    (void)gathered;
    (void)attrs;
    for (unsigned headers = 0;; ++headers) {
        if (m_in_message && m_payload_left > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(cap, m_payload_left));
            const ViStatus status = m_sync.recv_some(dst, want, deadline, &chunk->len);
            if (status != VI_SUCCESS)
                return fail(status);
            m_payload_left -= chunk->len;
            chunk->end = m_msg_is_end && m_payload_left == 0;
            if (m_payload_left == 0)
                m_in_message = false;
            return VI_SUCCESS;
        }
        if (m_in_message && m_msg_is_end) {
            m_in_message = false; // an empty DataEnd
            chunk->end = true;
            return VI_SUCCESS;
        }
        m_in_message = false;

        // A peer that keeps sending messages we drop never lets a wait time out, so the deadline is
        // checked here too (not before the first header: a zero time-out still takes what has arrived).
        if (headers > 0 && deadline.passed())
            return VI_ERROR_TMO;
        ViStatus status = skip_sync_payload(deadline);
        if (status != VI_SUCCESS)
            return status;
        hislip_header hdr;
        status = read_sync_header(deadline, &hdr);
        if (status != VI_SUCCESS)
            return status;

        switch (hdr.type) {
        case HISLIP_DATA:
        case HISLIP_DATA_END:
            if (!m_overlapped && hdr.param != kHislipUnknownMessageId && hdr.param != m_last_sent_id) {
                // An answer to a message before the last one (e.g. after a time-out):
                // it and whatever this read has gathered so far are obsolete.
                m_skip_left = hdr.length;
                chunk->restart = true;
                return VI_SUCCESS;
            }
            m_in_message = true;
            m_msg_is_end = hdr.type == HISLIP_DATA_END;
            m_payload_left = hdr.length;
            break;
        case HISLIP_INTERRUPTED:
            m_skip_left = hdr.length;
            chunk->restart = true;
            return VI_SUCCESS;
        case HISLIP_FATAL_ERROR:
            m_sync.close();
            m_async.close();
            return fail(VI_ERROR_IO);
        case HISLIP_ERROR:
            // The server dropped something we sent, so no answer will come.
            m_skip_left = hdr.length;
            status = skip_sync_payload(deadline);
            return status == VI_SUCCESS ? VI_ERROR_IO : status;
        case HISLIP_DEVICE_CLEAR_ACKNOWLEDGE:
            m_skip_left = hdr.length; // late answer of a clear that timed out
            break;
        default:
            m_skip_left = hdr.length;
            status = send_error(m_sync, HISLIP_ERR_UNRECOGNIZED_MSG_TYPE, "unrecognized message type");
            if (status != VI_SUCCESS)
                return fail(status);
            break;
        }
    }
}

ViStatus hislip_transport::clear(const io_attrs &attrs)
{
    const tcp_deadline deadline = tcp_deadline::after_ms(attrs.tmo_ms);
    ViStatus status = begin_sync_send(deadline);
    if (status != VI_SUCCESS)
        return status;

    hislip_header hdr;
    hdr.type = HISLIP_ASYNC_DEVICE_CLEAR;
    status = send_message(m_async, hdr, nullptr, deadline);
    if (status != VI_SUCCESS)
        return fail(status);
    async_msg msg;
    for (unsigned dropped = 0;; ++dropped) {
        if (dropped > 0 && deadline.passed())
            return VI_ERROR_TMO;
        status = read_async_message(deadline, &msg);
        if (status != VI_SUCCESS)
            return status;
        if (msg.hdr.type == HISLIP_ASYNC_DEVICE_CLEAR_ACKNOWLEDGE)
            break;
        if (msg.hdr.type == HISLIP_FATAL_ERROR) {
            m_sync.close();
            m_async.close();
            return fail(VI_ERROR_IO);
        }
        if (msg.hdr.type == HISLIP_ASYNC_SERVICE_REQUEST)
            handle_unsolicited_async(msg);
    }
    // Whatever answers were still due on the asynchronous channel came before the acknowledgement.
    std::fill(std::begin(m_stale_async), std::end(m_stale_async), 0u);

    hdr = hislip_header();
    hdr.type = HISLIP_DEVICE_CLEAR_COMPLETE;
    hdr.control = 0; // synchronized mode
    status = send_message(m_sync, hdr, nullptr, deadline);
    if (status != VI_SUCCESS)
        return fail(status);

    drop_response();
    for (unsigned dropped = 0;; ++dropped) {
        if (dropped > 0 && deadline.passed())
            return VI_ERROR_TMO;
        status = skip_sync_payload(deadline);
        if (status != VI_SUCCESS)
            return status;
        status = read_sync_header(deadline, &hdr);
        if (status != VI_SUCCESS)
            return status;
        if (hdr.type == HISLIP_DEVICE_CLEAR_ACKNOWLEDGE)
            break;
        if (hdr.type == HISLIP_FATAL_ERROR) {
            m_sync.close();
            m_async.close();
            return fail(VI_ERROR_IO);
        }
        m_skip_left = hdr.length;
    }
    m_skip_left = hdr.length;
    status = skip_sync_payload(deadline);
    if (status != VI_SUCCESS)
        return status;
    m_overlapped = (hdr.control & kHislipFeatureOverlapped) != 0;
    m_next_id = kHislipFirstMessageId;
    m_last_sent_id = kHislipNoMessageId;
    m_rmt_delivered = false;
    return VI_SUCCESS;
}

} // namespace velq
