#include "transport/string_488.h"

#include "transport/transport.h"

#include <cstdlib>

namespace velq {

namespace {
constexpr ViUInt32 kStbAnswerMax = 64;
}

ViStatus string_488_read_stb(transport &tr, ViUInt16 *stb, const io_attrs &attrs)
{
    if (attrs.io_prot != VI_PROT_4882_STRS)
        return VI_ERROR_NSUP_OPER;
    static const char query[] = "*STB?\n";
    ViUInt32 done = 0;
    ViStatus st = tr.write(reinterpret_cast<const ViByte *>(query), sizeof query - 1, &done, attrs);
    if (st < 0)
        return st;
    io_attrs line = attrs;
    line.termchar = '\n';
    line.termchar_en = true;
    ViByte answer[kStbAnswerMax + 1] = {0};
    st = tr.read(answer, kStbAnswerMax, &done, line);
    if (st < 0)
        return st;
    answer[done] = 0;
    char *end = nullptr;
    const long value = std::strtol(reinterpret_cast<const char *>(answer), &end, 10);
    if (end == reinterpret_cast<const char *>(answer) || value < 0 || value > 255)
        return VI_ERROR_IO;
    *stb = static_cast<ViUInt16>(value);
    return VI_SUCCESS;
}

ViStatus string_488_trigger(transport &tr, ViUInt16 protocol, const io_attrs &attrs)
{
    if (attrs.io_prot != VI_PROT_4882_STRS)
        return VI_ERROR_NSUP_OPER;
    if (protocol != VI_TRIG_PROT_DEFAULT)
        return VI_ERROR_INV_PROT;
    static const char command[] = "*TRG\n";
    ViUInt32 done = 0;
    const ViStatus st = tr.write(reinterpret_cast<const ViByte *>(command), sizeof command - 1, &done, attrs);
    return st < 0 ? st : VI_SUCCESS;
}

} // namespace velq
