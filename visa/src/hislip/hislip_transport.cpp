#include "hislip/hislip_transport.h"

#include "api/rsrc_parse.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include <sys/uio.h>
#include <unistd.h>

namespace velq {

namespace {

const char kClientVendor[2] = {'V', 'Q'};
// Longest text or lock string we take from the asynchronous channel; the
// protocol needs 256, the margin is for chatty error texts.
constexpr uint64_t kMaxAsyncPayloadAccepted = 64 * 1024;
constexpr uint64_t kMinMessageSize = 256;

std::atomic<unsigned> s_key_counter{0};

ViVersion hislip_version_to_visa(uint16_t version)
{
    return (static_cast<ViVersion>(version >> 8) << 20) | (static_cast<ViVersion>(version & 0xFF) << 8);
}

} // namespace

hislip_transport::hislip_transport() = default;

hislip_transport::~hislip_transport()
{
    close();
}

void hislip_transport::interrupt()
{
    m_interrupted = true;
    m_wakeup.wake();
}

void hislip_transport::close()
{
    // Closing both connections is the whole teardown: the server releases our locks.
    m_sync.close();
    m_async.close();
}

ViStatus hislip_transport::check_alive() const
{
    if (m_interrupted)
        return VI_ERROR_ABORT;
    if (m_dead != VI_SUCCESS)
        return VI_ERROR_CONN_LOST;
    return VI_SUCCESS;
}

ViStatus hislip_transport::fail(ViStatus status)
{
    if (status == VI_ERROR_ABORT && m_interrupted)
        return status;
    if (status == VI_ERROR_CONN_LOST || status == VI_ERROR_IO) {
        ViStatus expected = VI_SUCCESS;
        m_dead.compare_exchange_strong(expected, status);
    }
    return status;
}

ViStatus hislip_transport::send_message(hislip_channel &chan, const hislip_header &hdr, const void *payload,
                                        const tcp_deadline &deadline)
{
    size_t sent = 0;
    const ViStatus status = chan.send_frame(hdr, payload, deadline, &sent);
    // A half-sent asynchronous frame cannot be resumed without confusing the
    // server, so the session is over.
    if (status != VI_SUCCESS && sent > 0)
        return fail(VI_ERROR_CONN_LOST);
    return status;
}

ViStatus hislip_transport::send_error(hislip_channel &chan, uint8_t code, const char *text)
{
    hislip_header hdr;
    hdr.type = HISLIP_ERROR;
    hdr.control = code;
    hdr.length = std::strlen(text);
    return send_message(chan, hdr, text, tcp_deadline::after_ms(1000));
}

ViStatus hislip_transport::send_fatal(uint8_t code, const char *text)
{
    hislip_header hdr;
    hdr.type = HISLIP_FATAL_ERROR;
    hdr.control = code;
    hdr.length = std::strlen(text);
    if (m_sync.is_open())
        send_message(m_sync, hdr, text, tcp_deadline::after_ms(500));
    if (m_async.is_open())
        send_message(m_async, hdr, text, tcp_deadline::after_ms(500));
    m_sync.close();
    m_async.close();
    return fail(VI_ERROR_IO);
}

ViStatus hislip_transport::read_async_message(const tcp_deadline &deadline, async_msg *msg)
{
    while (!m_async_hdr_done) {
        size_t got = 0;
        const ViStatus status = m_async.recv_some(m_async_hdr_buf + m_async_hdr_have,
                                                  kHislipHeaderSize - m_async_hdr_have, deadline, &got);
        if (status != VI_SUCCESS)
            return fail(status);
        m_async_hdr_have += got;
        if (m_async_hdr_have < kHislipHeaderSize)
            continue;
        if (hislip_decode_header(m_async_hdr_buf, &m_async_hdr) != HISLIP_DECODE_OK)
            return send_fatal(HISLIP_FATAL_BAD_HEADER, "bad prologue");
        if (m_async_hdr.length > kMaxAsyncPayloadAccepted)
            return send_fatal(HISLIP_FATAL_UNIDENTIFIED, "asynchronous message too large");
        m_async_hdr_done = true;
        m_async_payload.clear();
        m_async_payload.reserve(static_cast<size_t>(m_async_hdr.length));
    }
    while (m_async_payload.size() < m_async_hdr.length) {
        uint8_t chunk[4096];
        size_t want = static_cast<size_t>(m_async_hdr.length) - m_async_payload.size();
        if (want > sizeof chunk)
            want = sizeof chunk;
        size_t got = 0;
        const ViStatus status = m_async.recv_some(chunk, want, deadline, &got);
        if (status != VI_SUCCESS)
            return fail(status);
        m_async_payload.insert(m_async_payload.end(), chunk, chunk + got);
    }
    msg->hdr = m_async_hdr;
    msg->payload.swap(m_async_payload);
    m_async_payload.clear();
    m_async_hdr_done = false;
    m_async_hdr_have = 0;
    return VI_SUCCESS;
}

void hislip_transport::handle_unsolicited_async(const async_msg &msg)
{
    if (msg.hdr.type == HISLIP_ASYNC_SERVICE_REQUEST)
        m_srq = true;
    // AsyncInterrupted needs nothing here: the synchronous side already drops
    // answers whose MessageID is not the one we last sent.
}

ViStatus hislip_transport::async_transaction(const hislip_header &request, const void *payload,
                                             uint8_t response_type, const tcp_deadline &deadline,
                                             async_msg *response)
{
    ViStatus status = send_message(m_async, request, payload, deadline);
    if (status != VI_SUCCESS)
        return fail(status);
    for (unsigned messages = 0;; ++messages) {
        if (messages > 0 && deadline.passed()) {
            ++m_stale_async[response_type & 31];
            return VI_ERROR_TMO;
        }
        status = read_async_message(deadline, response);
        if (status == VI_ERROR_TMO) {
            // The answer may still come; the next transaction must not take it for its own.
            ++m_stale_async[response_type & 31];
            return status;
        }
        if (status != VI_SUCCESS)
            return status;
        const uint8_t type = response->hdr.type;
        if (type == response_type) {
            if (m_stale_async[type & 31] > 0) {
                --m_stale_async[type & 31];
                continue;
            }
            return VI_SUCCESS;
        }
        if (type == HISLIP_FATAL_ERROR) {
            m_sync.close();
            m_async.close();
            return fail(VI_ERROR_IO);
        }
        if (type == HISLIP_ERROR)
            return VI_ERROR_IO;
        if (!hislip_is_known_type(type)) {
            status = send_error(m_async, HISLIP_ERR_UNRECOGNIZED_MSG_TYPE, "unrecognized message type");
            if (status != VI_SUCCESS)
                return fail(status);
            continue;
        }
        if (type < 32 && m_stale_async[type] > 0) {
            --m_stale_async[type];
            continue;
        }
        handle_unsolicited_async(*response);
    }
}

ViStatus hislip_transport::open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms)
{
    if (m_wakeup.fd() < 0)
        return VI_ERROR_SYSTEM_ERROR;
    m_host = rsrc.host;
    m_port = rsrc.hislip_port;
    m_device_name = rsrc.hislip_name.empty() ? rsrc.lan_device : rsrc.hislip_name;
    if (m_device_name.size() > kHislipMaxSubAddress)
        return VI_ERROR_INV_RSRC_NAME;
    const tcp_deadline deadline = tcp_deadline::after_ms(open_tmo_ms);

    ViStatus status = m_sync.connect(m_host, m_port, &m_wakeup, deadline);
    if (status != VI_SUCCESS)
        return status;

    hislip_header hdr;
    hdr.type = HISLIP_INITIALIZE;
    hdr.param = hislip_init_param(kHislipProtocolVersion, hislip_vendor_id(kClientVendor));
    hdr.length = m_device_name.size();
    status = send_message(m_sync, hdr, m_device_name.data(), deadline);
    if (status != VI_SUCCESS)
        return status == VI_ERROR_TMO || status == VI_ERROR_ABORT ? status : VI_ERROR_RSRC_NFOUND;

    uint8_t raw[kHislipHeaderSize];
    status = m_sync.recv_exact(raw, sizeof raw, deadline);
    if (status != VI_SUCCESS)
        return status == VI_ERROR_TMO || status == VI_ERROR_ABORT ? status : VI_ERROR_RSRC_NFOUND;
    hislip_header resp;
    if (hislip_decode_header(raw, &resp) != HISLIP_DECODE_OK) {
        send_fatal(HISLIP_FATAL_BAD_HEADER, "bad prologue");
        return VI_ERROR_RSRC_NFOUND;
    }
    if (resp.type == HISLIP_FATAL_ERROR)
        return resp.control == HISLIP_FATAL_MAX_CLIENTS ? VI_ERROR_RSRC_BUSY : VI_ERROR_RSRC_NFOUND;
    if (resp.type != HISLIP_INITIALIZE_RESPONSE || resp.length != 0) {
        send_fatal(HISLIP_FATAL_INVALID_INIT_SEQUENCE, "expected InitializeResponse");
        return VI_ERROR_RSRC_NFOUND;
    }
    m_overlapped = (resp.control & kHislipFeatureOverlapped) != 0;
    const uint16_t server_version = static_cast<uint16_t>(resp.param >> 16);
    m_server_version = server_version < kHislipProtocolVersion ? server_version : kHislipProtocolVersion;
    m_session_id = static_cast<uint16_t>(resp.param & 0xFFFF);

    status = m_async.connect(m_host, m_port, &m_wakeup, deadline);
    if (status != VI_SUCCESS)
        return status;
    hdr = hislip_header();
    hdr.type = HISLIP_ASYNC_INITIALIZE;
    hdr.param = m_session_id;
    async_msg msg;
    status = async_transaction(hdr, nullptr, HISLIP_ASYNC_INITIALIZE_RESPONSE, deadline, &msg);
    if (status != VI_SUCCESS)
        return status == VI_ERROR_TMO || status == VI_ERROR_ABORT ? status : VI_ERROR_RSRC_NFOUND;
    m_server_vendor = static_cast<uint16_t>(msg.hdr.param & 0xFFFF);

    uint8_t size_be[8];
    hislip_put_u64(m_our_max, size_be);
    hdr = hislip_header();
    hdr.type = HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE;
    hdr.length = sizeof size_be;
    status = async_transaction(hdr, size_be, HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE, deadline, &msg);
    if (status != VI_SUCCESS || msg.payload.size() != 8)
        return status == VI_ERROR_TMO || status == VI_ERROR_ABORT ? status : VI_ERROR_RSRC_NFOUND;
    m_server_max = hislip_get_u64(msg.payload.data());
    if (m_server_max < kMinMessageSize)
        m_server_max = kMinMessageSize;
    return VI_SUCCESS;
}

