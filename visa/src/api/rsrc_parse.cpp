#include "api/rsrc_parse.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace velq {

namespace {

constexpr size_t kMaxNameLen = 255; // every caller buffer for names is 256 bytes

bool ieq(const std::string &a, const char *b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool istarts(const std::string &a, const char *prefix)
{
    const size_t n = std::strlen(prefix);
    return a.size() >= n && ieq(a.substr(0, n), prefix);
}

// Decimal digits only, no sign, at most max.
bool parse_dec(const std::string &s, unsigned long max, unsigned long *out)
{
    if (s.empty() || s.size() > 10)
        return false;
    unsigned long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned long>(c - '0');
        if (v > max)
            return false;
    }
    *out = v;
    return true;
}

// USB ids: "0x" + hex, or decimal.
bool parse_id16(const std::string &s, ViUInt16 *out)
{
    unsigned long v = 0;
    if (istarts(s, "0x")) {
        const std::string hex = s.substr(2);
        if (hex.empty() || hex.size() > 8)
            return false;
        for (char c : hex) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
            v = v * 16 + static_cast<unsigned long>(std::isdigit(static_cast<unsigned char>(c))
                                                        ? c - '0'
                                                        : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
        }
        if (v > 0xFFFF)
            return false;
    } else if (!parse_dec(s, 0xFFFF, &v)) {
        return false;
    }
    *out = static_cast<ViUInt16>(v);
    return true;
}

bool visible_token(const std::string &s)
{
    if (s.empty())
        return false;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == ':')
            return false;
    }
    return true;
}

bool valid_host(const std::string &s)
{
    if (s.empty())
        return false;
    if (s.front() == '[') {
        if (s.size() < 3 || s.back() != ']')
            return false;
        for (size_t i = 1; i + 1 < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (!std::isxdigit(c) && c != ':' && c != '.' && c != '%' && !std::isalnum(c))
                return false;
        }
        return true;
    }
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '.' && c != '-' && c != '_')
            return false;
    }
    return true;
}

// Splits at "::", except inside a bracketed IPv6 address. False on an unclosed bracket.
bool split_tokens(const std::string &s, std::vector<std::string> *out)
{
    std::string cur;
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '[') {
            const size_t close = s.find(']', i);
            if (close == std::string::npos)
                return false;
            cur += s.substr(i, close - i + 1);
            i = close + 1;
        } else if (s.compare(i, 2, "::") == 0) {
            out->push_back(cur);
            cur.clear();
            i += 2;
        } else {
            cur += s[i++];
        }
    }
    out->push_back(cur);
    return true;
}

ViStatus parse_tcpip(std::vector<std::string> tok, rsrc_parsed *r)
{
    r->intf_type = VI_INTF_TCPIP;
    if (tok.size() == 2 && (ieq(tok[1], "INSTR") || ieq(tok[1], "SOCKET")))
        return VI_ERROR_INV_RSRC_NAME; // a class where the host belongs
    const std::string board = std::to_string(r->board);
    if (tok.size() >= 2 && ieq(tok.back(), "SOCKET")) {
        unsigned long port = 0;
        if (tok.size() != 4 || !valid_host(tok[1]) || !parse_dec(tok[2], 65535, &port) || port == 0)
            return VI_ERROR_INV_RSRC_NAME;
        r->kind = rsrc_kind::tcpip_socket;
        r->rsrc_class = "SOCKET";
        r->port = static_cast<ViUInt16>(port);
        r->host = tok[1];
        r->canonical = "TCPIP" + board + "::" + tok[1] + "::" + std::to_string(port) + "::SOCKET";
    } else {
        if (tok.size() >= 3 && ieq(tok.back(), "INSTR"))
            tok.pop_back();
        if (tok.size() < 2 || tok.size() > 3 || !valid_host(tok[1]))
            return VI_ERROR_INV_RSRC_NAME;
        std::string device = tok.size() == 3 ? tok[2] : std::string("inst0");
        if (!visible_token(device))
            return VI_ERROR_INV_RSRC_NAME;
        if (istarts(device, "hislip")) {
            const size_t comma = device.find(',');
            const std::string name = device.substr(0, comma);
            for (size_t i = 6; i < name.size(); ++i) {
                if (!std::isalnum(static_cast<unsigned char>(name[i])))
                    return VI_ERROR_INV_RSRC_NAME;
            }
            if (comma != std::string::npos) {
                unsigned long port = 0;
                if (!parse_dec(device.substr(comma + 1), 65535, &port) || port == 0)
                    return VI_ERROR_INV_RSRC_NAME;
                r->hislip_port = static_cast<ViUInt16>(port);
            }
            r->is_hislip = true;
            r->hislip_name = name;
        }
        r->kind = rsrc_kind::tcpip_instr;
        r->rsrc_class = "INSTR";
        r->host = tok[1];
        r->lan_device = device;
        r->canonical = "TCPIP" + board + "::" + tok[1] + "::" + device + "::INSTR";
    }
    if (r->host.front() == '[')
        r->host = r->host.substr(1, r->host.size() - 2);
    return VI_SUCCESS;
}

