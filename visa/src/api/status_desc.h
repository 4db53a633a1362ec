#pragma once

#include "visa.h"

#include <string>

namespace velq {

// Writes the description of a status code (at most 255 characters and a NUL) to desc; false when the
// code is unknown, and desc then says so.
bool status_desc(ViStatus status, char *desc);
// "VI_ERROR_TMO" etc., or null for an unknown code.
const char *status_name(ViStatus status);

// The cause behind a status, in words a user can act on ("Connection refused"). It is kept per
// thread, like errno, and added to the description of that status until the thread's next call
// into the library, which clears it first; a status the cause was not noted for never shows it.
void status_cause_clear();
void status_cause_set(ViStatus status, const std::string &cause);
// The cause of a failed connect(): errno (or SO_ERROR) err, explained for host and port.
void status_cause_connect(ViStatus status, int err, const std::string &host, unsigned port);
// The cause of a failed getaddrinfo() of host, from its result code gai_rc.
void status_cause_lookup(ViStatus status, int gai_rc, const std::string &host);

} // namespace velq
