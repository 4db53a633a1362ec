#pragma once

#include "net/tcp_socket.h"
#include "serial/asrl_port.h"
#include "transport/read_loop.h"
#include "transport/transport.h"

#include <vector>

namespace velq {

// ASRL INSTR: a serial port (or a pseudo-terminal) in raw mode. A byte stream like SOCKET, but
// the end of a message is chosen by VI_ATTR_ASRL_END_IN: the termination character (by default),
// the top data bit, or nothing.
class asrl_transport : public transport, private read_source {
public:
    asrl_transport();
    ~asrl_transport() override;

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
    ViStatus write_raw(const ViByte *buf, size_t len, size_t *sent, const tcp_deadline &deadline);
    ViStatus send_break();
    ViStatus set_line(ViAttr attr, ViAttrState value);
    ViByte last_bit() const { return static_cast<ViByte>(1u << (m_settings.data_bits - 1)); }

    int m_fd = -1;
    tcp_wakeup m_wakeup;
    asrl_settings m_settings;
    ViUInt16 m_end_in = VI_ASRL_END_TERMCHAR;
    ViUInt16 m_end_out = VI_ASRL_END_NONE;
    bool m_discard_null = false;
    ViUInt8 m_replace_char = 0;
    ViInt16 m_break_len_ms = 250;
    // Bytes received after a last-bit END, for the next read.
    std::vector<ViByte> m_pending;
    read_loop m_reader{read_loop::term_scan::block_aware};
};

} // namespace velq
