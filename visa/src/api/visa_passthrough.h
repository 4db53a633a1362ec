#pragma once

#include "visa.h"

namespace velq {

// The functions of a vendor VISA library named by VELQ_VISA_LIBRARY. When that variable is set,
// every exported call goes there instead of to our own transports (for GPIB and USB hardware we do
// not drive). A function the vendor library lacks stays null.
struct vendor_visa {
    bool active = false;         // the variable is set: forward everything
    ViStatus load_status = VI_SUCCESS; // VI_ERROR_LIBRARY_NFOUND when it could not be loaded
    decltype(&::viOpenDefaultRM) viOpenDefaultRM = nullptr;
    decltype(&::viFindRsrc) viFindRsrc = nullptr;
    decltype(&::viFindNext) viFindNext = nullptr;
    decltype(&::viParseRsrc) viParseRsrc = nullptr;
    decltype(&::viParseRsrcEx) viParseRsrcEx = nullptr;
    decltype(&::viOpen) viOpen = nullptr;
    decltype(&::viClose) viClose = nullptr;
    decltype(&::viSetAttribute) viSetAttribute = nullptr;
    decltype(&::viGetAttribute) viGetAttribute = nullptr;
    decltype(&::viStatusDesc) viStatusDesc = nullptr;
    decltype(&::viLock) viLock = nullptr;
    decltype(&::viUnlock) viUnlock = nullptr;
    decltype(&::viEnableEvent) viEnableEvent = nullptr;
    decltype(&::viDisableEvent) viDisableEvent = nullptr;
    decltype(&::viDiscardEvents) viDiscardEvents = nullptr;
    decltype(&::viRead) viRead = nullptr;
    decltype(&::viWrite) viWrite = nullptr;
    decltype(&::viClear) viClear = nullptr;
    decltype(&::viReadSTB) viReadSTB = nullptr;
    decltype(&::viAssertTrigger) viAssertTrigger = nullptr;
    decltype(&::viGpibControlREN) viGpibControlREN = nullptr;
};

// Loaded once, on first use; never unloaded.
const vendor_visa &vendor();

} // namespace velq