ViStatus hislip_transport::read_stb(ViUInt16 *stb, const io_attrs &attrs)
{
    ViStatus status = check_alive();
    if (status != VI_SUCCESS)
        return status;
    hislip_header hdr;
    hdr.type = HISLIP_ASYNC_STATUS_QUERY;
    hdr.control = take_rmt();
    hdr.param = m_last_sent_id;
    async_msg msg;
    status = async_transaction(hdr, nullptr, HISLIP_ASYNC_STATUS_RESPONSE, tcp_deadline::after_ms(attrs.tmo_ms), &msg);
    if (status != VI_SUCCESS)
        return status;
    *stb = msg.hdr.control;
    m_srq = false;
    return VI_SUCCESS;
}

ViStatus hislip_transport::gpib_control_ren(ViUInt16 mode, const io_attrs &attrs)
{
    if (mode > VI_GPIB_REN_ADDRESS_GTL)
        return VI_ERROR_INV_MODE;
    ViStatus status = check_alive();
    if (status != VI_SUCCESS)
        return status;
    hislip_header hdr;
    hdr.type = HISLIP_ASYNC_REMOTE_LOCAL_CONTROL;
    hdr.control = static_cast<uint8_t>(mode);
    hdr.param = m_last_sent_id;
    async_msg msg;
    return async_transaction(hdr, nullptr, HISLIP_ASYNC_REMOTE_LOCAL_RESPONSE, tcp_deadline::after_ms(attrs.tmo_ms),
                             &msg);
}

