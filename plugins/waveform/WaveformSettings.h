#pragma once

#include "WaveScaling.h"
#include "WaveformTypes.h"

// The plug-in's choices, kept in the console's settings store in a group of
// their own, so they survive restarts like the console's.
struct SWaveformSettings
{
    EWaveFormat eFormat = EWaveFormat::Auto;
    EByteOrder eOrder = EByteOrder::Auto;
    SWaveScaling scaling;

    static SWaveformSettings Load();
    void Save() const;
};
