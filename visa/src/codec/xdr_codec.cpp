#include "xdr_codec.h"

namespace velq {

namespace {
size_t xdr_padded(size_t n)
{
    return (n + 3u) & ~static_cast<size_t>(3u);
}
}

void xdr_writer::put_u32(uint32_t v)
{
    buf.push_back(static_cast<uint8_t>(v >> 24));
    buf.push_back(static_cast<uint8_t>(v >> 16));
    buf.push_back(static_cast<uint8_t>(v >> 8));
    buf.push_back(static_cast<uint8_t>(v));
}

void xdr_writer::put_opaque(const uint8_t *data, size_t n)
{
    put_u32(static_cast<uint32_t>(n));
    if (n)
        buf.insert(buf.end(), data, data + n);
    buf.insert(buf.end(), xdr_padded(n) - n, 0);
}

void xdr_writer::put_string(const std::string &s)
{
    put_opaque(reinterpret_cast<const uint8_t *>(s.data()), s.size());
}

uint32_t xdr_reader::get_u32()
{
    if (!m_ok || m_size - m_pos < 4) {
        m_ok = false;
        return 0;
    }
    const uint8_t *p = m_data + m_pos;
    m_pos += 4;
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

bool xdr_reader::get_opaque_view(const uint8_t **data, size_t *n, size_t max_len)
{
    *data = nullptr;
    *n = 0;
    const uint32_t len = get_u32();
    if (!m_ok)
        return false;
    // The padded length is compared with what is left before anything is
    // touched, so a claimed length of 4 GiB costs nothing.
    if (len > max_len || xdr_padded(len) > m_size - m_pos) {
        m_ok = false;
        return false;
    }
    *data = m_data + m_pos;
    *n = len;
    m_pos += xdr_padded(len);
    return true;
}

xdr_bytes xdr_reader::get_opaque(size_t max_len)
{
    const uint8_t *p;
    size_t n;
    if (!get_opaque_view(&p, &n, max_len))
        return {};
    return xdr_bytes(p, p + n);
}

std::string xdr_reader::get_string(size_t max_len)
{
    const uint8_t *p;
    size_t n;
    if (!get_opaque_view(&p, &n, max_len))
        return {};
    return std::string(reinterpret_cast<const char *>(p), n);
}

void xdr_reader::skip_opaque(size_t max_len)
{
    const uint8_t *p;
    size_t n;
    get_opaque_view(&p, &n, max_len);
}

} // namespace velq
