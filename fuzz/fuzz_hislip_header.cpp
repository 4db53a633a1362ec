// Every HiSLIP message from a server starts with this header; its length decides what is read next.
#include "hislip_codec.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (size_t pos = 0; pos + velq::kHislipHeaderSize <= size; pos += velq::kHislipHeaderSize) {
        velq::hislip_header hdr;
        if (velq::hislip_decode_header(data + pos, &hdr) != velq::HISLIP_DECODE_OK)
            continue;
        velq::hislip_type_name(hdr.type);
        velq::hislip_type_carries_payload(hdr.type);
        velq::hislip_is_async_type(hdr.type);
        uint8_t out[velq::kHislipHeaderSize];
        velq::hislip_encode_header(hdr, out);
        if (std::memcmp(out, data + pos, sizeof out) != 0)
            std::abort();
    }
    return 0;
}
