#include "AnswerFormat.h"

#include "SampleSeries.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Detection looks at a prefix only, so a huge answer costs no more than a small one.
const int64_t kProbeBytes = 64 * 1024;
// Every candidate type reads the same stretch of bytes, so each sees the
// same part of the signal: a wide type must not look smoother only because
// its first samples reach further into the record.
const int64_t kProbeSampleBytes = 32 * 1024;

bool StartsWith(const char* pData, int64_t nLength, const char* pszMagic, int64_t nMagic)
{
    return nLength >= nMagic && std::memcmp(pData, pszMagic, static_cast<size_t>(nMagic)) == 0;
}

struct SCandidate
{
    EWaveFormat eFormat;
    EByteOrder eOrder;
};

// Preference order for signals that fit several readings equally well
// (a constant, or too few samples to judge).
const SCandidate kCandidates[] = {
    {EWaveFormat::Float32, EByteOrder::Little}, {EWaveFormat::Int16, EByteOrder::Little},
    {EWaveFormat::Int8, EByteOrder::Little},    {EWaveFormat::UInt8, EByteOrder::Little},
    {EWaveFormat::UInt16, EByteOrder::Little},  {EWaveFormat::Int32, EByteOrder::Little},
    {EWaveFormat::Float64, EByteOrder::Little}, {EWaveFormat::Float32, EByteOrder::Big},
    {EWaveFormat::Int16, EByteOrder::Big},      {EWaveFormat::UInt16, EByteOrder::Big},
    {EWaveFormat::Int32, EByteOrder::Big},      {EWaveFormat::Float64, EByteOrder::Big},
};

// Lower is more like a measured signal. Wrong readings of a signal wrap
// around (signed/unsigned mix-ups, swapped bytes) or turn into noise; a
// jump across more than half the range counts as a wrap, and the lag-1
// difference energy against the variance measures the noise.
double Roughness(const CSampleSeries& series, bool bFloat)
{
    const int64_t nCount = series.Count();
    double dMin = std::numeric_limits<double>::infinity();
    double dMax = -dMin;
    double dSum = 0;
    double dSumSq = 0;
    int64_t nImplausible = 0;
    int64_t nFinite = 0;
    for (int64_t i = 0; i < nCount; ++i) {
        const double d = series.Value(i);
        const double dAbs = std::fabs(d);
        // Reading other data as floating point gives tiny or gigantic exponents.
        if (!std::isfinite(d) || (bFloat && (dAbs > 1e30 || (d != 0 && dAbs < 1e-30)))) {
            ++nImplausible;
            continue;
        }
        ++nFinite;
        dMin = std::min(dMin, d);
        dMax = std::max(dMax, d);
        dSum += d;
        dSumSq += d * d;
    }
    if (nImplausible * 100 > nCount)
        return std::numeric_limits<double>::infinity();
    const double dRange = dMax - dMin;
    if (nFinite < 2 || dRange <= 0)
        return 0;
    const double dMean = dSum / nFinite;
    const double dVariance = std::max(dSumSq / nFinite - dMean * dMean, dRange * dRange * 1e-12);
    int64_t nWraps = 0;
    int64_t nSteps = 0;
    double dDiffSq = 0;
    double dPrev = std::numeric_limits<double>::quiet_NaN();
    for (int64_t i = 0; i < nCount; ++i) {
        const double d = series.Value(i);
        if (!std::isfinite(d))
            continue;
        if (std::isfinite(dPrev)) {
            const double dStep = d - dPrev;
            nWraps += std::fabs(dStep) > dRange / 2 ? 1 : 0;
            dDiffSq += dStep * dStep;
            ++nSteps;
        }
        dPrev = d;
    }
    if (nSteps == 0)
        return 0;
    return static_cast<double>(nWraps) / nSteps + 0.1 * dDiffSq / nSteps / (2 * dVariance);
}

} // namespace

