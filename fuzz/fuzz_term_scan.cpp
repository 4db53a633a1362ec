// Finds where an answer ends on a stream transport, over block headers an instrument got wrong.
#include "fuzz_input.h"
#include "term_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_input in(data, size);
    const uint8_t termchar = in.take_byte();
    const size_t step = in.take_byte() % 32 + 1;
    velq::term_scanner scanner;
    const uint8_t *p = in.rest();
    size_t left = in.rest_size();
    while (left > 0) {
        const size_t n = std::min(left, step);
        const size_t stop = scanner.scan(p, n, termchar);
        if (stop != velq::term_scanner::npos && (stop == 0 || stop > n || p[stop - 1] != termchar))
            __builtin_trap();
        const size_t used = stop == velq::term_scanner::npos ? n : stop;
        p += used;
        left -= used;
    }
    return 0;
}
