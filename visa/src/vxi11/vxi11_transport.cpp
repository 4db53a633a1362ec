#include "vxi11/vxi11_transport.h"

#include "api/rsrc_parse.h"
#include "api/status_desc.h"
#include "vxi11_proto.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace velq {

namespace {

// Replies are bounded by what we ask for; one device_read asks for at most
// this much, so a record can never grow past it plus the RPC overhead.
constexpr uint32_t kMaxReadChunk = 8u << 20;
constexpr size_t kMaxRecord = kMaxReadChunk + 4096;
// Largest write chunk we send even if the server offers more.
constexpr uint32_t kMaxWriteChunk = 1u << 20;
// The server spends up to io_timeout + lock_timeout on a call; our own RPC
// time-out must outlast that, or a slow but valid answer turns into garbage.
constexpr auto kRpcMargin = std::chrono::milliseconds(1000);

ViStatus map_rpc(rpc_call_result r)
{
    switch (r) {
    case rpc_call_ok: return VI_SUCCESS;
    case rpc_call_refused: return VI_ERROR_RSRC_NFOUND;
    case rpc_call_timeout: return VI_ERROR_TMO;
    case rpc_call_conn_lost: return VI_ERROR_CONN_LOST;
    case rpc_call_unavailable: return VI_ERROR_NSUP_OPER;
    case rpc_call_aborted: return VI_ERROR_ABORT;
    case rpc_call_protocol:
    case rpc_call_rejected: break;
    }
    return VI_ERROR_IO;
}

uint32_t wire_timeout(ViUInt32 ms)
{
    return ms == VI_TMO_INFINITE ? 0xFFFFFFFFu : ms;
}

tcp_deadline rpc_deadline(uint32_t io_timeout, uint32_t lock_timeout)
{
    if (io_timeout == 0xFFFFFFFFu || lock_timeout == 0xFFFFFFFFu)
        return tcp_deadline::never();
    return tcp_deadline::after(std::chrono::milliseconds(uint64_t(io_timeout) + lock_timeout) + kRpcMargin);
}

void copy_string(const std::string &s, void *value)
{
    char *out = static_cast<char *>(value);
    const size_t n = std::min<size_t>(s.size(), VI_FIND_BUFLEN - 1);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

} // namespace

ViStatus vxi11_map_error(int32_t error)
{
    switch (error) {
    case vxi11_err_none:
    case vxi11_err_channel_established: return VI_SUCCESS;
    case vxi11_err_invalid_link: return VI_ERROR_CONN_LOST;
    case vxi11_err_no_channel:
    case vxi11_err_not_supported: return VI_ERROR_NSUP_OPER;
    case vxi11_err_out_of_resources: return VI_ERROR_ALLOC;
    case vxi11_err_locked: return VI_ERROR_RSRC_LOCKED;
    case vxi11_err_no_lock: return VI_ERROR_SESN_NLOCKED;
    case vxi11_err_io_timeout: return VI_ERROR_TMO;
    case vxi11_err_abort: return VI_ERROR_ABORT;
    default: return VI_ERROR_IO;
    }
}

uint16_t vxi11_transport::portmapper_port()
{
    const char *env = std::getenv("VELQ_VXI11_PORTMAPPER_PORT");
    if (env && *env) {
        char *end = nullptr;
        const long v = std::strtol(env, &end, 10);
        if (end && *end == '\0' && v > 0 && v <= 65535)
            return static_cast<uint16_t>(v);
    }
    return pmap_port;
}

vxi11_transport::vxi11_transport()
    : m_rpc(kMaxRecord)
{
}

vxi11_transport::~vxi11_transport()
{
    m_rpc.close();
}

ViStatus vxi11_transport::open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms)
{
    const tcp_deadline deadline = tcp_deadline::after_ms(open_tmo_ms);
    m_host = rsrc.host;
    m_device = rsrc.lan_device.empty() ? std::string("inst0") : rsrc.lan_device;

    uint32_t core_port = 0;
    {
        rpc_client pm(4096);
        rpc_call_result r = pm.connect(m_host, portmapper_port(), deadline);
        if (r != rpc_call_ok)
            return map_rpc(r);
        xdr_bytes reply;
        size_t off = 0;
        r = pm.call(pmap_prog, pmap_vers, pmap_getport,
                    pmap_encode_mapping({vxi11_core_prog, vxi11_core_vers, pmap_ipproto_tcp, 0}), deadline,
                    &reply, &off);
        if (r == rpc_call_unavailable)
            return VI_ERROR_RSRC_NFOUND;
        if (r != rpc_call_ok)
            return map_rpc(r);
        xdr_reader rd(reply.data() + off, reply.size() - off);
        core_port = rd.get_u32();
        if (!rd.ok())
            return VI_ERROR_IO;
    }
    if (core_port == 0 || core_port > 65535) {
        status_cause_set(VI_ERROR_RSRC_NFOUND, "The portmapper of " + m_host + " knows no VXI-11 instrument server.");
        return VI_ERROR_RSRC_NFOUND;
    }

    rpc_call_result r = m_rpc.connect(m_host, static_cast<uint16_t>(core_port), deadline);
    if (r != rpc_call_ok)
        return map_rpc(r);

    vxi11_create_link_parms parms;
    parms.client_id = static_cast<int32_t>(getpid() & 0x7FFFFFFF);
    parms.device = m_device;
    xdr_bytes reply;
    size_t off = 0;
    r = m_rpc.call(vxi11_core_prog, vxi11_core_vers, vxi11_create_link, vxi11_encode(parms), deadline, &reply, &off);
    if (r != rpc_call_ok) {
        m_rpc.close();
        return r == rpc_call_unavailable ? VI_ERROR_RSRC_NFOUND : map_rpc(r);
    }
    xdr_reader rd(reply.data() + off, reply.size() - off);
    vxi11_create_link_resp resp;
    if (!vxi11_decode(rd, &resp)) {
        m_rpc.close();
        return VI_ERROR_IO;
    }
    if (resp.error != vxi11_err_none) {
        m_rpc.close();
        switch (resp.error) {
        case vxi11_err_syntax:
        case vxi11_err_not_accessible:
        case vxi11_err_invalid_address: return VI_ERROR_RSRC_NFOUND;
        default: return vxi11_map_error(resp.error);
        }
    }
    m_lid = resp.lid;
    m_linked = true;
    // Zero would stall every write; servers must take at least 1024 bytes.
    // Huge figures are capped so one call stays small.
    m_max_recv = resp.max_recv_size == 0 ? 1024u : std::min(resp.max_recv_size, kMaxWriteChunk);
    return VI_SUCCESS;
}