ViStatus hislip_transport::lock(ViAccessMode type, ViUInt32 tmo_ms, const char *requested_key, char *access_key)
{
    if (type != VI_EXCLUSIVE_LOCK && type != VI_SHARED_LOCK)
        return VI_ERROR_INV_LOCK_TYPE;
    ViStatus status = check_alive();
    if (status != VI_SUCCESS)
        return status;
    if (type == VI_EXCLUSIVE_LOCK && m_exclusive_count > 0) {
        ++m_exclusive_count;
        return VI_SUCCESS_NESTED_EXCLUSIVE;
    }
    if (type == VI_SHARED_LOCK && m_shared_count > 0) {
        if (requested_key && *requested_key && m_lock_key != requested_key)
            return VI_ERROR_INV_ACCESS_KEY;
        ++m_shared_count;
        if (access_key)
            std::memcpy(access_key, m_lock_key.c_str(), m_lock_key.size() + 1);
        return VI_SUCCESS_NESTED_SHARED;
    }
    std::string key;
    if (type == VI_SHARED_LOCK) {
        if (requested_key && *requested_key) {
            key = requested_key;
            if (key.size() > 255)
                return VI_ERROR_INV_ACCESS_KEY;
        } else {
            char generated[64];
            std::snprintf(generated, sizeof generated, "velq-%ld-%u", static_cast<long>(::getpid()),
                          ++s_key_counter);
            key = generated;
        }
    }
    hislip_header hdr;
    hdr.type = HISLIP_ASYNC_LOCK;
    hdr.control = HISLIP_LOCK_REQUEST;
    hdr.param = tmo_ms;
    hdr.length = key.size();
    // The server waits up to tmo_ms itself; allow a little more for the answer.
    const ViUInt32 wait_ms = tmo_ms >= VI_TMO_INFINITE - 5000 ? VI_TMO_INFINITE : tmo_ms + 5000;
    async_msg msg;
    status = async_transaction(hdr, key.data(), HISLIP_ASYNC_LOCK_RESPONSE, tcp_deadline::after_ms(wait_ms), &msg);
    if (status != VI_SUCCESS)
        return status;
    switch (msg.hdr.control) {
    case HISLIP_LOCK_SUCCESS:
        if (type == VI_EXCLUSIVE_LOCK) {
            m_exclusive_count = 1;
        } else {
            m_shared_count = 1;
            m_lock_key = key;
            if (access_key)
                std::memcpy(access_key, key.c_str(), key.size() + 1);
        }
        return VI_SUCCESS;
    case HISLIP_LOCK_FAIL:
        return VI_ERROR_TMO;
    default:
        return VI_ERROR_RSRC_LOCKED;
    }
}

