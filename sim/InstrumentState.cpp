#include "InstrumentState.h"

namespace {
const double kDefaultVoltage = 1.0;
const double kDefaultCurrent = 0.01;
}

CInstrumentState::CInstrumentState()
    : m_dVoltage(kDefaultVoltage), m_dCurrent(kDefaultCurrent), m_eFunction(EFunction::VoltageDc)
{
}

std::string CInstrumentState::Identity() const
{
    return "VELQUIST,VELQSIM SCPI SIMULATOR,000001,1.0.0";
}

void CInstrumentState::Reset()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_dVoltage = kDefaultVoltage;
    m_dCurrent = kDefaultCurrent;
    m_eFunction = EFunction::VoltageDc;
    m_strDisplay.clear();
}

double CInstrumentState::VoltageLevel() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_dVoltage;
}

void CInstrumentState::SetVoltageLevel(double dVolts)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_dVoltage = dVolts;
}

double CInstrumentState::CurrentLevel() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_dCurrent;
}

void CInstrumentState::SetCurrentLevel(double dAmps)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_dCurrent = dAmps;
}

CInstrumentState::EFunction CInstrumentState::Function() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_eFunction;
}

void CInstrumentState::SetFunction(EFunction eFunction)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_eFunction = eFunction;
}

std::string CInstrumentState::DisplayText() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_strDisplay;
}

void CInstrumentState::SetDisplayText(const std::string& strText)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_strDisplay = strText;
}

double CInstrumentState::Measure(EFunction eFunction)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    // A small deterministic LCG keeps readings plausible (never exactly the
    // set level) yet reproducible from one run to the next.
    m_uNoiseSeed = m_uNoiseSeed * 1664525u + 1013904223u;
    const double dNoise = (static_cast<double>(m_uNoiseSeed >> 8) / 16777216.0 - 0.5) * 2e-5;
    const double dLevel = eFunction == EFunction::VoltageDc ? m_dVoltage : m_dCurrent;
    const double dFloor = eFunction == EFunction::VoltageDc ? 1e-6 : 1e-9;
    return dLevel * (1.0 + dNoise) + dFloor * dNoise * 1e5;
}

std::string CInstrumentState::CurrentFileName() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_strFileName;
}

void CInstrumentState::SetCurrentFileName(const std::string& strName)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_strFileName = strName;
}

bool CInstrumentState::StoreFile(const std::string& strName, std::string strData)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    auto it = m_mapFiles.find(strName);
    const uint64_t uOld = it == m_mapFiles.end() ? 0 : it->second.size();
    if (m_uUsed - uOld + strData.size() > kMassMemoryCapacity)
        return false;
    m_uUsed = m_uUsed - uOld + strData.size();
    m_mapFiles[strName] = std::move(strData);
    return true;
}

bool CInstrumentState::LoadFile(const std::string& strName, std::string& strData) const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    auto it = m_mapFiles.find(strName);
    if (it == m_mapFiles.end())
        return false;
    strData = it->second;
    return true;
}

bool CInstrumentState::DeleteFile(const std::string& strName)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    auto it = m_mapFiles.find(strName);
    if (it == m_mapFiles.end())
        return false;
    m_uUsed -= it->second.size();
    m_mapFiles.erase(it);
    return true;
}

std::vector<CInstrumentState::SFileInfo> CInstrumentState::Catalog() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    std::vector<SFileInfo> lstFiles;
    for (const auto& entry : m_mapFiles)
        lstFiles.push_back({entry.first, entry.second.size()});
    return lstFiles;
}

uint64_t CInstrumentState::UsedBytes() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_uUsed;
}
