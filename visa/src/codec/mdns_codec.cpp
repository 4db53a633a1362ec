#include "mdns_codec.h"

#include <algorithm>
#include <cctype>

namespace velq {

namespace {

constexpr size_t kMaxName = 255;
constexpr size_t kHeader = 12;

void put16(std::vector<uint8_t> &b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

void put32(std::vector<uint8_t> &b, uint32_t v)
{
    put16(b, static_cast<uint16_t>(v >> 16));
    put16(b, static_cast<uint16_t>(v));
}

void put_name(std::vector<uint8_t> &b, const std::string &name)
{
    size_t start = 0;
    while (start < name.size()) {
        size_t dot = name.find('.', start);
        if (dot == std::string::npos)
            dot = name.size();
        const size_t len = std::min<size_t>(dot - start, 63);
        b.push_back(static_cast<uint8_t>(len));
        b.insert(b.end(), name.begin() + static_cast<std::ptrdiff_t>(start),
                 name.begin() + static_cast<std::ptrdiff_t>(start + len));
        start = dot + 1;
    }
    b.push_back(0);
}

class reader {
public:
    reader(const uint8_t *d, size_t n) : m_d(d), m_n(n) {}
    bool ok() const { return m_ok; }
    size_t pos() const { return m_pos; }
    void seek(size_t p) { m_pos = p; }
    uint8_t u8()
    {
        if (m_pos + 1 > m_n)
            return fail(), 0;
        return m_d[m_pos++];
    }
    uint16_t u16()
    {
        const uint16_t hi = u8();
        return static_cast<uint16_t>((hi << 8) | u8());
    }
    uint32_t u32()
    {
        const uint32_t hi = u16();
        return (hi << 16) | u16();
    }
    // Each compression pointer must point before the one followed last, so following them
    // always ends, whatever the packet holds.
    std::string name()
    {
        std::string out;
        size_t p = m_pos;
        size_t bound = SIZE_MAX;
        size_t resume = 0;
        bool jumped = false;
        for (;;) {
            if (p >= m_n)
                return fail(), std::string();
            const uint8_t len = m_d[p];
            if ((len & 0xC0) == 0xC0) {
                if (p + 1 >= m_n)
                    return fail(), std::string();
                const size_t target = (static_cast<size_t>(len & 0x3F) << 8) | m_d[p + 1];
                if (target >= p || target >= bound)
                    return fail(), std::string();
                bound = target;
                if (!jumped)
                    resume = p + 2;
                jumped = true;
                p = target;
                continue;
            }
            if (len & 0xC0)
                return fail(), std::string();
            if (len == 0) {
                m_pos = jumped ? resume : p + 1;
                return out;
            }
            if (p + 1 + len > m_n || out.size() + len + 1 > kMaxName)
                return fail(), std::string();
            if (!out.empty())
                out += '.';
            out.append(reinterpret_cast<const char *>(m_d + p + 1), len);
            p += 1 + len;
        }
    }
    void fail() { m_ok = false; }

private:
    const uint8_t *m_d;
    size_t m_n;
    size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace

bool mdns_name_equal(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::vector<uint8_t> mdns_encode(const mdns_message &msg)
{
    std::vector<uint8_t> b;
    put16(b, msg.id);
    put16(b, msg.flags);
    put16(b, static_cast<uint16_t>(msg.questions.size()));
    put16(b, static_cast<uint16_t>(msg.records.size()));
    put16(b, 0);
    put16(b, 0);
    for (const auto &q : msg.questions) {
        put_name(b, q.first);
        put16(b, q.second);
        put16(b, 1);
    }
    for (const mdns_record &r : msg.records) {
        put_name(b, r.name);
        put16(b, r.type);
        put16(b, r.rclass);
        put32(b, r.ttl);
        std::vector<uint8_t> rd;
        switch (r.type) {
        case mdns_a:
            put32(rd, r.ipv4);
            break;
        case mdns_ptr:
            put_name(rd, r.target);
            break;
        case mdns_srv:
            put16(rd, r.priority);
            put16(rd, r.weight);
            put16(rd, r.port);
            put_name(rd, r.target);
            break;
        case mdns_txt:
            for (const std::string &t : r.txt) {
                rd.push_back(static_cast<uint8_t>(std::min<size_t>(t.size(), 255)));
                rd.insert(rd.end(), t.begin(), t.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(t.size(), 255)));
            }
            if (r.txt.empty())
                rd.push_back(0); // an empty TXT record still holds one empty string
            break;
        default:
            break;
        }
        put16(b, static_cast<uint16_t>(rd.size()));
        b.insert(b.end(), rd.begin(), rd.end());
    }
    return b;
}

bool mdns_decode(const uint8_t *data, size_t n, mdns_message *out)
{
    if (n < kHeader)
        return false;
    reader r(data, n);
    mdns_message m;
    m.id = r.u16();
    m.flags = r.u16();
    const size_t qd = r.u16();
    const size_t rr = size_t(r.u16()) + r.u16() + r.u16();
    if (qd + rr > mdns_max_records)
        return false;
    for (size_t i = 0; i < qd && r.ok(); ++i) {
        std::string name = r.name();
        const uint16_t type = r.u16();
        r.u16();
        m.questions.emplace_back(std::move(name), type);
    }
    for (size_t i = 0; i < rr && r.ok(); ++i) {
        mdns_record rec;
        rec.name = r.name();
        rec.type = r.u16();
        rec.rclass = r.u16() & 0x7FFF;
        rec.ttl = r.u32();
        const size_t len = r.u16();
        const size_t start = r.pos();
        if (!r.ok() || start + len > n)
            return false;
        switch (rec.type) {
        case mdns_a:
            if (len != 4)
                return false;
            rec.ipv4 = r.u32();
            break;
        case mdns_ptr:
            rec.target = r.name();
            break;
        case mdns_srv:
            rec.priority = r.u16();
            rec.weight = r.u16();
            rec.port = r.u16();
            rec.target = r.name();
            break;
        case mdns_txt:
            while (r.ok() && r.pos() < start + len) {
                const size_t tl = r.u8();
                if (r.pos() + tl > start + len)
                    return false;
                rec.txt.emplace_back(reinterpret_cast<const char *>(data + r.pos()), tl);
                r.seek(r.pos() + tl);
            }
            break;
        default:
            break;
        }
        // The record data must end where its length says, whatever it held.
        if (!r.ok() || (rec.type != mdns_a && rec.type != mdns_txt && r.pos() > start + len))
            return false;
        r.seek(start + len);
        m.records.push_back(std::move(rec));
    }
    if (!r.ok())
        return false;
    *out = std::move(m);
    return true;
}

} // namespace velq
