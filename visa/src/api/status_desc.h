#pragma once

#include "visa.h"

namespace velq {

// Writes the description of a status code (at most 255 characters and a NUL) to desc; false when the
// code is unknown, and desc then says so.
bool status_desc(ViStatus status, char *desc);
// "VI_ERROR_TMO" etc., or null for an unknown code.
const char *status_name(ViStatus status);

} // namespace velq
