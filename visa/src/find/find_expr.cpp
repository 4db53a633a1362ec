#include "find/find_expr.h"

#include "api/rsrc_parse.h"

#include <cctype>
#include <cstring>

namespace velq {

namespace {

struct attr_name {
    const char *name;
    ViAttr id;
    bool is_string;
};

const attr_name kAttrNames[] = {
    {"VI_ATTR_RSRC_CLASS", VI_ATTR_RSRC_CLASS, true},
    {"VI_ATTR_RSRC_NAME", VI_ATTR_RSRC_NAME, true},
    {"VI_ATTR_INTF_TYPE", VI_ATTR_INTF_TYPE, false},
    {"VI_ATTR_INTF_NUM", VI_ATTR_INTF_NUM, false},
    {"VI_ATTR_INTF_INST_NAME", VI_ATTR_INTF_INST_NAME, true},
    {"VI_ATTR_MANF_ID", VI_ATTR_MANF_ID, false},
    {"VI_ATTR_MODEL_CODE", VI_ATTR_MODEL_CODE, false},
    {"VI_ATTR_MANF_NAME", VI_ATTR_MANF_NAME, true},
    {"VI_ATTR_MODEL_NAME", VI_ATTR_MODEL_NAME, true},
    {"VI_ATTR_USB_SERIAL_NUM", VI_ATTR_USB_SERIAL_NUM, true},
    {"VI_ATTR_USB_INTFC_NUM", VI_ATTR_USB_INTFC_NUM, false},
    {"VI_ATTR_TCPIP_ADDR", VI_ATTR_TCPIP_ADDR, true},
    {"VI_ATTR_TCPIP_HOSTNAME", VI_ATTR_TCPIP_HOSTNAME, true},
    {"VI_ATTR_TCPIP_PORT", VI_ATTR_TCPIP_PORT, false},
    {"VI_ATTR_TCPIP_DEVICE_NAME", VI_ATTR_TCPIP_DEVICE_NAME, true},
    {"VI_ATTR_TCPIP_IS_HISLIP", VI_ATTR_TCPIP_IS_HISLIP, false},
    {"VI_ATTR_GPIB_PRIMARY_ADDR", VI_ATTR_GPIB_PRIMARY_ADDR, false},
    {"VI_ATTR_GPIB_SECONDARY_ADDR", VI_ATTR_GPIB_SECONDARY_ADDR, false},
};

bool iequal(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Rewrites the pattern into ECMAScript syntax. Every character that is not an operator of the
// resource pattern language is literal there ('.', '^', '$', '{' in a list, ...).
bool translate_pattern(const std::string &in, std::string *out)
{
    static const char kSpecial[] = "\\^$.*+?()[]{}|/";
    std::string re;
    bool has_item = false; // '*' and '+' need something before them to repeat
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        switch (c) {
        case '?':
            re += '.';
            has_item = true;
            break;
        case '*':
        case '+':
            if (!has_item)
                return false;
            re += c;
            has_item = false; // "a**" and "a*+" mean nothing
            break;
        case '|':
        case '(':
            re += c;
            has_item = false;
            break;
        case ')':
            re += c;
            has_item = true;
            break;
        case '\\':
            if (i + 1 >= in.size())
                return false;
            ++i;
            if (std::strchr(kSpecial, in[i]))
                re += '\\';
            re += in[i];
            has_item = true;
            break;
        case '[': {
            re += '[';
            size_t j = i + 1;
            if (j < in.size() && in[j] == '^')
                re += in[j++];
            const size_t first = j;
            for (; j < in.size() && (in[j] != ']' || j == first); ++j) {
                if (in[j] == '\\' && j + 1 < in.size()) {
                    re += '\\';
                    re += in[++j];
                } else if (in[j] == '[' || in[j] == ']') {
                    re += '\\';
                    re += in[j];
                } else {
                    re += in[j];
                }
            }
            if (j >= in.size())
                return false;
            re += ']';
            i = j;
            has_item = true;
            break;
        }
        default:
            if (std::strchr(kSpecial, c))
                re += '\\';
            re += c;
            has_item = true;
            break;
        }
    }
    *out = re;
    return true;
}

// Recursive descent over the attribute part: or := and ("||" and)*; and := unary ("&&" unary)*;
// unary := "!" unary | "(" or ")" | NAME op VALUE.
class attr_parser {
public:
    attr_parser(const std::string &s, std::vector<find_expr::node> *nodes) : m_s(s), m_nodes(nodes) {}

