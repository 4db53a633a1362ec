#pragma once

#include "visa.h"

#include <string>

namespace velq {

// The status for a device file that would not open with errno err, with the cause noted for
// viStatusDesc: a missing node, one in use, or one the user lacks the rights to.
ViStatus dev_open_error(int err, const std::string &path);

} // namespace velq