CAnswerFormat::SPayload CAnswerFormat::FindPayload(const char* pData, int64_t nLength)
{
    SPayload payload;
    payload.nLength = nLength;
    if (nLength < 2 || pData[0] != '#' || pData[1] < '0' || pData[1] > '9')
        return payload;
    const int nDigits = pData[1] - '0';
    if (nDigits == 0) {
        // Indefinite block: runs to the end; the final line feed is its terminator.
        payload.bBlock = true;
        payload.nStart = 2;
        payload.nLength = nLength - 2;
        if (payload.nLength > 0 && pData[nLength - 1] == '\n')
            --payload.nLength;
        return payload;
    }
    if (nLength < 2 + nDigits) {
        payload.bMalformed = true;
        return payload;
    }
    int64_t nDeclared = 0;
    for (int n = 0; n < nDigits; ++n) {
        const char c = pData[2 + n];
        if (c < '0' || c > '9') {
            payload.bMalformed = true;
            return payload;
        }
        nDeclared = nDeclared * 10 + (c - '0');
    }
    payload.bBlock = true;
    payload.nStart = 2 + nDigits;
    payload.nDeclared = nDeclared;
    payload.nLength = std::min(nDeclared, nLength - payload.nStart);
    return payload;
}

EImageType CAnswerFormat::ImageType(const char* pData, int64_t nLength)
{
    if (StartsWith(pData, nLength, "\x89PNG\r\n\x1a\n", 8))
        return EImageType::Png;
    if (StartsWith(pData, nLength, "\xff\xd8\xff", 3))
        return EImageType::Jpeg;
    if (StartsWith(pData, nLength, "GIF87a", 6) || StartsWith(pData, nLength, "GIF89a", 6))
        return EImageType::Gif;
    // "BM" alone is too common at the start of binary data: the header's
    // size fields must be sane as well.
    if (StartsWith(pData, nLength, "BM", 2) && nLength >= 26) {
        const auto* p = reinterpret_cast<const unsigned char*>(pData);
        const uint32_t uHeader = p[14] | p[15] << 8 | p[16] << 16 | static_cast<uint32_t>(p[17]) << 24;
        if (uHeader == 12 || uHeader == 40 || uHeader == 52 || uHeader == 56 || uHeader == 108 || uHeader == 124)
            return EImageType::Bmp;
    }
    return EImageType::None;
}

bool CAnswerFormat::LooksLikeText(const char* pData, int64_t nLength)
{
    const int64_t nProbe = std::min(nLength, kProbeBytes);
    for (int64_t i = 0; i < nProbe; ++i) {
        const auto c = static_cast<unsigned char>(pData[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
        if (c >= 0x7f)
            return false;
    }
    return nProbe > 0;
}

CAnswerFormat::SDetection CAnswerFormat::DetectSamples(const char* pData, int64_t nLength, int64_t nWholeLength,
                                                       EWaveFormat eOnly)
{
    SDetection best;
    best.eFormat = eOnly == EWaveFormat::Auto ? EWaveFormat::Int8 : eOnly;
    double dBest = std::numeric_limits<double>::infinity();
    for (const SCandidate& cand : kCandidates) {
        if (eOnly != EWaveFormat::Auto && cand.eFormat != eOnly)
            continue;
        const int nSize = SampleSize(cand.eFormat);
        if (nWholeLength % nSize != 0)
            continue;
        const int64_t nCount = std::min(nLength, kProbeSampleBytes) / nSize;
        // One wide sample says nothing about its type; bytes are always whole.
        if (nCount == 0 || (nCount < 2 && nSize > 1 && eOnly == EWaveFormat::Auto))
            continue;
        CSampleSeries series;
        series.SetRaw(pData, nCount, cand.eFormat, cand.eOrder, false);
        const bool bFloat = cand.eFormat == EWaveFormat::Float32 || cand.eFormat == EWaveFormat::Float64;
        // Reading pairs of narrow samples as one wide sample gives a signal
        // nearly as smooth as the true one (the high half dominates); a wider
        // type has to be clearly smoother to win.
        const double dScore = Roughness(series, bFloat) * nSize;
        if (dScore < dBest * (1 - 1e-9)) {
            dBest = dScore;
            best.eFormat = cand.eFormat;
            best.eOrder = cand.eOrder;
        }
    }
    return best;
}

CAnswerFormat::SDetection CAnswerFormat::Detect(const char* pData, int64_t nLength)
{
    SDetection det;
    if (nLength <= 0)
        return det;
    const SPayload payload = FindPayload(pData, nLength);
    const char* pPayload = pData + payload.nStart;
    det.eImage = ImageType(pPayload, payload.nLength);
    if (det.eImage != EImageType::None) {
        det.eFormat = EWaveFormat::Image;
        return det;
    }
    if (!payload.bBlock && (payload.bMalformed || LooksLikeText(pData, nLength)))
        return det;
    return DetectSamples(pPayload, payload.nLength, payload.nDeclared >= 0 ? payload.nDeclared : payload.nLength);
}
