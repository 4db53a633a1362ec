#pragma once

#include "find/find_source.h"

#include <string>

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

// Interfaces the kernel's usbtmc driver has bound, from <root>/class/usbmisc.
class find_source_usbtmc : public find_source {
public:
    explicit find_source_usbtmc(std::string root) : m_root(std::move(root)) {}
    void collect(std::vector<found_rsrc> *out, unsigned timeout_ms) override;

private:
    std::string m_root;
};

} // namespace velq
