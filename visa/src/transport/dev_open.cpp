#include "transport/dev_open.h"

#include "api/status_desc.h"

#include <cerrno>
#include <cstring>

namespace velq {

ViStatus dev_open_error(int err, const std::string &path)
{
    ViStatus st = VI_ERROR_RSRC_NFOUND;
    std::string cause = path + ": " + std::strerror(err);
    switch (err) {
    case EBUSY:
    case EWOULDBLOCK:
        st = VI_ERROR_RSRC_BUSY;
        cause = path + " is in use by another session or program";
        break;
    case EACCES:
    case EPERM:
        // The node exists: saying "not found" would send the user looking for the wrong fault.
        st = VI_ERROR_RSRC_BUSY;
        cause = "No permission to open " + path
                + " (add the user to the device's group, or install a udev rule that grants access)";
        break;
    case ENOTTY:
        cause = path + " is not a serial port";
        break;
    default:
        break;
    }
    status_cause_set(st, cause);
    return st;
}

} // namespace velq
