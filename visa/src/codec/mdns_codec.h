#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velq {

// DNS messages as multicast DNS uses them (RFC 1035 layout, RFC 6762 rules), only the record
// types service discovery needs. Names are dotted strings without the final dot; a label that
// itself holds a dot cannot be told apart, which matching by whole name does not mind.

enum mdns_type : uint16_t { mdns_a = 1, mdns_ptr = 12, mdns_txt = 16, mdns_aaaa = 28, mdns_srv = 33, mdns_any = 255 };

constexpr uint16_t mdns_port = 5353;
constexpr uint32_t mdns_group = 0xE00000FB; // 224.0.0.251
// A packet that claims more records than this is not from a real responder.
constexpr size_t mdns_max_records = 256;

struct mdns_record {
    std::string name;
    uint16_t type = 0;
    uint16_t rclass = 1; // without the cache-flush bit
    uint32_t ttl = 0;
    std::string target;  // PTR, SRV
    uint16_t priority = 0, weight = 0, port = 0; // SRV
    uint32_t ipv4 = 0;   // A, host order
    std::vector<std::string> txt;
};

struct mdns_message {
    uint16_t id = 0;
    uint16_t flags = 0;  // 0x8400 for an authoritative response
    std::vector<std::pair<std::string, uint16_t>> questions;
    std::vector<mdns_record> records; // answers, then authority and additional, in order
};

std::vector<uint8_t> mdns_encode(const mdns_message &msg);
// False for anything malformed: lengths past the end, compression loops or forward pointers,
// names past 255 bytes, more than mdns_max_records entries.
bool mdns_decode(const uint8_t *data, size_t n, mdns_message *out);

bool mdns_name_equal(const std::string &a, const std::string &b);

} // namespace velq
