#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velq {

// XDR (RFC 4506) as ONC RPC uses it: every item is a multiple of four
// big-endian bytes, variable-length data carries a 4-byte length and is
// zero-padded to the next multiple of four.

using xdr_bytes = std::vector<uint8_t>;

class xdr_writer
{
public:
    void put_u32(uint32_t v);
    void put_i32(int32_t v) { put_u32(static_cast<uint32_t>(v)); }
    void put_bool(bool b) { put_u32(b ? 1u : 0u); }
    void put_opaque(const uint8_t *data, size_t n);
    void put_opaque(const xdr_bytes &data) { put_opaque(data.data(), data.size()); }
    void put_string(const std::string &s);
    void put_raw(const xdr_bytes &data) { buf.insert(buf.end(), data.begin(), data.end()); }

    xdr_bytes buf;
};

// Decoding never trusts a length from the wire: every item is checked
// against the bytes actually present, and a failure is sticky so a caller
// can decode a whole structure and test ok() once.
class xdr_reader
{
public:
    xdr_reader(const uint8_t *data, size_t n) : m_data(data), m_size(n) {}
    explicit xdr_reader(const xdr_bytes &b) : m_data(b.data()), m_size(b.size()) {}

    uint32_t get_u32();
    int32_t get_i32() { return static_cast<int32_t>(get_u32()); }
    bool get_bool() { return get_u32() != 0; }
    // Returns a view into the buffer; max_len bounds what the protocol allows.
    bool get_opaque_view(const uint8_t **data, size_t *n, size_t max_len = SIZE_MAX);
    xdr_bytes get_opaque(size_t max_len = SIZE_MAX);
    std::string get_string(size_t max_len = SIZE_MAX);
    void skip_opaque(size_t max_len = SIZE_MAX);

    bool ok() const { return m_ok; }
    void fail() { m_ok = false; }
    size_t remaining() const { return m_ok ? m_size - m_pos : 0; }
    size_t position() const { return m_pos; }
    const uint8_t *current() const { return m_data + m_pos; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace velq
