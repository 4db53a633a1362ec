#include "AnswerSaveSpan.h"

namespace {

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

} // namespace

SSaveSpan CAnswerSaveSpan::Compute(const char* pData, qint64 nLength, bool bIgnoreHeader)
{
    if (!pData || nLength <= 0)
        return {};
    // Only a line feed is a terminator: an answer read to its end by a
    // message-based transport, or a block ending in another data byte, keeps
    // every byte.
    const qint64 nCount = pData[nLength - 1] == '\n' ? nLength - 1 : nLength;
    const SSaveSpan spanAll{0, nCount};
    if (!bIgnoreHeader || nCount < 2 || pData[0] != '#' || !IsDigit(pData[1]))
        return spanAll;

    const int nLengthDigits = pData[1] - '0';
    if (nLengthDigits == 0) // indefinite length: the data runs to the terminator
        return {2, nCount - 2};
    const qint64 nHeader = 2 + nLengthDigits;
    if (nHeader > nCount)
        return spanAll;
    qint64 nStated = 0;
    for (qint64 n = 2; n < nHeader; ++n) {
        if (!IsDigit(pData[n]))
            return spanAll;
        nStated = nStated * 10 + (pData[n] - '0');
    }
    // The stated length decides where the block ends, so a last data byte
    // that happens to be a line feed is kept; a block cut short keeps what came.
    if (nStated <= nLength - nHeader)
        return {nHeader, nStated};
    return {nHeader, nCount - nHeader};
}
