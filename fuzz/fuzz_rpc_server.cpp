// What the simulator's portmapper and VXI-11 servers read from any client.
#include "fuzz_input.h"
#include "rpc_message.h"
#include "vxi11_proto.h"

using namespace velq;

namespace {

void decode_args(const xdr_bytes &body, size_t offset, uint32_t proc)
{
    xdr_reader r(body.data() + offset, body.size() - offset);
    switch (proc % 7) {
    case 0: {
        vxi11_create_link_parms p;
        vxi11_decode(r, &p);
        break;
    }
    case 1: {
        vxi11_write_parms p;
        vxi11_decode(r, &p, 1u << 20);
        break;
    }
    case 2: {
        vxi11_read_parms p;
        vxi11_decode(r, &p);
        break;
    }
    case 3: {
        vxi11_generic_parms p;
        vxi11_decode(r, &p);
        break;
    }
    case 4: {
        vxi11_lock_parms p;
        vxi11_decode(r, &p);
        break;
    }
    case 5: {
        pmap_mapping m;
        pmap_decode_mapping(r, &m);
        break;
    }
    default:
        r.skip_opaque(4096);
        r.get_u32();
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_input in(data, size);
    const uint8_t mode = in.take_byte();
    const size_t step = mode % 64 + 1;
    const bool use_direct = (mode & 0x80) != 0;
    rpc_record_assembler assembler(1u << 16);
    const uint8_t *p = in.rest();
    size_t left = in.rest_size();
    while (left > 0) {
        // Large fragment bodies take the direct path the servers use.
        size_t direct = 0;
        uint8_t *dst = use_direct ? assembler.direct_buffer(&direct) : nullptr;
        if (dst) {
            const size_t n = std::min({left, step, direct});
            std::copy(p, p + n, dst);
            p += n;
            left -= n;
            const auto result = assembler.direct_commit(n);
            if (result == rpc_record_assembler::too_large)
                return 0;
            if (result != rpc_record_assembler::record_ready)
                continue;
        } else {
            size_t used = 0;
            const size_t n = std::min(left, step);
            const auto result = assembler.feed(p, n, &used);
            p += used;
            left -= used;
            if (result == rpc_record_assembler::too_large)
                return 0;
            if (result != rpc_record_assembler::record_ready) {
                if (used == 0)
                    return 0;
                continue;
            }
        }
        const xdr_bytes body = assembler.take();
        rpc_call_info info;
        if (rpc_decode_call(body, &info) == rpc_ok) {
            if (info.args_offset > body.size())
                __builtin_trap();
            decode_args(body, info.args_offset, info.h.proc);
        }
    }
    return 0;
}
