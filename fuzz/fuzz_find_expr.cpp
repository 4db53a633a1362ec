// Search expressions come from viFindRsrc callers; names from every discovery source.
#include "find/find_expr.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_input in(data, size);
    const std::string expr = in.take_until('\n');
    const std::string name = in.take_until('\n');
    velq::find_expr matcher;
    if (matcher.compile(expr) != VI_SUCCESS)
        return 0;
    matcher.matches(name, velq::find_attrs_from_name(name));
    return 0;
}
