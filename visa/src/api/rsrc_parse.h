#pragma once

#include "visa.h"

#include <cstdint>
#include <string>

namespace velq {

enum class rsrc_kind {
    tcpip_instr,
    tcpip_socket,
    asrl_instr,
    usb_instr,
    usb_raw,
    gpib_instr,
    gpib_intfc,
    other // a recognised interface keyword we have no parser or transport for (VXI, PXI, ...)
};

// The result of parsing one resource name. Only the fields of the resource's interface type are set.
struct rsrc_parsed {
    rsrc_kind kind = rsrc_kind::other;
    ViUInt16 intf_type = 0; // VI_INTF_*
    ViUInt16 board = 0;
    std::string rsrc_class; // "INSTR", "SOCKET", "INTFC", "RAW"
    std::string canonical;  // defaults filled in, keywords upper case

    // TCPIP: host without IPv6 brackets; SOCKET port; LAN device name verbatim ("inst0", "gpib0,5")
    std::string host;
    ViUInt16 port = 0;
    std::string lan_device;
    bool is_hislip = false;
    ViUInt16 hislip_port = 4880;
    std::string hislip_name; // the device name without ",port" (e.g. "hislip0")

    // ASRL: the device file (from the board number or the path form); empty for ASRL0
    std::string asrl_path;
    bool asrl_path_form = false;

    // USB
    ViUInt16 usb_vid = 0;
    ViUInt16 usb_pid = 0;
    std::string usb_serial;
    ViInt16 usb_intf = 0;
    bool usb_intf_given = false; // else the lowest-numbered USBTMC interface is meant

    // GPIB: VISA numbering, secondary VI_NO_SEC_ADDR when absent
    ViUInt16 gpib_primary = 0;
    ViUInt16 gpib_secondary = VI_NO_SEC_ADDR;
};

// VI_SUCCESS, VI_ERROR_INV_RSRC_NAME for malformed syntax, or VI_ERROR_RSRC_NFOUND for a name
// that is no resource syntax but could be an alias (no alias is configured).
ViStatus rsrc_parse(const char *name, rsrc_parsed *out);

} // namespace velq
