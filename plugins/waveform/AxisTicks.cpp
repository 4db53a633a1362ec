#include "AxisTicks.h"

#include <algorithm>
#include <cmath>

std::vector<double> CAxisTicks::Nice(double dLow, double dHigh, int nMaxTicks)
{
    std::vector<double> lstTicks;
    if (dLow > dHigh)
        std::swap(dLow, dHigh);
    const double dSpan = dHigh - dLow;
    if (!std::isfinite(dSpan) || dSpan <= 0 || nMaxTicks < 1)
        return lstTicks;
    const double dRough = dSpan / nMaxTicks;
    const double dPower = std::pow(10.0, std::floor(std::log10(dRough)));
    double dStep = dPower * 10;
    for (double dFactor : {1.0, 2.0, 5.0}) {
        if (dPower * dFactor >= dRough) {
            dStep = dPower * dFactor;
            break;
        }
    }
    // A span far below the values' own precision has no distinct ticks.
    if (dStep <= std::max(std::fabs(dLow), std::fabs(dHigh)) * 1e-15)
        return lstTicks;
    // Multiples of the step, not a running sum, so that no rounding accumulates.
    const double dFirst = std::ceil(dLow / dStep - 1e-6);
    for (int n = 0; n <= nMaxTicks * 3; ++n) {
        const double dTick = (dFirst + n) * dStep;
        if (dTick > dHigh + dStep * 1e-6)
            break;
        lstTicks.push_back(dTick == 0 ? 0.0 : dTick); // no "-0" label
    }
    return lstTicks;
}

QString CAxisTicks::Label(double dValue, double dStep)
{
    const double dMagnitude = std::max(std::fabs(dValue), std::fabs(dStep));
    if (dStep <= 0 || dMagnitude == 0)
        return QString::number(dValue, 'g', 6);
    // Plain decimals read best while they stay short; exponents beyond.
    if (dMagnitude < 1e6 && dStep >= 1e-4) {
        const int nDecimals = std::max(0, static_cast<int>(-std::floor(std::log10(dStep) + 1e-9)));
        return QString::number(dValue, 'f', nDecimals);
    }
    const int nDigits = static_cast<int>(std::ceil(std::log10(dMagnitude / dStep))) + 1;
    return QString::number(dValue, 'g', std::clamp(nDigits, 3, 15));
}