ViStatus parse_asrl(const std::string &head_rest, std::vector<std::string> tok, rsrc_parsed *r)
{
    r->intf_type = VI_INTF_ASRL;
    if (tok.size() == 2 && ieq(tok[1], "INSTR"))
        tok.pop_back();
    if (tok.size() != 1)
        return VI_ERROR_INV_RSRC_NAME;
    r->kind = rsrc_kind::asrl_instr;
    r->rsrc_class = "INSTR";
    if (!head_rest.empty() && head_rest.front() == '/') {
        // Device paths keep their case: Linux file names are case-sensitive.
        if (!visible_token(head_rest))
            return VI_ERROR_INV_RSRC_NAME;
        r->asrl_path = head_rest;
        r->asrl_path_form = true;
        r->canonical = "ASRL" + head_rest + "::INSTR";
        return VI_SUCCESS;
    }
    if (r->board > 0)
        r->asrl_path = "/dev/ttyS" + std::to_string(r->board - 1);
    r->canonical = "ASRL" + std::to_string(r->board) + "::INSTR";
    return VI_SUCCESS;
}

ViStatus parse_usb(std::vector<std::string> tok, rsrc_parsed *r)
{
    r->intf_type = VI_INTF_USB;
    r->kind = rsrc_kind::usb_instr;
    r->rsrc_class = "INSTR";
    if (tok.size() >= 4 && ieq(tok.back(), "INSTR")) {
        tok.pop_back();
    } else if (tok.size() >= 4 && ieq(tok.back(), "RAW")) {
        tok.pop_back();
        r->kind = rsrc_kind::usb_raw;
        r->rsrc_class = "RAW";
    }
    if (tok.size() != 4 && tok.size() != 5)
        return VI_ERROR_INV_RSRC_NAME;
    if (!parse_id16(tok[1], &r->usb_vid) || !parse_id16(tok[2], &r->usb_pid) || !visible_token(tok[3]))
        return VI_ERROR_INV_RSRC_NAME;
    r->usb_serial = tok[3];
    if (tok.size() == 5) {
        unsigned long intf = 0;
        if (!parse_dec(tok[4], 255, &intf))
            return VI_ERROR_INV_RSRC_NAME;
        r->usb_intf = static_cast<ViInt16>(intf);
        r->usb_intf_given = true;
    }
    char ids[32];
    std::snprintf(ids, sizeof ids, "0x%04X::0x%04X", r->usb_vid, r->usb_pid);
    r->canonical = "USB" + std::to_string(r->board) + "::" + ids + "::" + r->usb_serial + "::" +
                   std::to_string(r->usb_intf) + "::" + r->rsrc_class;
    return VI_SUCCESS;
}

ViStatus parse_gpib(std::vector<std::string> tok, rsrc_parsed *r)
{
    r->intf_type = VI_INTF_GPIB;
    const std::string board = std::to_string(r->board);
    if (tok.size() == 2 && (ieq(tok[1], "INTFC") || ieq(tok[1], "SERVANT"))) {
        r->kind = ieq(tok[1], "INTFC") ? rsrc_kind::gpib_intfc : rsrc_kind::other;
        r->rsrc_class = ieq(tok[1], "INTFC") ? "INTFC" : "SERVANT";
        r->canonical = "GPIB" + board + "::" + r->rsrc_class;
        return VI_SUCCESS;
    }
    if (tok.size() >= 3 && ieq(tok.back(), "INSTR"))
        tok.pop_back();
    if (tok.size() != 2 && tok.size() != 3)
        return VI_ERROR_INV_RSRC_NAME;
    unsigned long primary = 0, secondary = 0;
    if (!parse_dec(tok[1], 30, &primary))
        return VI_ERROR_INV_RSRC_NAME;
    if (tok.size() == 3 && !parse_dec(tok[2], 30, &secondary))
        return VI_ERROR_INV_RSRC_NAME;
    r->kind = rsrc_kind::gpib_instr;
    r->rsrc_class = "INSTR";
    r->gpib_primary = static_cast<ViUInt16>(primary);
    r->canonical = "GPIB" + board + "::" + std::to_string(primary);
    if (tok.size() == 3) {
        r->gpib_secondary = static_cast<ViUInt16>(secondary);
        r->canonical += "::" + std::to_string(secondary);
    }
    r->canonical += "::INSTR";
    return VI_SUCCESS;
}

