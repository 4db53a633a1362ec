#pragma once

#include <QString>

#include <vector>

// Grid lines at 1, 2 or 5 times a power of ten, and labels with just enough
// digits to tell neighbouring ticks apart.
class CAxisTicks
{
public:
    // Ticks within [dLow, dHigh] (either order), at most about nMaxTicks of them.
    static std::vector<double> Nice(double dLow, double dHigh, int nMaxTicks);
    static QString Label(double dValue, double dStep);
};
