#include "api/visa_attrs.h"

#include "api/rsrc_parse.h"
#include "transport/transport.h"
#include "api/visa_session.h"

#include <cstdio>
#include <mutex>

namespace velq {

namespace {

constexpr ViVersion kImplVersion = 0x00100000; // 1.0
constexpr ViUInt16 kManfId = 0x3FFF;           // no registered vendor id
const char kManfName[] = "Velquist";

bool is_bool(ViAttrState v)
{
    return v == VI_TRUE || v == VI_FALSE;
}

} // namespace

void put_string(void *value, const std::string &s)
{
    std::snprintf(static_cast<char *>(value), VI_FIND_BUFLEN, "%s", s.c_str());
}

// Attributes every object answers.
ViStatus attr_get_common(vi_object &obj, ViAttr attr, void *value)
{
    switch (attr) {
    case VI_ATTR_RSRC_IMPL_VERSION:
        *static_cast<ViVersion *>(value) = kImplVersion;
        return VI_SUCCESS;
    case VI_ATTR_RSRC_SPEC_VERSION:
        *static_cast<ViVersion *>(value) = VI_SPEC_VERSION;
        return VI_SUCCESS;
    case VI_ATTR_RSRC_MANF_NAME:
        put_string(value, kManfName);
        return VI_SUCCESS;
    case VI_ATTR_RSRC_MANF_ID:
        *static_cast<ViUInt16 *>(value) = kManfId;
        return VI_SUCCESS;
    case VI_ATTR_RSRC_LOCK_STATE:
        *static_cast<ViAccessMode *>(value) = VI_NO_LOCK;
        return VI_SUCCESS;
    case VI_ATTR_RM_SESSION:
        *static_cast<ViSession *>(value) = obj.rm;
        return VI_SUCCESS;
    case VI_ATTR_USER_DATA_32: {
        std::lock_guard<std::mutex> lock(obj.attr_mutex);
        *static_cast<ViUInt32 *>(value) = static_cast<ViUInt32>(obj.user_data);
        return VI_SUCCESS;
    }
    case VI_ATTR_USER_DATA_64: {
        std::lock_guard<std::mutex> lock(obj.attr_mutex);
        *static_cast<ViUInt64 *>(value) = obj.user_data;
        return VI_SUCCESS;
    }
    case VI_ATTR_MAX_QUEUE_LENGTH:
        *static_cast<ViUInt32 *>(value) = 50;
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus attr_get_instr(vi_instr &in, ViAttr attr, void *value)
{
    const rsrc_parsed &r = in.rsrc;
    {
        std::lock_guard<std::mutex> lock(in.attr_mutex);
        const io_attrs &a = in.attrs;
        switch (attr) {
        case VI_ATTR_TMO_VALUE:
            *static_cast<ViUInt32 *>(value) = a.tmo_ms;
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR:
            *static_cast<ViUInt8 *>(value) = a.termchar;
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR_EN:
            *static_cast<ViBoolean *>(value) = a.termchar_en ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_SEND_END_EN:
            *static_cast<ViBoolean *>(value) = a.send_end_en ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_SUPPRESS_END_EN:
            *static_cast<ViBoolean *>(value) = a.suppress_end_en ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_IO_PROT:
            *static_cast<ViUInt16 *>(value) = a.io_prot;
            return VI_SUCCESS;
        default:
            break;
        }
    }
    switch (attr) {
    case VI_ATTR_RSRC_NAME:
        put_string(value, r.canonical);
        return VI_SUCCESS;
    case VI_ATTR_RSRC_CLASS:
        put_string(value, r.rsrc_class);
        return VI_SUCCESS;
    case VI_ATTR_INTF_TYPE:
        *static_cast<ViUInt16 *>(value) = r.intf_type;
        return VI_SUCCESS;
    case VI_ATTR_INTF_NUM:
        *static_cast<ViUInt16 *>(value) = r.board;
        return VI_SUCCESS;
    default:
        break;
    }
    ViStatus st = attr_get_common(in, attr, value);
    if (st != VI_ERROR_NSUP_ATTR)
        return st;
    {
        std::lock_guard<std::mutex> io(in.io_mutex);
        if (in.closed.load())
            return VI_ERROR_INV_OBJECT;
        st = in.tr->get_attribute(attr, value);
    }
    if (st != VI_ERROR_NSUP_ATTR)
        return st;
    const bool tcpip = r.intf_type == VI_INTF_TCPIP;
    switch (attr) {
    case VI_ATTR_TCPIP_ADDR:
    case VI_ATTR_TCPIP_HOSTNAME:
        if (!tcpip)
            break;
        put_string(value, r.host);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_PORT:
        if (r.kind == rsrc_kind::tcpip_socket) {
            *static_cast<ViUInt16 *>(value) = r.port;
            return VI_SUCCESS;
        }
        if (r.is_hislip) {
            *static_cast<ViUInt16 *>(value) = r.hislip_port;
            return VI_SUCCESS;
        }
        break;
    case VI_ATTR_TCPIP_DEVICE_NAME:
        if (r.kind != rsrc_kind::tcpip_instr)
            break;
        put_string(value, r.lan_device);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_IS_HISLIP:
        if (r.kind != rsrc_kind::tcpip_instr)
            break;
        *static_cast<ViBoolean *>(value) = r.is_hislip ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_GPIB_PRIMARY_ADDR:
    case VI_ATTR_GPIB_SECONDARY_ADDR:
        if (r.kind != rsrc_kind::gpib_instr)
            break;
        *static_cast<ViUInt16 *>(value) = attr == VI_ATTR_GPIB_PRIMARY_ADDR ? r.gpib_primary : r.gpib_secondary;
        return VI_SUCCESS;
    case VI_ATTR_MANF_ID:
    case VI_ATTR_MODEL_CODE:
        if (r.intf_type != VI_INTF_USB)
            break;
        *static_cast<ViUInt16 *>(value) = attr == VI_ATTR_MANF_ID ? r.usb_vid : r.usb_pid;
        return VI_SUCCESS;
    case VI_ATTR_USB_SERIAL_NUM:
        if (r.intf_type != VI_INTF_USB)
            break;
        put_string(value, r.usb_serial);
        return VI_SUCCESS;
    case VI_ATTR_USB_INTFC_NUM:
        if (r.intf_type != VI_INTF_USB)
            break;
        *static_cast<ViInt16 *>(value) = r.usb_intf;
        return VI_SUCCESS;
    default:
        break;
    }
    return VI_ERROR_NSUP_ATTR;
}

ViStatus attr_set_instr(vi_instr &in, ViAttr attr, ViAttrState value)
{
    {
        std::lock_guard<std::mutex> lock(in.attr_mutex);
        io_attrs &a = in.attrs;
        switch (attr) {
        case VI_ATTR_TMO_VALUE:
            if (value > 0xFFFFFFFFull)
                return VI_ERROR_NSUP_ATTR_STATE;
            a.tmo_ms = static_cast<ViUInt32>(value);
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR:
            if (value > 0xFF)
                return VI_ERROR_NSUP_ATTR_STATE;
            a.termchar = static_cast<ViUInt8>(value);
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR_EN:
        case VI_ATTR_SEND_END_EN:
        case VI_ATTR_SUPPRESS_END_EN:
            if (!is_bool(value))
                return VI_ERROR_NSUP_ATTR_STATE;
            (attr == VI_ATTR_TERMCHAR_EN ? a.termchar_en
                                         : attr == VI_ATTR_SEND_END_EN ? a.send_end_en : a.suppress_end_en) = value == VI_TRUE;
            return VI_SUCCESS;
        case VI_ATTR_IO_PROT:
            if (value < VI_PROT_NORMAL || value > VI_PROT_USBTMC_VENDOR)
                return VI_ERROR_NSUP_ATTR_STATE;
            a.io_prot = static_cast<ViUInt16>(value);
            return VI_SUCCESS;
        case VI_ATTR_USER_DATA_32:
        case VI_ATTR_USER_DATA_64:
            in.user_data = attr == VI_ATTR_USER_DATA_32 ? (value & 0xFFFFFFFFull) : value;
            return VI_SUCCESS;
        default:
            break;
        }
    }
    ViStatus st;
    {
        std::lock_guard<std::mutex> io(in.io_mutex);
        if (in.closed.load())
            return VI_ERROR_INV_OBJECT;
        st = in.tr->set_attribute(attr, value);
    }
    if (st != VI_ERROR_NSUP_ATTR)
        return st;
    // Attributes this session can report but not change.
    switch (attr) {
    case VI_ATTR_RSRC_NAME:
    case VI_ATTR_RSRC_CLASS:
    case VI_ATTR_RSRC_IMPL_VERSION:
    case VI_ATTR_RSRC_SPEC_VERSION:
    case VI_ATTR_RSRC_MANF_NAME:
    case VI_ATTR_RSRC_MANF_ID:
    case VI_ATTR_RSRC_LOCK_STATE:
    case VI_ATTR_RM_SESSION:
    case VI_ATTR_INTF_TYPE:
    case VI_ATTR_INTF_NUM:
    case VI_ATTR_TCPIP_ADDR:
    case VI_ATTR_TCPIP_HOSTNAME:
    case VI_ATTR_TCPIP_PORT:
    case VI_ATTR_TCPIP_DEVICE_NAME:
    case VI_ATTR_TCPIP_IS_HISLIP:
        return VI_ERROR_ATTR_READONLY;
    case VI_ATTR_MAX_QUEUE_LENGTH:
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

} // namespace velq
