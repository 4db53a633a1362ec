#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// What every connection of the process sees alike: the identity, the settable
// source and measurement settings and the mass memory. Thread-safe; the
// message exchange state (status, error queue, output) lives in CDevice.
class CInstrumentState
{
public:
    enum class EFunction { VoltageDc, CurrentDc };

    struct SFileInfo
    {
        std::string strName;
        uint64_t uSize = 0;
    };

    static constexpr uint64_t kMassMemoryCapacity = 256ull * 1024 * 1024;

    CInstrumentState();

    std::string Identity() const;

    // *RST: settings back to their defaults; mass memory is kept.
    void Reset();

    double VoltageLevel() const;
    void SetVoltageLevel(double dVolts);
    double CurrentLevel() const;
    void SetCurrentLevel(double dAmps);
    EFunction Function() const;
    void SetFunction(EFunction eFunction);
    std::string DisplayText() const;
    void SetDisplayText(const std::string& strText);

    // A reading of the given function: the source level plus a few ppm of noise.
    double Measure(EFunction eFunction);

    // Mass memory. StoreFile fails when the total would exceed the capacity.
    std::string CurrentFileName() const;
    void SetCurrentFileName(const std::string& strName);
    bool StoreFile(const std::string& strName, std::string strData);
    bool LoadFile(const std::string& strName, std::string& strData) const;
    bool DeleteFile(const std::string& strName);
    std::vector<SFileInfo> Catalog() const;
    uint64_t UsedBytes() const;

private:
    mutable std::mutex m_mtx;
    double m_dVoltage;
    double m_dCurrent;
    EFunction m_eFunction;
    std::string m_strDisplay;
    std::string m_strFileName;
    std::map<std::string, std::string> m_mapFiles;
    uint64_t m_uUsed = 0;
    uint32_t m_uNoiseSeed = 1;
};
