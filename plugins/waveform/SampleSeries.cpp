#include "SampleSeries.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

bool HostIsLittle()
{
    const uint16_t u = 1;
    unsigned char c = 0;
    std::memcpy(&c, &u, 1);
    return c == 1;
}

template <typename T>
T Load(const char* p, bool bSwap)
{
    using U = std::conditional_t<sizeof(T) == 1, uint8_t,
              std::conditional_t<sizeof(T) == 2, uint16_t, std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
    U u;
    std::memcpy(&u, p, sizeof u);
    if (bSwap) {
        if constexpr (sizeof(T) == 2)
            u = __builtin_bswap16(u);
        else if constexpr (sizeof(T) == 4)
            u = __builtin_bswap32(u);
        else if constexpr (sizeof(T) == 8)
            u = __builtin_bswap64(u);
    }
    T v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

template <typename T, bool bSwap>
void ScanTyped(const char* pData, int64_t nFirst, int64_t nEnd, SAggregate& agg)
{
    const char* p = pData + nFirst * static_cast<int64_t>(sizeof(T));
    if constexpr (std::is_integral_v<T>) {
        // Integers are always finite and their sums exact in 64 bits (squares
        // of 32-bit values in double), so the loop has no branch and vectorises:
        // a 1 GiB int8 answer is indexed in a fraction of a second.
        using Square = std::conditional_t<(sizeof(T) <= 2), int64_t, double>;
        int64_t nMin = std::numeric_limits<int64_t>::max();
        int64_t nMax = std::numeric_limits<int64_t>::min();
        int64_t nSum = 0;
        Square sumSq = 0;
        for (int64_t i = nFirst; i < nEnd; ++i, p += sizeof(T)) {
            const int64_t nValue = Load<T>(p, bSwap);
            nMin = nValue < nMin ? nValue : nMin;
            nMax = nValue > nMax ? nValue : nMax;
            nSum += nValue;
            sumSq += static_cast<Square>(nValue) * static_cast<Square>(nValue);
        }
        if (nEnd <= nFirst)
            return;
        SAggregate part;
        part.nCount = nEnd - nFirst;
        part.dMin = static_cast<double>(nMin);
        part.dMax = static_cast<double>(nMax);
        part.dSum = static_cast<double>(nSum);
        part.dSumSq = static_cast<double>(sumSq);
        agg.Merge(part);
    } else {
        // A first pass as if every value were finite, with four independent
        // sums so that the additions do not wait for one another. A NaN or an
        // infinity (or a sum overflowing) leaves a sum that is not finite, and
        // only then is the range taken again value by value.
        double dMin = std::numeric_limits<double>::infinity();
        double dMax = -dMin;
        double lstSum[4] = {};
        double lstSq[4] = {};
        int64_t i = nFirst;
        for (; i + 4 <= nEnd; i += 4, p += 4 * sizeof(T)) {
            for (int k = 0; k < 4; ++k) {
                const double d = Load<T>(p + k * sizeof(T), bSwap);
                dMin = d < dMin ? d : dMin;
                dMax = d > dMax ? d : dMax;
                lstSum[k] += d;
                lstSq[k] += d * d;
            }
        }
        for (; i < nEnd; ++i, p += sizeof(T)) {
            const double d = Load<T>(p, bSwap);
            dMin = d < dMin ? d : dMin;
            dMax = d > dMax ? d : dMax;
            lstSum[0] += d;
            lstSq[0] += d * d;
        }
        SAggregate part;
        part.nCount = nEnd - nFirst;
        part.dMin = dMin;
        part.dMax = dMax;
        part.dSum = (lstSum[0] + lstSum[1]) + (lstSum[2] + lstSum[3]);
        part.dSumSq = (lstSq[0] + lstSq[1]) + (lstSq[2] + lstSq[3]);
        if (part.nCount > 0 && part.dSum - part.dSum == 0 && part.dSumSq - part.dSumSq == 0) {
            agg.Merge(part);
            return;
        }
        p = pData + nFirst * static_cast<int64_t>(sizeof(T));
        for (i = nFirst; i < nEnd; ++i, p += sizeof(T))
            agg.Add(static_cast<double>(Load<T>(p, bSwap)));
    }
}

template <typename T>
void Scan(const char* pData, bool bSwap, int64_t nFirst, int64_t nEnd, SAggregate& agg)
{
    if (bSwap)
        ScanTyped<T, true>(pData, nFirst, nEnd, agg);
    else
        ScanTyped<T, false>(pData, nFirst, nEnd, agg);
}

} // namespace

void CSampleSeries::Clear()
{
    m_lstValues = std::vector<double>();
    m_pData = nullptr;
    m_nCount = 0;
    m_lstLevels.clear();
    m_total = SAggregate();
}

void CSampleSeries::SetValues(std::vector<double> lstValues)
{
    Clear();
    m_lstValues = std::move(lstValues);
    m_pData = reinterpret_cast<const char*>(m_lstValues.data());
    m_eType = EWaveFormat::Float64;
    m_bSwap = false;
    m_nCount = static_cast<int64_t>(m_lstValues.size());
    BuildIndex();
}

void CSampleSeries::SetRaw(const char* pRaw, int64_t nCount, EWaveFormat eType, EByteOrder eOrder, bool bBuildIndex)
{
    Clear();
    m_pData = pRaw;
    m_eType = eType;
    m_bSwap = SampleSize(eType) > 1 && (eOrder == EByteOrder::Little) != HostIsLittle();
    m_nCount = nCount;
    if (bBuildIndex)
        BuildIndex();
}