ViStatus vxi11_transport::core_call(uint32_t proc, const xdr_bytes &args, const tcp_deadline &deadline,
                                    xdr_bytes *reply, size_t *offset)
{
    if (!m_linked)
        return VI_ERROR_CONN_LOST;
    return map_rpc(m_rpc.call(vxi11_core_prog, vxi11_core_vers, proc, args, deadline, reply, offset));
}

ViStatus vxi11_transport::write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    const tcp_deadline deadline = tcp_deadline::after_ms(attrs.tmo_ms);
    uint32_t off = 0;
    do {
        const uint32_t chunk = std::min(cnt - off, m_max_recv);
        vxi11_write_parms parms;
        parms.lid = m_lid;
        parms.io_timeout = deadline.remaining_ms();
        parms.flags = (off + chunk == cnt && attrs.send_end_en) ? uint32_t(vxi11_flag_end) : 0u;
        parms.data = buf + off;
        parms.size = chunk;
        xdr_bytes reply;
        size_t pos = 0;
        const ViStatus st = core_call(vxi11_device_write, vxi11_encode(parms),
                                      rpc_deadline(parms.io_timeout, 0), &reply, &pos);
        if (st != VI_SUCCESS)
            return st;
        xdr_reader rd(reply.data() + pos, reply.size() - pos);
        vxi11_write_resp resp;
        if (!vxi11_decode(rd, &resp))
            return VI_ERROR_IO;
        // A server that claims more than we sent, or keeps taking nothing,
        // would otherwise make this loop lie or spin.
        if (resp.size > chunk || (resp.error == vxi11_err_none && resp.size == 0 && chunk > 0))
            return VI_ERROR_IO;
        off += resp.size;
        *ret_cnt = off;
        if (resp.error != vxi11_err_none)
            return vxi11_map_error(resp.error);
    } while (off < cnt);
    return VI_SUCCESS;
}

