// Any host on the link can send multicast DNS answers to a search.
#include "mdns_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    velq::mdns_message msg;
    if (!velq::mdns_decode(data, size, &msg))
        return 0;
    // What we decoded we can write again, as the simulator's responder does with its own records.
    const std::vector<uint8_t> again = velq::mdns_encode(msg);
    velq::mdns_message msg2;
    velq::mdns_decode(again.data(), again.size(), &msg2);
    return 0;
}
