#include "find/find_engine.h"

#include "find/find_mdns.h"
#include "find/find_sysfs.h"
#include "find_vxi11.h"
#include "vxi11/vxi11_transport.h"
#include "api/rsrc_parse.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <thread>
#include <tuple>

namespace velq {

namespace {

// More than any bench or lab holds; a flood of answers must not grow the list without bound.
constexpr size_t kMaxFound = 4096;

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int tcpip_rank(const rsrc_parsed &r)
{
    if (r.kind == rsrc_kind::tcpip_instr)
        return r.is_hislip ? 0 : 1;
    return r.kind == rsrc_kind::tcpip_socket ? 2 : 3;
}

struct entry {
    found_rsrc rsrc;
    rsrc_parsed parsed;
};

} // namespace

find_sources find_default_sources(const find_config &cfg, const std::string &sysfs_root)
{
    find_sources s;
    s.push_back(std::make_unique<find_source_config>(cfg));
    s.push_back(std::make_unique<find_source_serial>(sysfs_root));
    s.push_back(std::make_unique<find_source_usbtmc>(sysfs_root));
    if (cfg.broadcast)
        s.push_back(std::make_unique<find_source_vxi11>(vxi11_transport::portmapper_port()));
    if (cfg.mdns)
        s.push_back(std::make_unique<find_source_mdns>());
    return s;
}

std::vector<found_rsrc> find_run(const find_sources &sources, unsigned timeout_ms)
{
    std::vector<std::vector<found_rsrc>> results(sources.size());
    std::vector<std::thread> threads;
    threads.reserve(sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        threads.emplace_back([&, i]() {
            try {
                sources[i]->collect(&results[i], timeout_ms);
            } catch (...) {
                // A failing source costs its own answers only.
                results[i].clear();
            }
        });
    }
    for (std::thread &t : threads)
        t.join();

    std::vector<entry> all;
    std::set<std::string> seen;
    for (auto &list : results) {
        for (found_rsrc &f : list) {
            if (all.size() >= kMaxFound)
                break;
            entry e;
            if (rsrc_parse(f.name.c_str(), &e.parsed) != VI_SUCCESS)
                continue;
            if (!seen.insert(lower(e.parsed.canonical)).second)
                continue;
            f.name = e.parsed.canonical;
            e.rsrc = std::move(f);
            all.push_back(std::move(e));
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const entry &a, const entry &b) {
        const std::string ha = lower(a.parsed.host), hb = lower(b.parsed.host);
        return std::make_tuple(a.parsed.intf_type, a.parsed.asrl_path_form, a.parsed.board, ha, tcpip_rank(a.parsed), a.parsed.port, lower(a.parsed.canonical))
             < std::make_tuple(b.parsed.intf_type, b.parsed.asrl_path_form, b.parsed.board, hb, tcpip_rank(b.parsed), b.parsed.port, lower(b.parsed.canonical));
    });
    std::vector<found_rsrc> out;
    out.reserve(all.size());
    for (entry &e : all)
        out.push_back(std::move(e.rsrc));
    return out;
}

std::vector<std::string> find_filter(const std::vector<found_rsrc> &found, const find_expr &expr)
{
    std::vector<std::string> names;
    for (const found_rsrc &f : found) {
        find_attrs attrs = find_attrs_from_name(f.name);
        if (!f.manf_name.empty())
            attrs.strs[VI_ATTR_MANF_NAME] = f.manf_name;
        if (!f.model_name.empty())
            attrs.strs[VI_ATTR_MODEL_NAME] = f.model_name;
        if (expr.matches(f.name, attrs))
            names.push_back(f.name);
    }
    return names;
}

} // namespace velq
