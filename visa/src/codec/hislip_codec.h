#pragma once

#include <cstddef>
#include <cstdint>

namespace velq {

// HiSLIP wire format: every message starts with a 16-byte big-endian header.
// The codec only turns headers and small payloads into bytes and back;
// sockets, sessions and the server live elsewhere.

enum hislip_msg_type : uint8_t {
    HISLIP_INITIALIZE = 0,
    HISLIP_INITIALIZE_RESPONSE = 1,
    HISLIP_FATAL_ERROR = 2,
    HISLIP_ERROR = 3,
    HISLIP_ASYNC_LOCK = 4,
    HISLIP_ASYNC_LOCK_RESPONSE = 5,
    HISLIP_DATA = 6,
    HISLIP_DATA_END = 7,
    HISLIP_DEVICE_CLEAR_COMPLETE = 8,
    HISLIP_DEVICE_CLEAR_ACKNOWLEDGE = 9,
    HISLIP_ASYNC_REMOTE_LOCAL_CONTROL = 10,
    HISLIP_ASYNC_REMOTE_LOCAL_RESPONSE = 11,
    HISLIP_TRIGGER = 12,
    HISLIP_INTERRUPTED = 13,
    HISLIP_ASYNC_INTERRUPTED = 14,
    HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE = 15,
    HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE = 16,
    HISLIP_ASYNC_INITIALIZE = 17,
    HISLIP_ASYNC_INITIALIZE_RESPONSE = 18,
    HISLIP_ASYNC_DEVICE_CLEAR = 19,
    HISLIP_ASYNC_SERVICE_REQUEST = 20,
    HISLIP_ASYNC_STATUS_QUERY = 21,
    HISLIP_ASYNC_STATUS_RESPONSE = 22,
    HISLIP_ASYNC_DEVICE_CLEAR_ACKNOWLEDGE = 23,
    HISLIP_ASYNC_LOCK_INFO = 24,
    HISLIP_ASYNC_LOCK_INFO_RESPONSE = 25,
    HISLIP_VENDOR_SPECIFIC_FIRST = 128
};

enum hislip_fatal_code : uint8_t {
    HISLIP_FATAL_UNIDENTIFIED = 0,
    HISLIP_FATAL_BAD_HEADER = 1,
    HISLIP_FATAL_CHANNELS_NOT_ESTABLISHED = 2,
    HISLIP_FATAL_INVALID_INIT_SEQUENCE = 3,
    HISLIP_FATAL_MAX_CLIENTS = 4
};

enum hislip_error_code : uint8_t {
    HISLIP_ERR_UNIDENTIFIED = 0,
    HISLIP_ERR_UNRECOGNIZED_MSG_TYPE = 1,
    HISLIP_ERR_UNRECOGNIZED_CONTROL = 2,
    HISLIP_ERR_UNRECOGNIZED_VENDOR = 3,
    HISLIP_ERR_MESSAGE_TOO_LARGE = 4
};

// AsyncLock control codes and AsyncLockResponse results.
enum : uint8_t {
    HISLIP_LOCK_RELEASE = 0,
    HISLIP_LOCK_REQUEST = 1
};
enum : uint8_t {
    HISLIP_LOCK_FAIL = 0,
    HISLIP_LOCK_SUCCESS = 1,
    HISLIP_LOCK_SHARED_RELEASED = 2,
    HISLIP_LOCK_ERROR = 3
};

constexpr size_t kHislipHeaderSize = 16;
constexpr uint16_t kHislipDefaultPort = 4880;
constexpr uint16_t kHislipProtocolVersion = 0x0100;
constexpr uint32_t kHislipFirstMessageId = 0xFFFFFF00u;
// "Last message sent" right after initialisation or a device clear.
constexpr uint32_t kHislipNoMessageId = 0xFFFFFEFEu;
// A server Data message whose originating MessageID is not known.
constexpr uint32_t kHislipUnknownMessageId = 0xFFFFFFFFu;
constexpr uint8_t kHislipRmtDelivered = 0x01;
constexpr uint8_t kHislipFeatureOverlapped = 0x01;
// Every asynchronous message we accept fits 16 header bytes plus a
// 256-character lock string or error text; anything larger is hostile.
constexpr uint64_t kHislipMaxAsyncPayload = 256;
constexpr size_t kHislipMaxSubAddress = 256;

struct hislip_header {
    uint8_t type = 0;
    uint8_t control = 0;
    uint32_t param = 0;
    uint64_t length = 0;
};

enum hislip_decode_result {
    HISLIP_DECODE_OK = 0,
    HISLIP_DECODE_BAD_PROLOGUE = 1
};

void hislip_encode_header(const hislip_header &hdr, uint8_t out[kHislipHeaderSize]);
hislip_decode_result hislip_decode_header(const uint8_t in[kHislipHeaderSize], hislip_header *hdr);

void hislip_put_u64(uint64_t value, uint8_t out[8]);
uint64_t hislip_get_u64(const uint8_t in[8]);

// Two ASCII characters packed big-endian, as in Initialize and AsyncInitializeResponse.
uint16_t hislip_vendor_id(const char vendor[2]);

inline uint32_t hislip_init_param(uint16_t version, uint16_t low)
{
    return (static_cast<uint32_t>(version) << 16) | low;
}

// Message IDs are even and wrap modulo 2^32.
inline uint32_t hislip_next_message_id(uint32_t id) { return id + 2u; }

// Known types of protocol 1.0; 26..127 belong to later versions or are reserved.
bool hislip_is_known_type(uint8_t type);
bool hislip_is_async_type(uint8_t type);
const char *hislip_type_name(uint8_t type);
// False for the known types whose payload is empty by definition; their length must still be
// bounded before it is skipped, or one header can wedge a channel for good.
bool hislip_type_carries_payload(uint8_t type);

} // namespace velq