ViStatus vxi11_transport::read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    m_empty_partials = 0;
    return m_reader.read(*this, buf, cnt, ret_cnt, attrs);
}

ViStatus vxi11_transport::next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs,
                                     const tcp_deadline &deadline, read_chunk *chunk)
{
    (void)gathered;
    vxi11_read_parms parms;
    parms.lid = m_lid;
    parms.request_size = static_cast<uint32_t>(std::min<size_t>(cap, kMaxReadChunk));
    parms.io_timeout = deadline.remaining_ms();
    parms.flags = attrs.termchar_en ? uint32_t(vxi11_flag_termchrset) : 0u;
    parms.term_char = attrs.termchar;
    xdr_bytes reply;
    size_t pos = 0;
    const ViStatus st = core_call(vxi11_device_read, vxi11_encode(parms), rpc_deadline(parms.io_timeout, 0), &reply,
                                  &pos);
    if (st != VI_SUCCESS)
        return st;
    xdr_reader rd(reply.data() + pos, reply.size() - pos);
    vxi11_read_resp resp;
    if (!vxi11_decode(rd, &resp, parms.request_size))
        return VI_ERROR_IO;
    if (resp.size)
        std::memcpy(dst, resp.data, resp.size);
    chunk->len = resp.size;
    if (resp.error != vxi11_err_none)
        return vxi11_map_error(resp.error);
    chunk->end = (resp.reason & vxi11_reason_end) != 0;
    chunk->term = (resp.reason & vxi11_reason_chr) != 0;
    // "More follows" with nothing in it, over and over, is a broken peer.
    if (resp.size == 0 && ++m_empty_partials > 16)
        return VI_ERROR_IO;
    if (resp.size)
        m_empty_partials = 0;
    return VI_SUCCESS;
}

ViStatus vxi11_transport::generic_call(uint32_t proc, const io_attrs &attrs, xdr_bytes *reply, size_t *offset)
{
    vxi11_generic_parms parms;
    parms.lid = m_lid;
    parms.io_timeout = wire_timeout(attrs.tmo_ms);
    return core_call(proc, vxi11_encode(parms), rpc_deadline(parms.io_timeout, 0), reply, offset);
}

ViStatus vxi11_transport::simple_call(uint32_t proc, const io_attrs &attrs)
{
    xdr_bytes reply;
    size_t pos = 0;
    const ViStatus st = generic_call(proc, attrs, &reply, &pos);
    if (st != VI_SUCCESS)
        return st;
    xdr_reader rd(reply.data() + pos, reply.size() - pos);
    int32_t error = 0;
    if (!vxi11_decode_error(rd, &error))
        return VI_ERROR_IO;
    return vxi11_map_error(error);
}

ViStatus vxi11_transport::clear(const io_attrs &attrs)
{
    return simple_call(vxi11_device_clear, attrs);
}

ViStatus vxi11_transport::read_stb(ViUInt16 *stb, const io_attrs &attrs)
{
    xdr_bytes reply;
    size_t pos = 0;
    const ViStatus st = generic_call(vxi11_device_readstb, attrs, &reply, &pos);
    if (st != VI_SUCCESS)
        return st;
    xdr_reader rd(reply.data() + pos, reply.size() - pos);
    int32_t error = 0;
    uint8_t value = 0;
    if (!vxi11_decode_readstb_resp(rd, &error, &value))
        return VI_ERROR_IO;
    if (error != vxi11_err_none)
        return vxi11_map_error(error);
    *stb = value;
    return VI_SUCCESS;
}

ViStatus vxi11_transport::assert_trigger(ViUInt16 protocol, const io_attrs &attrs)
{
    if (protocol != VI_TRIG_PROT_DEFAULT)
        return VI_ERROR_INV_PROT;
    return simple_call(vxi11_device_trigger, attrs);
}

