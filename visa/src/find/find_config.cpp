#include "find/find_config.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velq {

namespace {

constexpr size_t kMaxConfigBytes = 1 << 20;
constexpr unsigned kMaxTimeoutMs = 60000;

std::string trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool is_off(const std::string &value)
{
    const std::string v = lower(value);
    return v == "0" || v == "false" || v == "no" || v == "off";
}

// A bare host stands for its VXI-11 instrument, the name every LAN instrument answers to.
bool canonical_of(const std::string &text, std::string *out)
{
    const std::string name = text.find("::") == std::string::npos ? "TCPIP0::" + text + "::inst0::INSTR" : text;
    rsrc_parsed r;
    if (rsrc_parse(name.c_str(), &r) != VI_SUCCESS)
        return false;
    *out = r.canonical;
    return true;
}

} // namespace

find_config find_config_parse(const std::string &text)
{
    find_config cfg;
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        line = trim(line);
        if (line.empty())
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = lower(trim(line.substr(1, line.size() - 2)));
            continue;
        }
        const size_t eq = line.find('=');
        const std::string key = eq == std::string::npos ? line : trim(line.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : trim(line.substr(eq + 1));
        std::string canonical;
        // Lines that make no sense are skipped: one typo must not cost the user every other entry.
        if (section == "resources" && eq == std::string::npos) {
            if (canonical_of(key, &canonical))
                cfg.resources.push_back(canonical);
        } else if (section == "aliases" && eq != std::string::npos) {
            rsrc_parsed probe;
            // An alias that reads as a resource name could never be used as one.
            if (!key.empty() && key.find("::") == std::string::npos && rsrc_parse(key.c_str(), &probe) == VI_ERROR_RSRC_NFOUND
                && canonical_of(value, &canonical))
                cfg.aliases.emplace_back(key, canonical);
        } else if (section == "find" && eq != std::string::npos) {
            if (lower(key) == "timeout_ms") {
                char *end = nullptr;
                const unsigned long v = std::strtoul(value.c_str(), &end, 10);
                if (end && *end == '\0' && !value.empty())
                    cfg.timeout_ms = v > kMaxTimeoutMs ? kMaxTimeoutMs : static_cast<unsigned>(v);
            } else if (lower(key) == "broadcast") {
                cfg.broadcast = !is_off(value);
            } else if (lower(key) == "mdns") {
                cfg.mdns = !is_off(value);
            }
        }
    }
    return cfg;
}

find_config find_config_load()
{
    std::string path;
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
        path = std::string(xdg) + "/velqvisa.conf";
    } else {
        const char *home = std::getenv("HOME");
        if (!home || !*home)
            return find_config();
        path = std::string(home) + "/.config/velqvisa.conf";
    }
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return find_config();
    std::string text(kMaxConfigBytes, '\0');
    f.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(f.gcount()));
    return find_config_parse(text);
}

ViStatus rsrc_parse_aliased(const char *name, rsrc_parsed *out, std::string *alias)
{
    if (alias)
        alias->clear();
    ViStatus st = rsrc_parse(name, out);
    // Opening a plain name reads no file: only a caller that wants the alias pays for it.
    if ((st != VI_SUCCESS && st != VI_ERROR_RSRC_NFOUND) || (st == VI_SUCCESS && !alias))
        return st;
    const find_config cfg = find_config_load();
    if (st == VI_SUCCESS) {
        for (const auto &a : cfg.aliases) {
            if (lower(a.second) == lower(out->canonical)) {
                if (alias)
                    *alias = a.first;
                break;
            }
        }
        return st;
    }
    const std::string wanted = lower(trim(name));
    for (const auto &a : cfg.aliases) {
        if (lower(a.first) == wanted) {
            st = rsrc_parse(a.second.c_str(), out);
            if (st == VI_SUCCESS && alias)
                *alias = a.first;
            return st;
        }
    }
    return VI_ERROR_RSRC_NFOUND;
}

void find_source_config::collect(std::vector<found_rsrc> *out, unsigned)
{
    for (const std::string &r : m_cfg.resources)
        out->push_back({r, {}, {}});
    for (const auto &a : m_cfg.aliases)
        out->push_back({a.second, {}, {}});
}

} // namespace velq