double CSampleSeries::Value(int64_t nIndex) const
{
    const char* p = m_pData + nIndex * SampleSize(m_eType);
    switch (m_eType) {
    case EWaveFormat::Int8:
        return Load<int8_t>(p, false);
    case EWaveFormat::UInt8:
        return Load<uint8_t>(p, false);
    case EWaveFormat::Int16:
        return Load<int16_t>(p, m_bSwap);
    case EWaveFormat::UInt16:
        return Load<uint16_t>(p, m_bSwap);
    case EWaveFormat::Int32:
        return Load<int32_t>(p, m_bSwap);
    case EWaveFormat::Float32:
        return Load<float>(p, m_bSwap);
    default:
        return Load<double>(p, m_bSwap);
    }
}

void CSampleSeries::ScanRaw(int64_t nFirst, int64_t nEnd, SAggregate& agg) const
{
    switch (m_eType) {
    case EWaveFormat::Int8:
        return Scan<int8_t>(m_pData, false, nFirst, nEnd, agg);
    case EWaveFormat::UInt8:
        return Scan<uint8_t>(m_pData, false, nFirst, nEnd, agg);
    case EWaveFormat::Int16:
        return Scan<int16_t>(m_pData, m_bSwap, nFirst, nEnd, agg);
    case EWaveFormat::UInt16:
        return Scan<uint16_t>(m_pData, m_bSwap, nFirst, nEnd, agg);
    case EWaveFormat::Int32:
        return Scan<int32_t>(m_pData, m_bSwap, nFirst, nEnd, agg);
    case EWaveFormat::Float32:
        return Scan<float>(m_pData, m_bSwap, nFirst, nEnd, agg);
    default:
        return Scan<double>(m_pData, m_bSwap, nFirst, nEnd, agg);
    }
}

void CSampleSeries::BuildIndex()
{
    m_lstLevels.clear();
    m_total = SAggregate();
    if (m_nCount == 0)
        return;
    std::vector<SAggregate> lstLevel(static_cast<size_t>((m_nCount + kFanOut - 1) / kFanOut));
    for (size_t n = 0; n < lstLevel.size(); ++n) {
        const int64_t nFirst = static_cast<int64_t>(n) * kFanOut;
        ScanRaw(nFirst, std::min(nFirst + kFanOut, m_nCount), lstLevel[n]);
    }
    m_lstLevels.push_back(std::move(lstLevel));
    while (m_lstLevels.back().size() > 1) {
        const std::vector<SAggregate>& lstBelow = m_lstLevels.back();
        std::vector<SAggregate> lstAbove((lstBelow.size() + kFanOut - 1) / kFanOut);
        for (size_t n = 0; n < lstBelow.size(); ++n)
            lstAbove[n / kFanOut].Merge(lstBelow[n]);
        m_lstLevels.push_back(std::move(lstAbove));
    }
    m_total = m_lstLevels.back().front();
}

SAggregate CSampleSeries::Aggregate(int64_t nFirst, int64_t nEnd) const
{
    SAggregate agg;
    nFirst = std::max<int64_t>(nFirst, 0);
    nEnd = std::min(nEnd, m_nCount);
    if (nFirst >= nEnd)
        return agg;
    // Walk up the pyramid: the ragged ends of the range are taken at the
    // current level, the whole blocks between them one level higher.
    auto fnScan = [&](int nLevel, int64_t nA, int64_t nB) {
        if (nLevel < 0) {
            ScanRaw(nA, nB, agg);
        } else {
            const std::vector<SAggregate>& lst = m_lstLevels[static_cast<size_t>(nLevel)];
            for (int64_t i = nA; i < nB; ++i)
                agg.Merge(lst[static_cast<size_t>(i)]);
        }
    };
    int nLevel = -1;
    while (nLevel + 1 < static_cast<int>(m_lstLevels.size())) {
        const int64_t nUpFirst = (nFirst + kFanOut - 1) / kFanOut;
        const int64_t nUpEnd = nEnd / kFanOut;
        if (nUpFirst >= nUpEnd)
            break;
        fnScan(nLevel, nFirst, nUpFirst * kFanOut);
        fnScan(nLevel, nUpEnd * kFanOut, nEnd);
        nFirst = nUpFirst;
        nEnd = nUpEnd;
        ++nLevel;
    }
    fnScan(nLevel, nFirst, nEnd);
    return agg;
}

int64_t CSampleSeries::ColumnBoundary(double dFirst, double dStep, int nColumn)
{
    const double d = std::ceil(dFirst + nColumn * dStep);
    // Far outside the series the exact value no longer matters, only its side.
    if (d < -1e18)
        return static_cast<int64_t>(-1e18);
    if (d > 1e18)
        return static_cast<int64_t>(1e18);
    return static_cast<int64_t>(d);
}

void CSampleSeries::Decimate(double dFirst, double dStep, int nColumns, std::vector<SAggregate>& lstColumns) const
{
    lstColumns.assign(static_cast<size_t>(std::max(nColumns, 0)), SAggregate());
    if (!(dStep > 0))
        return;
    int64_t nBegin = ColumnBoundary(dFirst, dStep, 0);
    for (int c = 0; c < nColumns; ++c) {
        const int64_t nEnd = ColumnBoundary(dFirst, dStep, c + 1);
        if (nEnd > 0 && nBegin < m_nCount)
            lstColumns[static_cast<size_t>(c)] = Aggregate(nBegin, nEnd);
        nBegin = nEnd;
    }
}
