// Splits the byte stream of a SOCKET, VXI-11 or HiSLIP client into program messages.
#include "MessageFramer.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_input in(data, size);
    const uint8_t mode = in.take_byte();
    CMessageFramer framer((mode & 1) ? CMessageFramer::EFraming::EndFlag : CMessageFramer::EFraming::Stream);
    const size_t step = (mode >> 1) % 32 + 1;
    const char *p = reinterpret_cast<const char *>(in.rest());
    size_t left = in.rest_size();
    size_t delivered = 0;
    const auto sink = [&](CMessageFramer::SMessage &message) {
        delivered += message.strText.size();
        return true;
    };
    while (left > 0) {
        const size_t n = std::min(left, step);
        // A piece whose last byte is odd carries END, where the framing knows END at all.
        framer.Feed(p, n, (static_cast<unsigned char>(p[n - 1]) & 1) != 0, sink);
        p += n;
        left -= n;
    }
    const std::string rest = framer.TakeUnterminated();
    // Messages are handed on as received, never grown on the way.
    if (delivered + rest.size() > in.rest_size())
        __builtin_trap();
    return 0;
}
