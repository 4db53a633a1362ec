#pragma once

#include "hislip/hislip_channel.h"
#include "hislip_codec.h"
#include "transport/read_loop.h"
#include "transport/transport.h"

#include <atomic>
#include <string>
#include <vector>

namespace velq {

// TCPIP INSTR over HiSLIP: a synchronous channel for data and triggers and an
// asynchronous one for clear, status, locks and remote/local. Synchronized
// mode: every Data/DataEnd/Trigger carries an even MessageID, and answers
// tagged with an older ID are dropped, which keeps a session usable after a
// read timed out.
class hislip_transport : public transport, private read_source
{
public:
    hislip_transport();
    ~hislip_transport() override;

    ViStatus open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms) override;
    ViStatus write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs) override;
    ViStatus read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs) override;
    ViStatus clear(const io_attrs &attrs) override;
    ViStatus read_stb(ViUInt16 *stb, const io_attrs &attrs) override;
    ViStatus assert_trigger(ViUInt16 protocol, const io_attrs &attrs) override;
    ViStatus gpib_control_ren(ViUInt16 mode, const io_attrs &attrs) override;
    ViStatus lock(ViAccessMode type, ViUInt32 tmo_ms, const char *requested_key, char *access_key) override;
    ViStatus unlock() override;
    void interrupt() override;
    void close() override;
    ViStatus get_attribute(ViAttr attr, void *value) override;
    ViStatus set_attribute(ViAttr attr, ViAttrState value) override;

private:
    struct async_msg
    {
        hislip_header hdr;
        std::vector<uint8_t> payload;
    };

    // Returns status unchanged; a lost connection or an I/O error also marks the session dead,
    // while time-outs, interrupts and success leave it as it is.
    ViStatus fail(ViStatus status);
    ViStatus check_alive() const;
    ViStatus send_message(hislip_channel &chan, const hislip_header &hdr, const void *payload,
                          const tcp_deadline &deadline);
    ViStatus send_fatal(uint8_t code, const char *text);
    ViStatus send_error(hislip_channel &chan, uint8_t code, const char *text);
    ViStatus flush_backlog(const tcp_deadline &deadline);
    // Every call that sends on the synchronous channel starts here: a dead or interrupted session
    // stops it, and the rest of a frame cut short by an earlier time-out goes out first.
    ViStatus begin_sync_send(const tcp_deadline &deadline);
    ViStatus send_sync_message(uint8_t type, uint8_t control, const ViByte *payload, size_t len,
                               const tcp_deadline &deadline, size_t *payload_sent);
    uint8_t take_rmt();

    // Resumable reads: a time-out in the middle of a header or payload keeps
    // the stream in step for the next call.
    ViStatus next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs, const tcp_deadline &deadline,
                        read_chunk *chunk) override;
    ViStatus read_sync_header(const tcp_deadline &deadline, hislip_header *hdr);
    ViStatus skip_sync_payload(const tcp_deadline &deadline);
    ViStatus read_async_message(const tcp_deadline &deadline, async_msg *msg);
    ViStatus async_transaction(const hislip_header &request, const void *payload, uint8_t response_type,
                               const tcp_deadline &deadline, async_msg *response);
    void handle_unsolicited_async(const async_msg &msg);
    void drop_response();

    hislip_channel m_sync;
    hislip_channel m_async;
    tcp_wakeup m_wakeup;
    std::atomic<bool> m_interrupted{false};
    std::atomic<ViStatus> m_dead{VI_SUCCESS};

    // Negotiated at open.
    uint16_t m_session_id = 0;
    uint16_t m_server_version = 0;
    uint16_t m_server_vendor = 0;
    bool m_overlapped = false;
    uint64_t m_server_max = 0;   // the server's limit for our messages, header included
    uint64_t m_our_max = 1u << 20;
    uint64_t m_accept_max = 1u << 20; // largest limit ever announced: older answers may still be in flight

    // Synchronous channel.
    uint32_t m_next_id = kHislipFirstMessageId;
    std::atomic<uint32_t> m_last_sent_id{kHislipNoMessageId};
    std::atomic<bool> m_rmt_delivered{false};
    std::vector<uint8_t> m_backlog; // rest of a frame whose send timed out
    uint8_t m_hdr_buf[kHislipHeaderSize] = {};
    size_t m_hdr_have = 0;
    bool m_in_message = false;  // a Data/DataEnd is being delivered
    bool m_msg_is_end = false;
    uint64_t m_payload_left = 0; // of the message being delivered, still in the socket
    uint64_t m_skip_left = 0;    // of a message being dropped, still in the socket
    read_loop m_reader{read_loop::term_scan::plain};

    // Asynchronous channel.
    uint8_t m_async_hdr_buf[kHislipHeaderSize] = {};
    size_t m_async_hdr_have = 0;
    bool m_async_hdr_done = false;
    hislip_header m_async_hdr;
    std::vector<uint8_t> m_async_payload;
    unsigned m_stale_async[32] = {}; // answers still due for requests that timed out
    std::atomic<bool> m_srq{false};

    // Locks held through this session; they nest, and only the outermost
    // request and the last release reach the server.
    unsigned m_exclusive_count = 0;
    unsigned m_shared_count = 0;
    std::string m_lock_key;

    std::string m_device_name;
    std::string m_host;
    uint16_t m_port = kHislipDefaultPort;
};

} // namespace velq
