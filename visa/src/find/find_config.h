#pragma once

#include "find/find_source.h"
#include "api/rsrc_parse.h"

#include <string>
#include <utility>
#include <vector>

namespace velq {

// velqvisa.conf: resources that are always listed, aliases, and how long discovery may wait.
struct find_config {
    std::vector<std::string> resources;                         // canonical names
    std::vector<std::pair<std::string, std::string>> aliases;   // alias, canonical target
    unsigned timeout_ms = 1000;
    bool broadcast = true;
    bool mdns = true;
};

find_config find_config_parse(const std::string &text);
// $XDG_CONFIG_HOME/velqvisa.conf, else ~/.config/velqvisa.conf; defaults when there is none.
find_config find_config_load();

// Parses a resource name or a configured alias. *alias receives the alias used, or the alias
// configured for the resource when the name was given directly (empty when there is none).
ViStatus rsrc_parse_aliased(const char *name, rsrc_parsed *out, std::string *alias);

// The fixed resources and the targets of the aliases.
class find_source_config : public find_source {
public:
    explicit find_source_config(find_config cfg) : m_cfg(std::move(cfg)) {}
    void collect(std::vector<found_rsrc> *out, unsigned timeout_ms) override;

private:
    find_config m_cfg;
};

} // namespace velq
