#pragma once

#include <cstdint>

// What the SCPI engine may ask of the device it runs in, and no more. The
// engine runs under the device's lock, so these are called with it held.
class CScpiHost
{
public:
    virtual ~CScpiHost() = default;

    virtual void CountTrigger() = 0;              // *TRG
    virtual uint8_t CurrentStatusByte() const = 0; // *STB?
    virtual void SetRemoteState(bool bRemote) = 0; // &GTR, &GTL
};
