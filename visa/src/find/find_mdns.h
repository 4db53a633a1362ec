#pragma once

#include "find/find_source.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velq {

struct mdns_message;

// The service types LAN instruments announce, and what each is reached by.
extern const char *const kMdnsServiceTypes[4];

// Instruments announced by multicast DNS. The query is sent from an ordinary port, so the
// responders answer it directly (legacy unicast) and a running mDNS daemon keeps port 5353.
class find_source_mdns : public find_source {
public:
    // port/group: where the query goes; tests point them at a fake responder.
    explicit find_source_mdns(uint16_t port = 5353, uint32_t group = 0xE00000FB) : m_port(port), m_group(group) {}
    void collect(std::vector<found_rsrc> *out, unsigned timeout_ms) override;

    // The resource names that the answers (each with the address it came from) describe.
    static std::vector<std::string> names_from(const std::vector<std::pair<mdns_message, uint32_t>> &answers);

private:
    uint16_t m_port;
    uint32_t m_group;
};

} // namespace velq
