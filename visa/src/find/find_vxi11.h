#pragma once

#include "find/find_source.h"
#include "xdr_codec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velq {

// The portmapper GETPORT call for the VXI-11 core program over TCP, as one UDP datagram.
xdr_bytes vxi11_find_call(uint32_t xid);
// The core channel's port from a reply to that call; 0 when the datagram is not such a reply
// or names no port.
uint16_t vxi11_find_reply(const uint8_t *data, size_t n, uint32_t xid);

// VXI-11 instruments: one GETPORT to the portmapper port of every target, by default the
// broadcast address of every IPv4 interface that has one; a host whose portmapper knows the
// core program is listed as TCPIP0::<address>::inst0::INSTR.
class find_source_vxi11 : public find_source {
public:
    explicit find_source_vxi11(uint16_t port, std::vector<std::string> targets = {})
        : m_port(port), m_targets(std::move(targets)) {}
    void collect(std::vector<found_rsrc> *out, unsigned timeout_ms) override;

    static std::vector<std::string> broadcast_addresses();

private:
    uint16_t m_port;
    std::vector<std::string> m_targets;
};

} // namespace velq