    int parse()
    {
        const int n = parse_or();
        skip_ws();
        return (m_ok && m_pos == m_s.size()) ? n : -1;
    }

private:
    void skip_ws()
    {
        while (m_pos < m_s.size() && std::isspace(static_cast<unsigned char>(m_s[m_pos])))
            ++m_pos;
    }
    bool take(const char *tok)
    {
        skip_ws();
        const size_t n = std::strlen(tok);
        if (m_s.compare(m_pos, n, tok) == 0) {
            m_pos += n;
            return true;
        }
        return false;
    }
    int add(find_expr::node nd)
    {
        // Bounds the work a hostile expression can cause; no real one comes near.
        if (m_nodes->size() >= 256) {
            m_ok = false;
            return -1;
        }
        m_nodes->push_back(std::move(nd));
        return static_cast<int>(m_nodes->size() - 1);
    }
    int parse_or()
    {
        int left = parse_and();
        while (m_ok && take("||")) {
            find_expr::node nd;
            nd.k = find_expr::node::op_or;
            nd.a = left;
            nd.b = parse_and();
            left = add(nd);
        }
        return left;
    }
    int parse_and()
    {
        int left = parse_unary();
        while (m_ok && take("&&")) {
            find_expr::node nd;
            nd.k = find_expr::node::op_and;
            nd.a = left;
            nd.b = parse_unary();
            left = add(nd);
        }
        return left;
    }
    int parse_unary()
    {
        if (!m_ok || ++m_depth > 64)
            return fail();
        int n = -1;
        if (take("!")) {
            if (m_s.compare(m_pos, 1, "=") == 0)
                return fail();
            find_expr::node nd;
            nd.k = find_expr::node::op_not;
            nd.a = parse_unary();
            n = add(nd);
        } else if (take("(")) {
            n = parse_or();
            if (!take(")"))
                return fail();
        } else {
            n = parse_cmp();
        }
        --m_depth;
        return n;
    }
    int parse_cmp()
    {
        skip_ws();
        const size_t start = m_pos;
        while (m_pos < m_s.size() && (std::isalnum(static_cast<unsigned char>(m_s[m_pos])) || m_s[m_pos] == '_'))
            ++m_pos;
        const std::string name = m_s.substr(start, m_pos - start);
        const attr_name *an = nullptr;
        for (const attr_name &a : kAttrNames) {
            if (name == a.name)
                an = &a;
        }
        if (!an)
            return fail();
        find_expr::node nd;
        nd.attr = an->id;
        nd.is_string = an->is_string;
        static const char *const kOps[] = {"==", "!=", "<=", ">=", "<", ">"};
        for (const char *op : kOps) {
            if (take(op)) {
                nd.op = op;
                break;
            }
        }
        if (nd.op.empty())
            return fail();
        skip_ws();
        if (nd.is_string) {
            // Strings compare for equality only, and are quoted.
            if ((nd.op != "==" && nd.op != "!=") || m_pos >= m_s.size() || m_s[m_pos] != '"')
                return fail();
            const size_t close = m_s.find('"', m_pos + 1);
            if (close == std::string::npos)
                return fail();
            nd.str = m_s.substr(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
        } else {
            const size_t vstart = m_pos;
            const bool hex = m_s.compare(m_pos, 2, "0x") == 0 || m_s.compare(m_pos, 2, "0X") == 0;
            if (hex)
                m_pos += 2;
            const size_t digits = m_pos;
            uint64_t v = 0;
            while (m_pos < m_s.size() && (hex ? std::isxdigit(static_cast<unsigned char>(m_s[m_pos]))
                                              : std::isdigit(static_cast<unsigned char>(m_s[m_pos])))) {
                const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(m_s[m_pos])));
                const uint64_t d = std::isdigit(static_cast<unsigned char>(c)) ? uint64_t(c - '0') : uint64_t(c - 'a' + 10);
                if (v > (UINT64_MAX - d) / (hex ? 16 : 10))
                    return fail();
                v = v * (hex ? 16 : 10) + d;
                ++m_pos;
            }
            if (m_pos == digits || m_pos == vstart)
                return fail();
            nd.num = v;
        }
        nd.k = find_expr::node::cmp;
        return add(nd);
    }
    int fail()
    {
        m_ok = false;
        return -1;
    }

    const std::string m_s;
    std::vector<find_expr::node> *m_nodes;
    size_t m_pos = 0;
    int m_depth = 0;
    bool m_ok = true;
};

} // namespace

