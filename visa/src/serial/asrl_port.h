#pragma once

#include "visa.h"

namespace velq {

// The line settings of a serial port in VISA terms, with the VISA defaults (9600 8N1, no flow).
struct asrl_settings {
    ViUInt32 baud = 9600;
    ViUInt16 data_bits = 8;
    ViUInt16 parity = VI_ASRL_PAR_NONE;
    ViUInt16 stop_bits = VI_ASRL_STOP_ONE;
    ViUInt16 flow = VI_ASRL_FLOW_NONE;
    ViUInt8 xon = 0x11;
    ViUInt8 xoff = 0x13;
};

// Puts fd into raw mode with these settings. VI_ERROR_NSUP_ATTR_STATE when the values are out of
// range or the port refuses them; the port then keeps its previous settings.
ViStatus asrl_apply(int fd, const asrl_settings &s);

} // namespace velq
