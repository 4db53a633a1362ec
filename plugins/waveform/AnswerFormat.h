#pragma once

#include "WaveformTypes.h"

#include <cstdint>

// Recognises what an instrument answer holds: an IEEE 488.2 block, an image
// file, numbers as text or raw binary samples.
class CAnswerFormat
{
public:
    struct SPayload
    {
        bool bBlock = false;     // a "#<d><length>" or "#0" header was found
        bool bMalformed = false; // '#' and a digit, but the header is cut short or not numeric
        int64_t nStart = 0;      // first payload byte
        int64_t nLength = 0;     // payload bytes present in the answer
        int64_t nDeclared = -1;  // length the header declares; -1 without one
    };

    struct SDetection
    {
        EWaveFormat eFormat = EWaveFormat::Text;
        EByteOrder eOrder = EByteOrder::Little;
        EImageType eImage = EImageType::None;
    };

    // The block inside the answer, or the whole answer when it has no header.
    static SPayload FindPayload(const char* pData, int64_t nLength);
    static EImageType ImageType(const char* pData, int64_t nLength);
    // True when the first bytes are printable text (numbers, separators, words).
    static bool LooksLikeText(const char* pData, int64_t nLength);
    // The sample type and byte order under which the payload reads as the
    // smoothest plausible signal. Only types whose size divides nWholeLength
    // (the length the block declares) are considered; eOnly other than Auto
    // leaves only the byte order to choose.
    static SDetection DetectSamples(const char* pData, int64_t nLength, int64_t nWholeLength,
                                    EWaveFormat eOnly = EWaveFormat::Auto);
    static SDetection Detect(const char* pData, int64_t nLength);
};
