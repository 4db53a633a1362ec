#include "WaveScaling.h"

#include <algorithm>
#include <cmath>

SStatistics SStatistics::From(const SAggregate& agg, const SWaveScaling& scaling)
{
    SStatistics stats;
    stats.nCount = agg.nCount;
    if (agg.nCount == 0)
        return stats;
    const double dA = scaling.bEnabled ? scaling.dScale : 1.0;
    const double dB = scaling.bEnabled ? scaling.dOrigin - scaling.dOffset * scaling.dScale : 0.0;
    const double dN = static_cast<double>(agg.nCount);
    const double dMeanRaw = agg.dSum / dN;
    const double dMeanSqRaw = agg.dSumSq / dN;
    stats.dMin = dA >= 0 ? scaling.Y(agg.dMin) : scaling.Y(agg.dMax);
    stats.dMax = dA >= 0 ? scaling.Y(agg.dMax) : scaling.Y(agg.dMin);
    stats.dMean = dA * dMeanRaw + dB;
    // E[(a r + b)^2] = a^2 E[r^2] + 2ab E[r] + b^2; rounding may take it a hair below zero.
    const double dMeanSq = dA * dA * dMeanSqRaw + 2 * dA * dB * dMeanRaw + dB * dB;
    stats.dRms = std::sqrt(std::max(dMeanSq, 0.0));
    return stats;
}
