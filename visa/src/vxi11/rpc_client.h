#pragma once

#include "rpc_message.h"
#include "net/tcp_socket.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace velq {

// A blocking ONC RPC client over one TCP connection of the network layer.
// Every wait is bounded by a deadline and by interrupt(), which another
// thread may call at any time to make the current and all later calls
// return rpc_call_aborted.

enum rpc_call_result {
    rpc_call_ok,
    rpc_call_refused,     // connect: nobody listens / host unknown
    rpc_call_timeout,
    rpc_call_conn_lost,   // EOF, reset, or the connection was already given up
    rpc_call_protocol,    // a reply we cannot trust: wrong xid, short or oversized record, garbage
    rpc_call_unavailable, // PROG_UNAVAIL, PROG_MISMATCH, PROC_UNAVAIL
    rpc_call_rejected,    // GARBAGE_ARGS, SYSTEM_ERR, MSG_DENIED
    rpc_call_aborted,
};

class rpc_client
{
public:
    // max_record bounds every reply record: larger ones are refused
    // before anything is allocated for them.
    explicit rpc_client(size_t max_record);
    ~rpc_client();
    rpc_client(const rpc_client &) = delete;
    rpc_client &operator=(const rpc_client &) = delete;

    rpc_call_result connect(const std::string &host, uint16_t port, const tcp_deadline &deadline);
    // reply receives the whole reply record; the procedure's results start
    // at *results_offset (kept in place so long read data is not copied).
    rpc_call_result call(uint32_t prog, uint32_t vers, uint32_t proc, const xdr_bytes &args,
                         const tcp_deadline &deadline, xdr_bytes *reply, size_t *results_offset);
    void close();
    void interrupt();
    // True when no call is half done: nothing unanswered, no partial record.
    bool idle() const;
    // Lets calls run again after interrupt(); only while no call is running.
    void clear_interrupt();
    bool is_connected() const { return m_fd >= 0; }
    std::string peer_address() const { return m_peer; }

private:
    rpc_call_result send_all(const uint8_t *data, size_t n, const tcp_deadline &deadline);
    rpc_call_result receive_record(const tcp_deadline &deadline, xdr_bytes *record);
    void drop_connection();
    bool is_stale(uint32_t xid) const;

    int m_fd = -1;
    tcp_wakeup m_wakeup;
    int m_rcvtimeo_ms = -1;
    std::atomic<bool> m_in_call{false};
    // Guards m_fd against interrupt() shutting down a descriptor that is being closed.
    std::mutex m_fd_mutex;
    uint32_t m_xid;
    rpc_record_assembler m_assembler;
    xdr_bytes m_inbuf;
    size_t m_inpos = 0;
    size_t m_inlen = 0;
    bool m_lost = false;
    // Calls that timed out may still be answered; their replies are skipped.
    std::deque<uint32_t> m_stale;
    std::string m_peer;
};

} // namespace velq
