#include "DeviceRegistry.h"

CDeviceRegistry::CDeviceRegistry(std::shared_ptr<CInstrumentState> pState, std::shared_ptr<CWireLog> pLog)
    : m_pState(std::move(pState)), m_pLog(std::move(pLog))
{
}

std::shared_ptr<CDevice> CDeviceRegistry::Get(const std::string& strName)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    auto& pDevice = m_mapDevices[strName];
    if (!pDevice)
        pDevice = std::make_shared<CDevice>(strName, m_pState, m_pLog, CDevice::EFraming::EndFlag,
                                            CDevice::EResponseMode::Interrupt);
    return pDevice;
}

std::shared_ptr<CDevice> CDeviceRegistry::CreatePrivate(const std::string& strName, CDevice::EFraming eFraming,
                                                        CDevice::EResponseMode eMode)
{
    return std::make_shared<CDevice>(strName, m_pState, m_pLog, eFraming, eMode);
}
