#include "DeviceRegistry.h"

#include <iterator>

CDeviceRegistry::CDeviceRegistry(std::shared_ptr<CInstrumentState> pState, std::shared_ptr<CWireLog> pLog)
    : m_pState(std::move(pState)), m_pLog(std::move(pLog))
{
}

std::shared_ptr<CDevice> CDeviceRegistry::Get(const std::string& strName)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    for (auto it = m_mapDevices.begin(); it != m_mapDevices.end();)
        it = it->second.expired() ? m_mapDevices.erase(it) : std::next(it);
    std::shared_ptr<CDevice> pDevice = m_mapDevices[strName].lock();
    if (!pDevice) {
        pDevice = std::make_shared<CDevice>(strName, m_pState, m_pLog, CDevice::EFraming::EndFlag,
                                            CDevice::EResponseMode::Interrupt);
        m_mapDevices[strName] = pDevice;
    }
    return pDevice;
}

std::shared_ptr<CDevice> CDeviceRegistry::CreatePrivate(const std::string& strName, CDevice::EFraming eFraming,
                                                        CDevice::EResponseMode eMode)
{
    return std::make_shared<CDevice>(strName, m_pState, m_pLog, eFraming, eMode);
}
