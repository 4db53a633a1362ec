#pragma once

#include <QtGlobal>

// Which bytes of an instrument answer "Save As..." writes.
struct SSaveSpan
{
    qint64 nOffset = 0;
    qint64 nCount = 0;
    bool operator==(const SSaveSpan& span) const { return nOffset == span.nOffset && nCount == span.nCount; }
};

class CAnswerSaveSpan
{
public:
    // The answer's bytes, without its terminating line feed and, when
    // bIgnoreHeader is set, without an IEEE 488.2 block header. Never reaches
    // outside the nLength bytes at pData.
    static SSaveSpan Compute(const char* pData, qint64 nLength, bool bIgnoreHeader);
};
