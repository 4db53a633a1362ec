#include "WaveformTypes.h"

#include <cstring>

int SampleSize(EWaveFormat eFormat)
{
    switch (eFormat) {
    case EWaveFormat::Int8:
    case EWaveFormat::UInt8:
        return 1;
    case EWaveFormat::Int16:
    case EWaveFormat::UInt16:
        return 2;
    case EWaveFormat::Int32:
    case EWaveFormat::Float32:
        return 4;
    case EWaveFormat::Float64:
        return 8;
    default:
        return 0;
    }
}

namespace {
const char* const kFormatKeys[] = {"auto",   "text",  "int8",    "uint8",   "int16",
                                   "uint16", "int32", "float32", "float64", "image"};
}

const char* FormatKey(EWaveFormat eFormat)
{
    return kFormatKeys[static_cast<int>(eFormat)];
}

EWaveFormat FormatFromKey(const char* pszKey, EWaveFormat eDefault)
{
    for (int n = 0; n < static_cast<int>(sizeof kFormatKeys / sizeof kFormatKeys[0]); ++n) {
        if (std::strcmp(pszKey, kFormatKeys[n]) == 0)
            return static_cast<EWaveFormat>(n);
    }
    return eDefault;
}
