#include "transport/transport_factory.h"

#include "hislip/hislip_transport.h"
#include "api/rsrc_parse.h"
#include "serial/asrl_transport.h"
#include "socket/tcp_socket_transport.h"
#include "transport/transport.h"
#include "usbtmc/usbtmc_transport.h"
#include "vxi11/vxi11_transport.h"

#include <cstdlib>

namespace velq {

std::unique_ptr<transport> transport_create(const rsrc_parsed &rsrc, ViStatus *status)
{
    *status = VI_SUCCESS;
    switch (rsrc.kind) {
    case rsrc_kind::tcpip_socket:
        return std::make_unique<tcp_socket_transport>();
    case rsrc_kind::tcpip_instr:
        if (rsrc.is_hislip)
            return std::make_unique<hislip_transport>();
        return std::make_unique<vxi11_transport>();
    case rsrc_kind::asrl_instr:
        return std::make_unique<asrl_transport>();
    case rsrc_kind::usb_instr: {
        // The same override of the sysfs root as the search's, so both see one device tree.
        const char *sysfs = std::getenv("VELQ_SYSFS_ROOT");
        return std::make_unique<usbtmc_transport>(usbtmc_sys_kernel(), sysfs && *sysfs ? sysfs : "/sys", "/dev");
    }
    default:
        break;
    }
    *status = VI_ERROR_RSRC_NFOUND;
    return nullptr;
}

} // namespace velq
