#pragma once

#include "xdr_codec.h"

namespace velq {

// ONC RPC v2 (RFC 5531) messages and TCP record marking, as byte codecs.
// Socket code lives elsewhere and only moves the bytes produced here.

constexpr uint32_t rpc_last_fragment = 0x80000000u;
constexpr uint32_t rpc_msg_call = 0;
constexpr uint32_t rpc_msg_reply = 1;
constexpr uint32_t rpc_version = 2;

enum rpc_accept_stat : uint32_t {
    rpc_success = 0,
    rpc_prog_unavail = 1,
    rpc_prog_mismatch = 2,
    rpc_proc_unavail = 3,
    rpc_garbage_args = 4,
    rpc_system_err = 5,
};

// Frames one RPC message as a TCP record. Long bodies are split into
// fragments of at most max_fragment bytes; only the last carries bit 31.
xdr_bytes rpc_record_encode(const xdr_bytes &body, size_t max_fragment = 0x7FFFFFFF);

// Reassembles records from a byte stream, fragment by fragment. A record
// larger than max_record is refused as soon as a fragment header announces
// it, so a hostile length never becomes an allocation.
class rpc_record_assembler
{
public:
    enum result { need_more, record_ready, too_large };

    explicit rpc_record_assembler(size_t max_record) : m_max(max_record) {}

    // Consumes bytes up to the end of one record at most and reports how
    // many were taken; call again with the rest after take().
    result feed(const uint8_t *data, size_t n, size_t *consumed);
    xdr_bytes take();
    void reset();
    void set_max_record(size_t n) { m_max = n; }
    bool in_record() const { return m_header_have != 0 || !m_record.empty() || m_frag_left != 0; }

    // Bytes still missing from the fragment being received (0 between fragments).
    size_t fragment_left() const { return m_in_fragment ? m_frag_left : 0; }
    // Long fragment bodies can be received straight into the record: the
    // rest of the fragment is allocated once (within max_record, as checked
    // when its header arrived) and filled by direct_commit().
    uint8_t *direct_buffer(size_t *n);
    result direct_commit(size_t n);

private:
    size_t m_max;
    xdr_bytes m_record;
    uint8_t m_header[4] = {};
    size_t m_header_have = 0;
    size_t m_frag_left = 0;
    bool m_in_fragment = false;
    bool m_last = false;
    bool m_ready = false;
    bool m_direct = false;
    size_t m_direct_pos = 0;
};

struct rpc_call_header
{
    uint32_t xid = 0;
    uint32_t prog = 0;
    uint32_t vers = 0;
    uint32_t proc = 0;
};

// Call body with AUTH_NONE credentials and verifier, then the arguments.
xdr_bytes rpc_encode_call(const rpc_call_header &h, const xdr_bytes &args);

enum rpc_decode_status {
    rpc_ok,
    rpc_malformed,      // too short, not a call/reply, bad RPC version
    rpc_wrong_xid,
    rpc_denied,         // MSG_DENIED
    rpc_not_success,    // MSG_ACCEPTED but accept_stat != SUCCESS
};

struct rpc_reply_info
{
    uint32_t xid = 0;
    uint32_t accept_stat = rpc_success;
    uint32_t mismatch_low = 0;
    uint32_t mismatch_high = 0;
    size_t results_offset = 0;   // where the procedure's results start in the body
};

rpc_decode_status rpc_decode_reply(const xdr_bytes &body, uint32_t expected_xid, rpc_reply_info *info);

struct rpc_call_info
{
    rpc_call_header h;
    size_t args_offset = 0;
};

// Server side: credentials of any flavour are skipped, not checked.
rpc_decode_status rpc_decode_call(const xdr_bytes &body, rpc_call_info *info);
xdr_bytes rpc_encode_reply(uint32_t xid, const xdr_bytes &results);
xdr_bytes rpc_encode_reply_error(uint32_t xid, rpc_accept_stat stat, uint32_t low = 0, uint32_t high = 0);
// MSG_DENIED / RPC_MISMATCH, for a call that is not RPC version 2.
xdr_bytes rpc_encode_reply_rpc_mismatch(uint32_t xid);

} // namespace velq
