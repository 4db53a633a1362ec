#include "vxi11_proto.h"

namespace velq {

xdr_bytes pmap_encode_mapping(const pmap_mapping &m)
{
    xdr_writer w;
    w.put_u32(m.prog);
    w.put_u32(m.vers);
    w.put_u32(m.prot);
    w.put_u32(m.port);
    return std::move(w.buf);
}

bool pmap_decode_mapping(xdr_reader &r, pmap_mapping *m)
{
    m->prog = r.get_u32();
    m->vers = r.get_u32();
    m->prot = r.get_u32();
    m->port = r.get_u32();
    return r.ok();
}

xdr_bytes vxi11_encode(const vxi11_create_link_parms &p)
{
    xdr_writer w;
    w.put_i32(p.client_id);
    w.put_bool(p.lock_device);
    w.put_u32(p.lock_timeout);
    w.put_string(p.device);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode(const vxi11_create_link_resp &p)
{
    xdr_writer w;
    w.put_i32(p.error);
    w.put_i32(p.lid);
    w.put_u32(p.abort_port);
    w.put_u32(p.max_recv_size);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode(const vxi11_write_parms &p)
{
    xdr_writer w;
    w.buf.reserve(24 + p.size);
    w.put_i32(p.lid);
    w.put_u32(p.io_timeout);
    w.put_u32(p.lock_timeout);
    w.put_u32(p.flags);
    w.put_opaque(p.data, p.size);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode(const vxi11_write_resp &p)
{
    xdr_writer w;
    w.put_i32(p.error);
    w.put_u32(p.size);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode(const vxi11_read_parms &p)
{
    xdr_writer w;
    w.put_i32(p.lid);
    w.put_u32(p.request_size);
    w.put_u32(p.io_timeout);
    w.put_u32(p.lock_timeout);
    w.put_u32(p.flags);
    w.put_u32(p.term_char);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode(const vxi11_read_resp &p)
{
    xdr_writer w;
    w.buf.reserve(16 + p.size);
    w.put_i32(p.error);
    w.put_u32(p.reason);
    w.put_opaque(p.data, p.size);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode(const vxi11_generic_parms &p)
{
    xdr_writer w;
    w.put_i32(p.lid);
    w.put_u32(p.flags);
    w.put_u32(p.lock_timeout);
    w.put_u32(p.io_timeout);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode(const vxi11_lock_parms &p)
{
    xdr_writer w;
    w.put_i32(p.lid);
    w.put_u32(p.flags);
    w.put_u32(p.lock_timeout);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode_readstb_resp(int32_t error, uint8_t stb)
{
    xdr_writer w;
    w.put_i32(error);
    w.put_u32(stb);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode_error(int32_t error)
{
    xdr_writer w;
    w.put_i32(error);
    return std::move(w.buf);
}

xdr_bytes vxi11_encode_link(int32_t lid)
{
    return vxi11_encode_error(lid);
}

bool vxi11_decode(xdr_reader &r, vxi11_create_link_parms *p, size_t max_device)
{
    p->client_id = r.get_i32();
    p->lock_device = r.get_bool();
    p->lock_timeout = r.get_u32();
    p->device = r.get_string(max_device);
    return r.ok();
}

bool vxi11_decode(xdr_reader &r, vxi11_create_link_resp *p)
{
    p->error = r.get_i32();
    p->lid = r.get_i32();
    p->abort_port = r.get_u32();
    p->max_recv_size = r.get_u32();
    return r.ok();
}

bool vxi11_decode(xdr_reader &r, vxi11_write_parms *p, size_t max_data)
{
    p->lid = r.get_i32();
    p->io_timeout = r.get_u32();
    p->lock_timeout = r.get_u32();
    p->flags = r.get_u32();
    r.get_opaque_view(&p->data, &p->size, max_data);
    return r.ok();
}

bool vxi11_decode(xdr_reader &r, vxi11_write_resp *p)
{
    p->error = r.get_i32();
    p->size = r.get_u32();
    return r.ok();
}

bool vxi11_decode(xdr_reader &r, vxi11_read_parms *p)
{
    p->lid = r.get_i32();
    p->request_size = r.get_u32();
    p->io_timeout = r.get_u32();
    p->lock_timeout = r.get_u32();
    p->flags = r.get_u32();
    p->term_char = static_cast<uint8_t>(r.get_u32());
    return r.ok();
}

bool vxi11_decode(xdr_reader &r, vxi11_read_resp *p, size_t max_data)
{
    p->error = r.get_i32();
    p->reason = r.get_u32();
    r.get_opaque_view(&p->data, &p->size, max_data);
    return r.ok();
}

bool vxi11_decode(xdr_reader &r, vxi11_generic_parms *p)
{
    p->lid = r.get_i32();
    p->flags = r.get_u32();
    p->lock_timeout = r.get_u32();
    p->io_timeout = r.get_u32();
    return r.ok();
}

bool vxi11_decode(xdr_reader &r, vxi11_lock_parms *p)
{
    p->lid = r.get_i32();
    p->flags = r.get_u32();
    p->lock_timeout = r.get_u32();
    return r.ok();
}

bool vxi11_decode_readstb_resp(xdr_reader &r, int32_t *error, uint8_t *stb)
{
    *error = r.get_i32();
    *stb = static_cast<uint8_t>(r.get_u32());
    return r.ok();
}

bool vxi11_decode_error(xdr_reader &r, int32_t *error)
{
    *error = r.get_i32();
    return r.ok();
}

} // namespace velq