bool looks_like_alias(const std::string &s)
{
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '_' && c != '-' && c != '.')
            return false;
    }
    return !s.empty();
}

} // namespace

ViStatus rsrc_parse(const char *name, rsrc_parsed *out)
{
    if (!name || !out)
        return VI_ERROR_INV_RSRC_NAME;
    std::string s(name, strnlen(name, kMaxNameLen + 1));
    if (s.size() > kMaxNameLen)
        return VI_ERROR_INV_RSRC_NAME;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    size_t lead = 0;
    while (lead < s.size() && (s[lead] == ' ' || s[lead] == '\t'))
        ++lead;
    s.erase(0, lead);
    if (s.empty())
        return VI_ERROR_INV_RSRC_NAME;

    std::vector<std::string> tok;
    if (!split_tokens(s, &tok))
        return VI_ERROR_INV_RSRC_NAME;
    const std::string &head = tok[0];

    struct keyword {
        const char *text;
        ViUInt16 intf;
    };
    // Longer keywords first: "GPIB-VXI" must not be read as GPIB with a bad board number.
    static const keyword keywords[] = {{"GPIB-VXI", VI_INTF_GPIB_VXI}, {"TCPIP", VI_INTF_TCPIP},
                                       {"GPIB", VI_INTF_GPIB},         {"ASRL", VI_INTF_ASRL},
                                       {"USB", VI_INTF_USB},           {"VXI", VI_INTF_VXI},
                                       {"PXI", VI_INTF_PXI}};
    const keyword *kw = nullptr;
    for (const keyword &k : keywords) {
        if (istarts(head, k.text)) {
            kw = &k;
            break;
        }
    }
    std::string rest = kw ? head.substr(std::strlen(kw->text)) : std::string();
    unsigned long board = 0;
    const bool asrl_path = kw && kw->intf == VI_INTF_ASRL && !rest.empty() && rest.front() == '/';
    const bool board_ok = kw && (asrl_path || rest.empty() || parse_dec(rest, 0xFFFF, &board));
    if (!board_ok) {
        // Not a resource keyword: a name without "::" may be an alias, and none is configured.
        if (tok.size() == 1 && looks_like_alias(s))
            return VI_ERROR_RSRC_NFOUND;
        return VI_ERROR_INV_RSRC_NAME;
    }
    for (size_t i = 1; i < tok.size(); ++i) {
        if (tok[i].empty())
            return VI_ERROR_INV_RSRC_NAME;
    }

    rsrc_parsed r;
    r.board = static_cast<ViUInt16>(board);
    r.intf_type = kw->intf;
    ViStatus st = VI_ERROR_INV_RSRC_NAME;
    switch (kw->intf) {
    case VI_INTF_TCPIP:
        st = parse_tcpip(tok, &r);
        break;
    case VI_INTF_ASRL:
        st = parse_asrl(rest, tok, &r);
        break;
    case VI_INTF_USB:
        st = parse_usb(tok, &r);
        break;
    case VI_INTF_GPIB:
        st = parse_gpib(tok, &r);
        break;
    default:
        // VXI, GPIB-VXI and PXI names are not parsed further: nothing here can reach them.
        return tok.size() >= 2 ? VI_ERROR_RSRC_NFOUND : VI_ERROR_INV_RSRC_NAME;
    }
    // Defaults filled in can push a name that fits past the 256-byte buffers callers hold; cutting
    // it there would name another resource.
    if (st == VI_SUCCESS && r.canonical.size() > kMaxNameLen)
        st = VI_ERROR_INV_RSRC_NAME;
    if (st == VI_SUCCESS)
        *out = std::move(r);
    return st;
}

} // namespace velq
