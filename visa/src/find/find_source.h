#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velq {

// One resource a discovery source reports; the name need not be canonical yet.
struct found_rsrc {
    std::string name;
    std::string manf_name;  // as the device tells it, when it does
    std::string model_name;
};

// A place instruments are found: configuration, the local buses or the network. collect()
// returns within timeout_ms whatever the peers do.
class find_source {
public:
    virtual ~find_source() = default;
    virtual void collect(std::vector<found_rsrc> *out, unsigned timeout_ms) = 0;
};

using find_sources = std::vector<std::unique_ptr<find_source>>;

} // namespace velq
