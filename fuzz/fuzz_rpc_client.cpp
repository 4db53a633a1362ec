// What a VXI-11 client reads from a server or portmapper: TCP records, RPC replies, results.
#include "fuzz_input.h"
#include "rpc_message.h"
#include "vxi11_proto.h"

using namespace velq;

namespace {

void decode_results(const xdr_bytes &body, size_t offset, uint8_t which)
{
    xdr_reader r(body.data() + offset, body.size() - offset);
    switch (which % 7) {
    case 0: {
        vxi11_read_resp p;
        vxi11_decode(r, &p, 1u << 20);
        break;
    }
    case 1: {
        vxi11_create_link_resp p;
        vxi11_decode(r, &p);
        break;
    }
    case 2: {
        vxi11_write_resp p;
        vxi11_decode(r, &p);
        break;
    }
    case 3: {
        int32_t error = 0;
        uint8_t stb = 0;
        vxi11_decode_readstb_resp(r, &error, &stb);
        break;
    }
    case 4: {
        int32_t error = 0;
        vxi11_decode_error(r, &error);
        break;
    }
    case 5: {
        pmap_mapping m;
        pmap_decode_mapping(r, &m);
        break;
    }
    default:
        r.get_string(256);
        r.get_opaque(4096);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_input in(data, size);
    const uint8_t which = in.take_byte();
    const size_t step = in.take_byte() % 64 + 1;
    rpc_record_assembler assembler(1u << 16);
    const uint8_t *p = in.rest();
    size_t left = in.rest_size();
    while (left > 0) {
        size_t used = 0;
        const size_t n = std::min(left, step);
        const auto result = assembler.feed(p, n, &used);
        if (used > n)
            __builtin_trap();
        p += used;
        left -= used;
        if (result == rpc_record_assembler::too_large)
            return 0;
        if (result == rpc_record_assembler::record_ready) {
            const xdr_bytes body = assembler.take();
            rpc_reply_info info;
            const uint32_t xid = body.size() >= 4 ? uint32_t(body[0]) << 24 | body[1] << 16 | body[2] << 8 | body[3] : 0;
            if (rpc_decode_reply(body, xid, &info) == rpc_ok) {
                if (info.results_offset > body.size())
                    __builtin_trap();
                decode_results(body, info.results_offset, which);
            }
        } else if (used == 0) {
            return 0;
        }
    }
    return 0;
}
