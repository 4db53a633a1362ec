#pragma once

#include "visa.h"

namespace velq {

class transport;
struct io_attrs;

// Status byte and trigger for stream instruments that speak IEEE 488.2 strings
// (VI_ATTR_IO_PROT = VI_PROT_4882_STRS): "*STB?" and "*TRG" over the transport's own write and
// read. Without that protocol there is no status byte to ask for: VI_ERROR_NSUP_OPER.
ViStatus string_488_read_stb(transport &tr, ViUInt16 *stb, const io_attrs &attrs);
ViStatus string_488_trigger(transport &tr, ViUInt16 protocol, const io_attrs &attrs);

} // namespace velq
