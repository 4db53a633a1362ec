#pragma once

#include "SampleSeries.h"

#include <cstdint>

// y = (raw - offset) * scale + origin and x = index * dx + x0, as the user
// enters them; when disabled, y is the raw value and x the sample index.
struct SWaveScaling
{
    bool bEnabled = false;
    double dOffset = 0;
    double dScale = 1;
    double dOrigin = 0;
    double dDx = 1;
    double dX0 = 0;

    // A zero factor would fold every sample onto one value or one x.
    bool IsValid() const { return dScale != 0 && dDx != 0 && (dScale - dScale == 0) && (dDx - dDx == 0); }
    double Y(double dRaw) const { return bEnabled ? (dRaw - dOffset) * dScale + dOrigin : dRaw; }
    double X(double dIndex) const { return bEnabled ? dIndex * dDx + dX0 : dIndex; }
    double Index(double dX) const { return bEnabled ? (dX - dX0) / dDx : dX; }
};

struct SStatistics
{
    int64_t nCount = 0;
    double dMin = 0;
    double dMax = 0;
    double dMean = 0;
    double dRms = 0;

    // The figures of the scaled values, from the raw values' sums: scaling
    // is affine, so nothing needs to be summed again.
    static SStatistics From(const SAggregate& agg, const SWaveScaling& scaling);
};
