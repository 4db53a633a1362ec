#include "hislip_codec.h"

namespace velq {

void hislip_put_u64(uint64_t value, uint8_t out[8])
{
    for (int i = 7; i >= 0; --i) {
        out[i] = static_cast<uint8_t>(value & 0xFF);
        value >>= 8;
    }
}

uint64_t hislip_get_u64(const uint8_t in[8])
{
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | in[i];
    return value;
}

void hislip_encode_header(const hislip_header &hdr, uint8_t out[kHislipHeaderSize])
{
    out[0] = 'H';
    out[1] = 'S';
    out[2] = hdr.type;
    out[3] = hdr.control;
    out[4] = static_cast<uint8_t>(hdr.param >> 24);
    out[5] = static_cast<uint8_t>(hdr.param >> 16);
    out[6] = static_cast<uint8_t>(hdr.param >> 8);
    out[7] = static_cast<uint8_t>(hdr.param);
    hislip_put_u64(hdr.length, out + 8);
}

hislip_decode_result hislip_decode_header(const uint8_t in[kHislipHeaderSize], hislip_header *hdr)
{
    if (in[0] != 'H' || in[1] != 'S')
        return HISLIP_DECODE_BAD_PROLOGUE;
    hdr->type = in[2];
    hdr->control = in[3];
    hdr->param = (static_cast<uint32_t>(in[4]) << 24) | (static_cast<uint32_t>(in[5]) << 16)
        | (static_cast<uint32_t>(in[6]) << 8) | in[7];
    hdr->length = hislip_get_u64(in + 8);
    return HISLIP_DECODE_OK;
}

uint16_t hislip_vendor_id(const char vendor[2])
{
    return static_cast<uint16_t>((static_cast<uint8_t>(vendor[0]) << 8) | static_cast<uint8_t>(vendor[1]));
}

bool hislip_is_known_type(uint8_t type)
{
    return type <= HISLIP_ASYNC_LOCK_INFO_RESPONSE;
}

bool hislip_is_async_type(uint8_t type)
{
    switch (type) {
    case HISLIP_ASYNC_LOCK:
    case HISLIP_ASYNC_LOCK_RESPONSE:
    case HISLIP_ASYNC_REMOTE_LOCAL_CONTROL:
    case HISLIP_ASYNC_REMOTE_LOCAL_RESPONSE:
    case HISLIP_ASYNC_INTERRUPTED:
    case HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE:
    case HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE:
    case HISLIP_ASYNC_INITIALIZE:
    case HISLIP_ASYNC_INITIALIZE_RESPONSE:
    case HISLIP_ASYNC_DEVICE_CLEAR:
    case HISLIP_ASYNC_SERVICE_REQUEST:
    case HISLIP_ASYNC_STATUS_QUERY:
    case HISLIP_ASYNC_STATUS_RESPONSE:
    case HISLIP_ASYNC_DEVICE_CLEAR_ACKNOWLEDGE:
    case HISLIP_ASYNC_LOCK_INFO:
    case HISLIP_ASYNC_LOCK_INFO_RESPONSE:
        return true;
    default:
        return false;
    }
}

bool hislip_type_carries_payload(uint8_t type)
{
    switch (type) {
    case HISLIP_INITIALIZE:
    case HISLIP_FATAL_ERROR:
    case HISLIP_ERROR:
    case HISLIP_ASYNC_LOCK:
    case HISLIP_DATA:
    case HISLIP_DATA_END:
    case HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE:
    case HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE:
        return true;
    default:
        return !hislip_is_known_type(type);
    }
}

const char *hislip_type_name(uint8_t type)
{
    static const char *const kNames[] = {
        "Initialize", "InitializeResponse", "FatalError", "Error", "AsyncLock",
        "AsyncLockResponse", "Data", "DataEnd", "DeviceClearComplete", "DeviceClearAcknowledge",
        "AsyncRemoteLocalControl", "AsyncRemoteLocalResponse", "Trigger", "Interrupted",
        "AsyncInterrupted", "AsyncMaximumMessageSize", "AsyncMaximumMessageSizeResponse",
        "AsyncInitialize", "AsyncInitializeResponse", "AsyncDeviceClear", "AsyncServiceRequest",
        "AsyncStatusQuery", "AsyncStatusResponse", "AsyncDeviceClearAcknowledge", "AsyncLockInfo",
        "AsyncLockInfoResponse"
    };
    if (type < sizeof(kNames) / sizeof(kNames[0]))
        return kNames[type];
    return type >= HISLIP_VENDOR_SPECIFIC_FIRST ? "VendorSpecific" : "Reserved";
}

} // namespace velq
