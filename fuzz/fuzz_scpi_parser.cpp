// Every program message a client sends the simulator goes through this parser.
#include "ScpiParser.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The parser keeps a reference to the message, as the servers keep theirs alive.
    const std::string message(reinterpret_cast<const char *>(data), size);
    CScpiParser parser(message);
    // Each unit consumes at least one byte, so more units than bytes means the parser is stuck.
    for (size_t units = 0;; ++units) {
        if (units > size + 1)
            __builtin_trap();
        SScpiUnit unit;
        int error = 0;
        if (parser.Next(unit, error) == CScpiParser::EResult::End)
            break;
    }
    return 0;
}
