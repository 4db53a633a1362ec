#pragma once

#include "visa.h"

#include <memory>

namespace velq {

class transport;
struct rsrc_parsed;

// The transport for a parsed resource, or null with VI_ERROR_RSRC_NFOUND in *status when no
// transport serves its interface type.
std::unique_ptr<transport> transport_create(const rsrc_parsed &rsrc, ViStatus *status);

} // namespace velq
