#pragma once

#include "find/find_source.h"

#include <string>
#include <vector>

namespace velq {

// Serial ports with hardware behind them, from <root>/class/tty. Every kernel offers ttyS0..31
// whether or not a UART exists; the ones without are skipped (placeholder device on the platform
// bus, or port type 0), as are virtual terminals, which have no device at all.
class find_source_serial : public find_source {
public:
    explicit find_source_serial(std::string root) : m_root(std::move(root)) {}
    void collect(std::vector<found_rsrc> *out, unsigned timeout_ms) override;

private:
    std::string m_root;
};

// One interface the kernel's usbtmc driver has bound: its ids and its node under /dev.
struct usbtmc_node {
    unsigned vid = 0;
    unsigned pid = 0;
    unsigned intf = 0;
    std::string serial; // empty when the device reports none
    std::string dev_name; // "usbtmc0"
    std::string manufacturer;
    std::string product;
};
// Those interfaces, from <root>/class/usbmisc; for the search and for opening a USB name.
std::vector<usbtmc_node> usbtmc_nodes(const std::string &root);

// Interfaces the kernel's usbtmc driver has bound, from <root>/class/usbmisc.
class find_source_usbtmc : public find_source {
public:
    explicit find_source_usbtmc(std::string root) : m_root(std::move(root)) {}
    void collect(std::vector<found_rsrc> *out, unsigned timeout_ms) override;

private:
    std::string m_root;
};

} // namespace velq
