#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

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
    void PruneLocked(const std::string& strDevice);

    mutable std::mutex m_mtx;
    mutable std::condition_variable m_cv;
    std::map<std::string, SState> m_mapStates;
};
