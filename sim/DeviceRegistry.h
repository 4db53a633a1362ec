#pragma once

#include "Device.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

class CInstrumentState;
class CWireLog;

// Devices by name ("inst0", "hislip0", ...): every link or session naming the
// same device shares one message exchange, as on a real instrument. Raw
// SOCKET connections get a private device each over the same instrument state.
class CDeviceRegistry
{
public:
    CDeviceRegistry(std::shared_ptr<CInstrumentState> pState, std::shared_ptr<CWireLog> pLog);

    // The named device, created on first use with END framing and the
    // IEEE 488.2 interrupt rule; it lives as long as someone holds it, so
    // that a client cycling through names cannot grow the registry.
    std::shared_ptr<CDevice> Get(const std::string& strName);

    // A device of its own for one connection.
    std::shared_ptr<CDevice> CreatePrivate(const std::string& strName, CDevice::EFraming eFraming,
                                           CDevice::EResponseMode eMode);

    const std::shared_ptr<CInstrumentState>& State() const { return m_pState; }
    const std::shared_ptr<CWireLog>& Log() const { return m_pLog; }

private:
    std::shared_ptr<CInstrumentState> m_pState;
    std::shared_ptr<CWireLog> m_pLog;
    std::mutex m_mtx;
    std::map<std::string, std::weak_ptr<CDevice>> m_mapDevices;
};
