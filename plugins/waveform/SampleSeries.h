#pragma once

#include "WaveformTypes.h"

#include <cstdint>
#include <limits>
#include <vector>

// Count, extremes and sums of the finite values of a range; NaN and
// infinities are left out of every figure.
struct SAggregate
{
    int64_t nCount = 0;
    double dMin = std::numeric_limits<double>::infinity();
    double dMax = -std::numeric_limits<double>::infinity();
    double dSum = 0;
    double dSumSq = 0;

    void Add(double dValue)
    {
        if (!(dValue - dValue == 0)) // NaN or infinite, without a library call per sample
            return;
        ++nCount;
        dMin = dValue < dMin ? dValue : dMin;
        dMax = dValue > dMax ? dValue : dMax;
        dSum += dValue;
        dSumSq += dValue * dValue;
    }
    void Merge(const SAggregate& other)
    {
        nCount += other.nCount;
        dMin = other.dMin < dMin ? other.dMin : dMin;
        dMax = other.dMax > dMax ? other.dMax : dMax;
        dSum += other.dSum;
        dSumSq += other.dSumSq;
    }
};

// The samples of one answer, either decoded values or a view of raw binary
// samples that are read in place (never copied again), with a pyramid of
// block aggregates so that any range's extremes and sums cost a few hundred
// steps however many samples it spans.
class CSampleSeries
{
public:
    static constexpr int kFanOut = 64;

    void Clear();
    void SetValues(std::vector<double> lstValues);
    // pRaw must outlive the series (or the next Set/Clear). bBuildIndex false
    // skips the pyramid, for a quick look at a few samples.
    void SetRaw(const char* pRaw, int64_t nCount, EWaveFormat eType, EByteOrder eOrder, bool bBuildIndex = true);

    int64_t Count() const { return m_nCount; }
    double Value(int64_t nIndex) const;
    int64_t NonFiniteCount() const { return m_nCount - m_total.nCount; }
    const SAggregate& Total() const { return m_total; }

    // Finite values with index in [nFirst, nEnd), clipped to the series.
    SAggregate Aggregate(int64_t nFirst, int64_t nEnd) const;

    // Column c holds the samples i with dFirst + c * dStep <= i < dFirst + (c + 1) * dStep
    // (dStep > 0): every sample in view lands in exactly one column, so the
    // columns' extremes are exact at any zoom.
    void Decimate(double dFirst, double dStep, int nColumns, std::vector<SAggregate>& lstColumns) const;
    static int64_t ColumnBoundary(double dFirst, double dStep, int nColumn);

private:
    void ScanRaw(int64_t nFirst, int64_t nEnd, SAggregate& agg) const;
    void BuildIndex();

    std::vector<double> m_lstValues;
    const char* m_pData = nullptr; // m_lstValues' data, or the caller's raw samples
    EWaveFormat m_eType = EWaveFormat::Float64;
    bool m_bSwap = false;
    int64_t m_nCount = 0;
    // Level k aggregates kFanOut^(k+1) samples per entry.
    std::vector<std::vector<SAggregate>> m_lstLevels;
    SAggregate m_total;
};
