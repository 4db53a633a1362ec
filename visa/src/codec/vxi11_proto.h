#pragma once

#include "xdr_codec.h"

namespace velq {

// VXI-11 core channel and portmapper v2 argument/result structures, both
// directions, so the client here and the simulator's server share one codec.

constexpr uint32_t pmap_prog = 100000;
constexpr uint32_t pmap_vers = 2;
constexpr uint32_t pmap_port = 111;
enum pmap_proc : uint32_t { pmap_null = 0, pmap_set = 1, pmap_unset = 2, pmap_getport = 3, pmap_dump = 4 };
constexpr uint32_t pmap_ipproto_tcp = 6;
constexpr uint32_t pmap_ipproto_udp = 17;

constexpr uint32_t vxi11_core_prog = 0x0607AF;
constexpr uint32_t vxi11_async_prog = 0x0607B0;
constexpr uint32_t vxi11_intr_prog = 0x0607B1;
constexpr uint32_t vxi11_core_vers = 1;

enum vxi11_proc : uint32_t {
    vxi11_null = 0,
    vxi11_create_link = 10,
    vxi11_device_write = 11,
    vxi11_device_read = 12,
    vxi11_device_readstb = 13,
    vxi11_device_trigger = 14,
    vxi11_device_clear = 15,
    vxi11_device_remote = 16,
    vxi11_device_local = 17,
    vxi11_device_lock = 18,
    vxi11_device_unlock = 19,
    vxi11_device_enable_srq = 20,
    vxi11_device_docmd = 22,
    vxi11_destroy_link = 23,
    vxi11_create_intr_chan = 25,
    vxi11_destroy_intr_chan = 26,
};

enum vxi11_flag : uint32_t {
    vxi11_flag_waitlock = 1,
    vxi11_flag_end = 8,
    vxi11_flag_termchrset = 128,
};

enum vxi11_reason : uint32_t {
    vxi11_reason_reqcnt = 1,
    vxi11_reason_chr = 2,
    vxi11_reason_end = 4,
};

enum vxi11_error : int32_t {
    vxi11_err_none = 0,
    vxi11_err_syntax = 1,
    vxi11_err_not_accessible = 3,
    vxi11_err_invalid_link = 4,
    vxi11_err_parameter = 5,
    vxi11_err_no_channel = 6,
    vxi11_err_not_supported = 8,
    vxi11_err_out_of_resources = 9,
    vxi11_err_locked = 11,
    vxi11_err_no_lock = 12,
    vxi11_err_io_timeout = 15,
    vxi11_err_io = 17,
    vxi11_err_invalid_address = 21,
    vxi11_err_abort = 23,
    vxi11_err_channel_established = 29,
};

struct pmap_mapping
{
    uint32_t prog = 0, vers = 0, prot = 0, port = 0;
};

struct vxi11_create_link_parms
{
    int32_t client_id = 0;
    bool lock_device = false;
    uint32_t lock_timeout = 0;
    std::string device;
};

struct vxi11_create_link_resp
{
    int32_t error = 0;
    int32_t lid = 0;
    uint32_t abort_port = 0;
    uint32_t max_recv_size = 0;
};

struct vxi11_write_parms
{
    int32_t lid = 0;
    uint32_t io_timeout = 0;
    uint32_t lock_timeout = 0;
    uint32_t flags = 0;
    const uint8_t *data = nullptr;   // not owned: points into the caller's buffer or the record
    size_t size = 0;
};

struct vxi11_write_resp
{
    int32_t error = 0;
    uint32_t size = 0;
};

struct vxi11_read_parms
{
    int32_t lid = 0;
    uint32_t request_size = 0;
    uint32_t io_timeout = 0;
    uint32_t lock_timeout = 0;
    uint32_t flags = 0;
    uint8_t term_char = 0;
};

struct vxi11_read_resp
{
    int32_t error = 0;
    uint32_t reason = 0;
    const uint8_t *data = nullptr;   // not owned
    size_t size = 0;
};

// Device_GenericParms: readstb, trigger, clear, remote, local.
struct vxi11_generic_parms
{
    int32_t lid = 0;
    uint32_t flags = 0;
    uint32_t lock_timeout = 0;
    uint32_t io_timeout = 0;
};

struct vxi11_lock_parms
{
    int32_t lid = 0;
    uint32_t flags = 0;
    uint32_t lock_timeout = 0;
};

xdr_bytes pmap_encode_mapping(const pmap_mapping &m);
bool pmap_decode_mapping(xdr_reader &r, pmap_mapping *m);

xdr_bytes vxi11_encode(const vxi11_create_link_parms &p);
xdr_bytes vxi11_encode(const vxi11_create_link_resp &p);
xdr_bytes vxi11_encode(const vxi11_write_parms &p);
xdr_bytes vxi11_encode(const vxi11_write_resp &p);
xdr_bytes vxi11_encode(const vxi11_read_parms &p);
xdr_bytes vxi11_encode(const vxi11_read_resp &p);
xdr_bytes vxi11_encode(const vxi11_generic_parms &p);
xdr_bytes vxi11_encode(const vxi11_lock_parms &p);
xdr_bytes vxi11_encode_readstb_resp(int32_t error, uint8_t stb);
xdr_bytes vxi11_encode_error(int32_t error);
xdr_bytes vxi11_encode_link(int32_t lid);

// Each decoder reads exactly its structure and returns false on any
// shortfall or out-of-range length; max_data bounds opaque payloads.
bool vxi11_decode(xdr_reader &r, vxi11_create_link_parms *p, size_t max_device = 256);
bool vxi11_decode(xdr_reader &r, vxi11_create_link_resp *p);
bool vxi11_decode(xdr_reader &r, vxi11_write_parms *p, size_t max_data);
bool vxi11_decode(xdr_reader &r, vxi11_write_resp *p);
bool vxi11_decode(xdr_reader &r, vxi11_read_parms *p);
bool vxi11_decode(xdr_reader &r, vxi11_read_resp *p, size_t max_data);
bool vxi11_decode(xdr_reader &r, vxi11_generic_parms *p);
bool vxi11_decode(xdr_reader &r, vxi11_lock_parms *p);
bool vxi11_decode_readstb_resp(xdr_reader &r, int32_t *error, uint8_t *stb);
bool vxi11_decode_error(xdr_reader &r, int32_t *error);

} // namespace velq
