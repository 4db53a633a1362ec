#pragma once

#include "transport/read_loop.h"
#include "vxi11/rpc_client.h"
#include "transport/transport.h"

#include <string>

namespace velq {

// TCPIP INSTR over VXI-11: one core-channel link per session, found through
// the portmapper (port 111, or VELQ_VXI11_PORTMAPPER_PORT). The abort and
// interrupt channels are not used: interrupt() ends a blocked call locally.
class vxi11_transport : public transport, private read_source
{
public:
    vxi11_transport();
    ~vxi11_transport() override;

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

    // Where the portmapper is asked: VELQ_VXI11_PORTMAPPER_PORT when it holds
    // a valid port number, else 111.
    static uint16_t portmapper_port();

private:
    ViStatus next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs, const tcp_deadline &deadline,
                        read_chunk *chunk) override;
    ViStatus core_call(uint32_t proc, const xdr_bytes &args, const tcp_deadline &deadline,
                       xdr_bytes *reply, size_t *offset);
    ViStatus generic_call(uint32_t proc, const io_attrs &attrs, xdr_bytes *reply, size_t *offset);
    ViStatus simple_call(uint32_t proc, const io_attrs &attrs);

    rpc_client m_rpc;
    int32_t m_lid = 0;
    bool m_linked = false;
    uint32_t m_max_recv = 1024;
    unsigned m_lock_count = 0;
    unsigned m_empty_partials = 0; // of the read under way
    read_loop m_reader{read_loop::term_scan::by_peer};
    std::string m_device;
    std::string m_host;
};

// Device_ErrorCode to VISA status for calls on an open link.
ViStatus vxi11_map_error(int32_t error);

} // namespace velq
