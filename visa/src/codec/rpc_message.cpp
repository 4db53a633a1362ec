#include "rpc_message.h"

#include <algorithm>
#include <cstring>

namespace velq {

namespace {
// Opaque auth bodies are at most 400 bytes (RFC 5531).
constexpr size_t kMaxAuthBody = 400;
}

xdr_bytes rpc_record_encode(const xdr_bytes &body, size_t max_fragment)
{
    max_fragment = std::max<size_t>(1, std::min<size_t>(max_fragment, 0x7FFFFFFF));
    xdr_writer w;
    w.buf.reserve(body.size() + 4 * (body.size() / max_fragment + 1));
    size_t off = 0;
    do {
        const size_t n = std::min(max_fragment, body.size() - off);
        const bool last = off + n == body.size();
        w.put_u32(static_cast<uint32_t>(n) | (last ? rpc_last_fragment : 0));
        w.buf.insert(w.buf.end(), body.begin() + off, body.begin() + off + n);
        off += n;
    } while (off < body.size());
    return std::move(w.buf);
}

rpc_record_assembler::result rpc_record_assembler::feed(const uint8_t *data, size_t n, size_t *consumed)
{
    size_t pos = 0;
    while (!m_ready) {
        if (!m_in_fragment) {
            while (m_header_have < 4 && pos < n)
                m_header[m_header_have++] = data[pos++];
            if (m_header_have < 4)
                break;
            const uint32_t h = (uint32_t(m_header[0]) << 24) | (uint32_t(m_header[1]) << 16)
                               | (uint32_t(m_header[2]) << 8) | uint32_t(m_header[3]);
            m_header_have = 0;
            m_last = (h & rpc_last_fragment) != 0;
            m_frag_left = h & ~rpc_last_fragment;
            if (m_frag_left > m_max || m_record.size() > m_max - m_frag_left) {
                *consumed = pos;
                return too_large;
            }
            m_in_fragment = true;
        }
        const size_t take = std::min(m_frag_left, n - pos);
        if (m_direct) {
            std::memcpy(m_record.data() + m_direct_pos, data + pos, take);
            m_direct_pos += take;
        } else {
            m_record.insert(m_record.end(), data + pos, data + pos + take);
        }
        pos += take;
        m_frag_left -= take;
        if (m_frag_left)
            break;
        m_in_fragment = false;
        m_direct = false;
        if (m_last)
            m_ready = true;
    }
    *consumed = pos;
    return m_ready ? record_ready : need_more;
}

uint8_t *rpc_record_assembler::direct_buffer(size_t *n)
{
    *n = fragment_left();
    if (*n == 0)
        return nullptr;
    if (!m_direct) {
        m_direct_pos = m_record.size();
        m_record.resize(m_record.size() + m_frag_left);
        m_direct = true;
    }
    return m_record.data() + m_direct_pos;
}

rpc_record_assembler::result rpc_record_assembler::direct_commit(size_t n)
{
    n = std::min(n, m_frag_left);
    m_direct_pos += n;
    m_frag_left -= n;
    if (m_frag_left == 0) {
        m_direct = false;
        m_in_fragment = false;
        if (m_last)
            m_ready = true;
    }
    return m_ready ? record_ready : need_more;
}

xdr_bytes rpc_record_assembler::take()
{
    xdr_bytes out;
    out.swap(m_record);
    m_ready = false;
    m_last = false;
    return out;
}

void rpc_record_assembler::reset()
{
    m_record.clear();
    m_direct = false;
    m_direct_pos = 0;
    m_header_have = 0;
    m_frag_left = 0;
    m_in_fragment = false;
    m_last = false;
    m_ready = false;
}

xdr_bytes rpc_encode_call(const rpc_call_header &h, const xdr_bytes &args)
{
    xdr_writer w;
    w.buf.reserve(40 + args.size());
    w.put_u32(h.xid);
    w.put_u32(rpc_msg_call);
    w.put_u32(rpc_version);
    w.put_u32(h.prog);
    w.put_u32(h.vers);
    w.put_u32(h.proc);
    w.put_u32(0); w.put_u32(0);   // cred AUTH_NONE
    w.put_u32(0); w.put_u32(0);   // verf AUTH_NONE
    w.put_raw(args);
    return std::move(w.buf);
}

rpc_decode_status rpc_decode_reply(const xdr_bytes &body, uint32_t expected_xid, rpc_reply_info *info)
{
    xdr_reader r(body);
    info->xid = r.get_u32();
    const uint32_t type = r.get_u32();
    if (!r.ok() || type != rpc_msg_reply)
        return rpc_malformed;
    if (info->xid != expected_xid)
        return rpc_wrong_xid;
    const uint32_t reply_stat = r.get_u32();
    if (!r.ok())
        return rpc_malformed;
    if (reply_stat == 1)
        return rpc_denied;
    if (reply_stat != 0)
        return rpc_malformed;
    r.get_u32();                       // verifier flavour
    r.skip_opaque(kMaxAuthBody);
    info->accept_stat = r.get_u32();
    if (!r.ok())
        return rpc_malformed;
    if (info->accept_stat == rpc_prog_mismatch) {
        info->mismatch_low = r.get_u32();
        info->mismatch_high = r.get_u32();
    }
    if (info->accept_stat != rpc_success)
        return r.ok() ? rpc_not_success : rpc_malformed;
    info->results_offset = r.position();
    return rpc_ok;
}

rpc_decode_status rpc_decode_call(const xdr_bytes &body, rpc_call_info *info)
{
    xdr_reader r(body);
    info->h.xid = r.get_u32();
    const uint32_t type = r.get_u32();
    const uint32_t vers = r.get_u32();
    info->h.prog = r.get_u32();
    info->h.vers = r.get_u32();
    info->h.proc = r.get_u32();
    for (int i = 0; i < 2; ++i) {      // credentials, then verifier
        r.get_u32();
        r.skip_opaque(kMaxAuthBody);
    }
    if (!r.ok() || type != rpc_msg_call)
        return rpc_malformed;
    if (vers != rpc_version)
        return rpc_denied;
    info->args_offset = r.position();
    return rpc_ok;
}

namespace {
void put_accepted_header(xdr_writer &w, uint32_t xid, uint32_t stat)
{
    w.put_u32(xid);
    w.put_u32(rpc_msg_reply);
    w.put_u32(0);                      // MSG_ACCEPTED
    w.put_u32(0); w.put_u32(0);        // verf AUTH_NONE
    w.put_u32(stat);
}
}

xdr_bytes rpc_encode_reply(uint32_t xid, const xdr_bytes &results)
{
    xdr_writer w;
    w.buf.reserve(24 + results.size());
    put_accepted_header(w, xid, rpc_success);
    w.put_raw(results);
    return std::move(w.buf);
}

xdr_bytes rpc_encode_reply_error(uint32_t xid, rpc_accept_stat stat, uint32_t low, uint32_t high)
{
    xdr_writer w;
    put_accepted_header(w, xid, stat);
    if (stat == rpc_prog_mismatch) {
        w.put_u32(low);
        w.put_u32(high);
    }
    return std::move(w.buf);
}

xdr_bytes rpc_encode_reply_rpc_mismatch(uint32_t xid)
{
    xdr_writer w;
    w.put_u32(xid);
    w.put_u32(rpc_msg_reply);
    w.put_u32(1);                      // MSG_DENIED
    w.put_u32(0);                      // RPC_MISMATCH
    w.put_u32(rpc_version);
    w.put_u32(rpc_version);
    return std::move(w.buf);
}

} // namespace velq