ViStatus hislip_transport::unlock()
{
    ViStatus status = check_alive();
    if (status != VI_SUCCESS)
        return status;
    // The server releases the exclusive lock first, so the counts go the same way.
    unsigned &count = m_exclusive_count > 0 ? m_exclusive_count : m_shared_count;
    if (count == 0)
        return VI_ERROR_SESN_NLOCKED;
    if (count > 1) {
        --count;
        return VI_SUCCESS;
    }
    hislip_header hdr;
    hdr.type = HISLIP_ASYNC_LOCK;
    hdr.control = HISLIP_LOCK_RELEASE;
    hdr.param = m_last_sent_id;
    async_msg msg;
    status = async_transaction(hdr, nullptr, HISLIP_ASYNC_LOCK_RESPONSE, tcp_deadline::after_ms(10000), &msg);
    if (status != VI_SUCCESS)
        return status;
    count = 0;
    if (m_shared_count == 0)
        m_lock_key.clear();
    if (msg.hdr.control == HISLIP_LOCK_SUCCESS || msg.hdr.control == HISLIP_LOCK_SHARED_RELEASED)
        return VI_SUCCESS;
    return VI_ERROR_SESN_NLOCKED;
}

ViStatus hislip_transport::get_attribute(ViAttr attr, void *value)
{
    switch (attr) {
    case VI_ATTR_TCPIP_IS_HISLIP:
        *static_cast<ViBoolean *>(value) = VI_TRUE;
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_HISLIP_VERSION:
        *static_cast<ViVersion *>(value) = hislip_version_to_visa(m_server_version);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB:
        *static_cast<ViUInt32 *>(value) = static_cast<ViUInt32>(m_our_max / 1024);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_HISLIP_OVERLAP_EN:
        *static_cast<ViBoolean *>(value) = m_overlapped ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_PORT:
        *static_cast<ViUInt16 *>(value) = m_port;
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_DEVICE_NAME:
        std::snprintf(static_cast<char *>(value), VI_FIND_BUFLEN, "%s", m_device_name.c_str());
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus hislip_transport::set_attribute(ViAttr attr, ViAttrState value)
{
    switch (attr) {
    case VI_ATTR_TCPIP_HISLIP_OVERLAP_EN:
        // Only synchronized mode is implemented; it is also what every device clear asks for.
        return value ? VI_ERROR_NSUP_ATTR_STATE : VI_SUCCESS;
    case VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB: {
        if (value < 1 || value > 0x400000)
            return VI_ERROR_NSUP_ATTR_STATE;
        ViStatus status = check_alive();
        if (status != VI_SUCCESS)
            return status;
        const uint64_t wanted = static_cast<uint64_t>(value) * 1024;
        uint8_t size_be[8];
        hislip_put_u64(wanted, size_be);
        hislip_header hdr;
        hdr.type = HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE;
        hdr.length = sizeof size_be;
        async_msg msg;
        // Announce first and adopt afterwards: the server may still be
        // sending within the old limit until it has read ours.
        status = async_transaction(hdr, size_be, HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE,
                                   tcp_deadline::after_ms(5000), &msg);
        if (status != VI_SUCCESS)
            return status;
        if (msg.payload.size() == 8) {
            m_server_max = hislip_get_u64(msg.payload.data());
            if (m_server_max < kMinMessageSize)
                m_server_max = kMinMessageSize;
        }
        m_our_max = wanted;
        if (wanted > m_accept_max)
            m_accept_max = wanted;
        return VI_SUCCESS;
    }
    case VI_ATTR_TCPIP_IS_HISLIP:
    case VI_ATTR_TCPIP_HISLIP_VERSION:
        return VI_ERROR_ATTR_READONLY;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

} // namespace velq
