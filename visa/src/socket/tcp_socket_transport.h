#pragma once

#include "transport/read_loop.h"
#include "net/tcp_socket.h"
#include "transport/transport.h"

#include <string>

namespace velq {

// TCPIP SOCKET: a raw byte stream. With no END on the wire, a message ends at the termination
// character (on by default here), outside definite-length blocks.
class tcp_socket_transport : public transport, private read_source {
public:
    tcp_socket_transport();
    ~tcp_socket_transport() override;

    void init_attrs(io_attrs &attrs) const override;
    ViStatus open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms) override;
    ViStatus write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs) override;
    ViStatus read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs) override;
    ViStatus clear(const io_attrs &attrs) override;
    ViStatus read_stb(ViUInt16 *stb, const io_attrs &attrs) override;
    ViStatus assert_trigger(ViUInt16 protocol, const io_attrs &attrs) override;
    void interrupt() override;
    void close() override;
    ViStatus get_attribute(ViAttr attr, void *value) override;
    ViStatus set_attribute(ViAttr attr, ViAttrState value) override;

private:
    ViStatus next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs, const tcp_deadline &deadline,
                        read_chunk *chunk) override;

    int m_fd = -1;
    tcp_wakeup m_wakeup;
    std::string m_peer_address;
    bool m_nodelay = true;
    bool m_keepalive = false;
    int m_rcvtimeo_ms = -1; // SO_RCVTIMEO as last set
    read_loop m_reader{read_loop::term_scan::block_aware};
};

} // namespace velq
