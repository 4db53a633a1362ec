#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "HislipLockTable.h"
#include "HislipSession.h"
#include "Listener.h"
#include "Server.h"

class CDeviceRegistry;

// HiSLIP (IVI-6.1, protocol 1.0, synchronized mode) on one TCP port. Every
// session gets its own IEEE 488.2 message exchange over the shared instrument
// state, so that sessions never read each other's answers; locks are shared
// per device name.
class CHislipServer : public CServer
{
public:
    static constexpr uint64_t kMaxMessageSize = CHislipSession::kMaxMessageSize;
    static constexpr size_t kMaxSessions = 64;

    explicit CHislipServer(std::shared_ptr<CDeviceRegistry> pRegistry);
    ~CHislipServer() override;

    bool Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError) override;
    void Stop() override;
    uint16_t Port() const override { return m_listener.Port(); }
    std::string AnnounceLine() const override;

    CHislipLockTable& Locks() { return m_locks; }


private:
    void HandleConnection(int nFd);
    std::shared_ptr<CHislipSession> FindSession(uint16_t uSessionId);
    void RemoveSession(uint16_t uSessionId);
    bool EvictSilentSession();

    std::shared_ptr<CDeviceRegistry> m_pRegistry;
    CHislipLockTable m_locks;
    std::string m_strAnnounceHost = "127.0.0.1";
    CListener m_listener;

    std::mutex m_mtx;
    std::map<uint16_t, std::shared_ptr<CHislipSession>> m_mapSessions;
    uint16_t m_uNextSessionId = 1;
};