find_attrs find_attrs_from_name(const std::string &canonical)
{
    find_attrs a;
    rsrc_parsed r;
    a.strs[VI_ATTR_RSRC_NAME] = canonical;
    if (rsrc_parse(canonical.c_str(), &r) != VI_SUCCESS)
        return a;
    a.nums[VI_ATTR_INTF_TYPE] = r.intf_type;
    a.nums[VI_ATTR_INTF_NUM] = r.board;
    a.strs[VI_ATTR_RSRC_CLASS] = r.rsrc_class;
    switch (r.kind) {
    case rsrc_kind::tcpip_instr:
    case rsrc_kind::tcpip_socket:
        a.strs[VI_ATTR_TCPIP_ADDR] = r.host;
        a.strs[VI_ATTR_TCPIP_HOSTNAME] = r.host;
        if (r.kind == rsrc_kind::tcpip_socket) {
            a.nums[VI_ATTR_TCPIP_PORT] = r.port;
        } else {
            a.strs[VI_ATTR_TCPIP_DEVICE_NAME] = r.is_hislip ? r.hislip_name : r.lan_device;
            a.nums[VI_ATTR_TCPIP_IS_HISLIP] = r.is_hislip ? 1 : 0;
        }
        break;
    case rsrc_kind::usb_instr:
    case rsrc_kind::usb_raw:
        a.nums[VI_ATTR_MANF_ID] = r.usb_vid;
        a.nums[VI_ATTR_MODEL_CODE] = r.usb_pid;
        a.strs[VI_ATTR_USB_SERIAL_NUM] = r.usb_serial;
        a.nums[VI_ATTR_USB_INTFC_NUM] = static_cast<uint64_t>(r.usb_intf);
        break;
    case rsrc_kind::gpib_instr:
        a.nums[VI_ATTR_GPIB_PRIMARY_ADDR] = r.gpib_primary;
        a.nums[VI_ATTR_GPIB_SECONDARY_ADDR] = r.gpib_secondary;
        break;
    case rsrc_kind::asrl_instr:
        if (!r.asrl_path.empty())
            a.strs[VI_ATTR_INTF_INST_NAME] = r.asrl_path;
        break;
    default:
        break;
    }
    return a;
}

ViStatus find_expr::compile(const std::string &expr)
{
    m_nodes.clear();
    m_root = -1;
    // The attribute part starts at the first '{' that is neither escaped nor inside a list.
    size_t brace = std::string::npos;
    bool in_list = false;
    for (size_t i = 0; i < expr.size(); ++i) {
        const char c = expr[i];
        if (c == '\\') {
            ++i;
        } else if (in_list) {
            in_list = c != ']';
        } else if (c == '[') {
            in_list = true;
            if (i + 1 < expr.size() && expr[i + 1] == ']')
                ++i; // a ']' first in a list is literal
        } else if (c == '{') {
            brace = i;
            break;
        }
    }
    const std::string pattern = expr.substr(0, brace);
    if (pattern.empty())
        return VI_ERROR_INV_EXPR;
    std::string re;
    if (!translate_pattern(pattern, &re))
        return VI_ERROR_INV_EXPR;
    try {
        m_re = std::regex(re, std::regex::ECMAScript | std::regex::icase | std::regex::optimize);
    } catch (const std::regex_error &) {
        return VI_ERROR_INV_EXPR;
    }
    if (brace != std::string::npos) {
        if (expr.back() != '}' || expr.size() - brace < 3)
            return VI_ERROR_INV_EXPR;
        attr_parser p(expr.substr(brace + 1, expr.size() - brace - 2), &m_nodes);
        m_root = p.parse();
        if (m_root < 0)
            return VI_ERROR_INV_EXPR;
    }
    return VI_SUCCESS;
}

bool find_expr::eval(int n, const find_attrs &attrs) const
{
    const node &nd = m_nodes[static_cast<size_t>(n)];
    switch (nd.k) {
    case node::op_or:
        return eval(nd.a, attrs) || eval(nd.b, attrs);
    case node::op_and:
        return eval(nd.a, attrs) && eval(nd.b, attrs);
    case node::op_not:
        return !eval(nd.a, attrs);
    case node::cmp:
        break;
    }
    // A resource that cannot report the attribute satisfies no comparison on it.
    if (nd.is_string) {
        const auto it = attrs.strs.find(nd.attr);
        if (it == attrs.strs.end())
            return false;
        const bool eq = iequal(it->second, nd.str);
        return nd.op == "==" ? eq : !eq;
    }
    const auto it = attrs.nums.find(nd.attr);
    if (it == attrs.nums.end())
        return false;
    const uint64_t v = it->second;
    if (nd.op == "==") return v == nd.num;
    if (nd.op == "!=") return v != nd.num;
    if (nd.op == "<") return v < nd.num;
    if (nd.op == ">") return v > nd.num;
    if (nd.op == "<=") return v <= nd.num;
    return v >= nd.num;
}

bool find_expr::matches(const std::string &name, const find_attrs &attrs) const
{
    if (!std::regex_match(name, m_re))
        return false;
    return m_root < 0 || eval(m_root, attrs);
}

} // namespace velq
