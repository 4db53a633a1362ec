#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Announces the simulator's servers by multicast DNS under one instance name: answers queries
// for their service types on the interface of the bind address, directly to the asker when it
// asked from an ordinary port (a one-shot query), else to the group.
class CMdnsResponder
{
public:
    ~CMdnsResponder();

    // lstServices: service type ("_hislip._tcp.local") and port.
    bool Start(const std::string& strBindAddress, const std::string& strInstance,
               std::vector<std::pair<std::string, uint16_t>> lstServices, std::string& strError);
    void Stop();

private:
    void Loop();
    std::vector<uint8_t> Answer(const uint8_t* pData, size_t nSize, bool& bFound) const;

    int m_nFd = -1;
    uint32_t m_uAddress = 0; // host order
    std::string m_strInstance;
    std::string m_strHost;
    std::vector<std::pair<std::string, uint16_t>> m_lstServices;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