ViStatus vxi11_transport::gpib_control_ren(ViUInt16 mode, const io_attrs &attrs)
{
    switch (mode) {
    case VI_GPIB_REN_DEASSERT:
    case VI_GPIB_REN_DEASSERT_GTL:
    case VI_GPIB_REN_ADDRESS_GTL:
        return simple_call(vxi11_device_local, attrs);
    case VI_GPIB_REN_ASSERT:
    case VI_GPIB_REN_ASSERT_ADDRESS:
    case VI_GPIB_REN_ASSERT_LLO:
    case VI_GPIB_REN_ASSERT_ADDRESS_LLO:
        return simple_call(vxi11_device_remote, attrs);
    default:
        return VI_ERROR_INV_MODE;
    }
}

ViStatus vxi11_transport::lock(ViAccessMode type, ViUInt32 tmo_ms, const char *requested_key, char *access_key)
{
    (void)requested_key;
    // The core channel knows only one exclusive lock per device.
    if (type != VI_EXCLUSIVE_LOCK)
        return VI_ERROR_INV_LOCK_TYPE;
    if (access_key)
        access_key[0] = '\0';
    if (m_lock_count > 0) {
        ++m_lock_count;
        return VI_SUCCESS_NESTED_EXCLUSIVE;
    }
    vxi11_lock_parms parms;
    parms.lid = m_lid;
    parms.flags = tmo_ms ? uint32_t(vxi11_flag_waitlock) : 0u;
    parms.lock_timeout = wire_timeout(tmo_ms);
    xdr_bytes reply;
    size_t pos = 0;
    const ViStatus st = core_call(vxi11_device_lock, vxi11_encode(parms), rpc_deadline(0, parms.lock_timeout),
                                  &reply, &pos);
    if (st != VI_SUCCESS)
        return st;
    xdr_reader rd(reply.data() + pos, reply.size() - pos);
    int32_t error = 0;
    if (!vxi11_decode_error(rd, &error))
        return VI_ERROR_IO;
    if (error == vxi11_err_locked)
        return tmo_ms ? VI_ERROR_TMO : VI_ERROR_RSRC_LOCKED;
    if (error != vxi11_err_none)
        return vxi11_map_error(error);
    m_lock_count = 1;
    return VI_SUCCESS;
}

ViStatus vxi11_transport::unlock()
{
    if (m_lock_count == 0)
        return VI_ERROR_SESN_NLOCKED;
    if (m_lock_count > 1) {
        --m_lock_count;
        return VI_SUCCESS;
    }
    xdr_bytes reply;
    size_t pos = 0;
    const ViStatus st = core_call(vxi11_device_unlock, vxi11_encode_link(m_lid), rpc_deadline(2000, 0), &reply, &pos);
    if (st != VI_SUCCESS)
        return st;
    xdr_reader rd(reply.data() + pos, reply.size() - pos);
    int32_t error = 0;
    if (!vxi11_decode_error(rd, &error))
        return VI_ERROR_IO;
    m_lock_count = 0;
    return vxi11_map_error(error);
}

void vxi11_transport::interrupt()
{
    m_rpc.interrupt();
}

void vxi11_transport::close()
{
    // The session interrupts every transport before closing it. When that
    // cut no call short, destroy_link is still worth its round trip: the
    // lock is gone when viClose returns, not some time after the server
    // notices the closed connection. Bounded either way.
    if (m_linked && m_rpc.idle()) {
        m_rpc.clear_interrupt();
        xdr_bytes reply;
        size_t pos = 0;
        m_rpc.call(vxi11_core_prog, vxi11_core_vers, vxi11_destroy_link, vxi11_encode_link(m_lid),
                   tcp_deadline::after(std::chrono::milliseconds(1000)), &reply, &pos);
    }
    m_linked = false;
    m_lock_count = 0;
    m_rpc.close();
}

ViStatus vxi11_transport::get_attribute(ViAttr attr, void *value)
{
    switch (attr) {
    case VI_ATTR_TCPIP_DEVICE_NAME:
        copy_string(m_device, value);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_ADDR:
        copy_string(m_rpc.peer_address(), value);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_IS_HISLIP:
        *static_cast<ViBoolean *>(value) = VI_FALSE;
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

} // namespace velq
