// Resource names come from users, files and other programs through viOpen and viParseRsrc.
#include "api/rsrc_parse.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string name(reinterpret_cast<const char *>(data), size);
    velq::rsrc_parsed parsed;
    if (velq::rsrc_parse(name.c_str(), &parsed) != VI_SUCCESS)
        return 0;
    // Callers copy the expanded form into 256-byte buffers, and parsing it again must agree.
    if (parsed.canonical.size() > 255)
        std::abort();
    velq::rsrc_parsed again;
    if (velq::rsrc_parse(parsed.canonical.c_str(), &again) != VI_SUCCESS || again.canonical != parsed.canonical)
        std::abort();
    return 0;
}
