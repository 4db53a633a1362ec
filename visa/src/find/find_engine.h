#pragma once

#include "find/find_config.h"
#include "find/find_expr.h"
#include "find/find_source.h"

#include <string>
#include <vector>

namespace velq {

// The sources a search asks: configuration, the local buses under sysfs_root ("/sys"), and the
// network when the configuration allows it.
find_sources find_default_sources(const find_config &cfg, const std::string &sysfs_root);

// Asks every source at once and waits for all of them. The answer holds each canonical name
// once, ordered by interface, then host or port, and for one host HiSLIP before VXI-11 before
// SOCKET, so the first name of a host is the best way to reach it.
std::vector<found_rsrc> find_run(const find_sources &sources, unsigned timeout_ms);

// The names of found that expr selects, in order.
std::vector<std::string> find_filter(const std::vector<found_rsrc> &found, const find_expr &expr);

} // namespace velq
