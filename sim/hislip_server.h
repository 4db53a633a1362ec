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

#include "Listener.h"
#include "Server.h"

class CDeviceRegistry;
class CHislipSession;

// Locks of one HiSLIP device, shared by every session that named it: one
// exclusive holder, or any number of holders of one shared key, or both when
// the exclusive holder also holds the shared lock.
class CHislipLockTable
{
public:
    enum class EResult { Granted, TimedOut, Redundant };
    enum class ERelease { Exclusive, Shared, NotHeld };

    EResult Acquire(const std::string& strDevice, uint64_t uOwner, const std::string& strKey,
                    uint32_t uTimeoutMs, const std::atomic<bool>& bCancel);
    ERelease Release(const std::string& strDevice, uint64_t uOwner);
    void ReleaseAll(const std::string& strDevice, uint64_t uOwner);
    // Whether uOwner's synchronous input may run now, i.e. no other client holds a lock.
    bool MayProceed(const std::string& strDevice, uint64_t uOwner) const;
    // Waits (at most nMaxMs) until MayProceed; false on time-out.
    bool WaitMayProceed(const std::string& strDevice, uint64_t uOwner, int nMaxMs) const;
    bool ExclusiveGranted(const std::string& strDevice) const;
    uint32_t HolderCount(const std::string& strDevice) const;

private:
    struct SState
    {
        uint64_t uExclusive = 0;
        std::string strSharedKey;
        std::set<uint64_t> setShared;
    };
    bool MayProceedLocked(const std::string& strDevice, uint64_t uOwner) const;

    mutable std::mutex m_mtx;
    mutable std::condition_variable m_cv;
    std::map<std::string, SState> m_mapStates;
};

// HiSLIP (IVI-6.1, protocol 1.0, synchronized mode) on one TCP port. Every
// session gets its own IEEE 488.2 message exchange over the shared instrument
// state, so that sessions never read each other's answers; locks are shared
// per device name.
class CHislipServer : public CServer
{
public:
    static constexpr uint64_t kMaxMessageSize = 1u << 20; // header included
    static constexpr size_t kMaxSessions = 64;

    explicit CHislipServer(std::shared_ptr<CDeviceRegistry> pRegistry);
    ~CHislipServer() override;

    bool Start(const std::string& strBindAddress, uint16_t uPort, std::string& strError) override;
    void Stop() override;
    uint16_t Port() const override { return m_listener.Port(); }
    std::string AnnounceLine() const override;

    CHislipLockTable& Locks() { return m_locks; }
    const std::shared_ptr<CDeviceRegistry>& Registry() const { return m_pRegistry; }

    // Called by a session's threads.
    std::shared_ptr<CHislipSession> FindSession(uint16_t uSessionId);
    void RemoveSession(uint16_t uSessionId);

private:
    void HandleConnection(int nFd);

    std::shared_ptr<CDeviceRegistry> m_pRegistry;
    CHislipLockTable m_locks;
    std::string m_strAnnounceHost = "127.0.0.1";
    CListener m_listener;

    std::mutex m_mtx;
    std::map<uint16_t, std::shared_ptr<CHislipSession>> m_mapSessions;
    uint16_t m_uNextSessionId = 1;
};
