#include "HislipLockTable.h"

#include <algorithm>
#include <chrono>

bool CHislipLockTable::MayProceedLocked(const std::string& strDevice, uint64_t uOwner) const
{
    auto it = m_mapStates.find(strDevice);
    if (it == m_mapStates.end())
        return true;
    const SState& state = it->second;
    if (state.uExclusive != 0 && state.uExclusive != uOwner)
        return false;
    return state.setShared.empty() || state.setShared.count(uOwner) > 0 || state.uExclusive == uOwner;
}

bool CHislipLockTable::MayProceed(const std::string& strDevice, uint64_t uOwner) const
{
    std::lock_guard<std::mutex> guard(m_mtx);
    return MayProceedLocked(strDevice, uOwner);
}

bool CHislipLockTable::WaitMayProceed(const std::string& strDevice, uint64_t uOwner, int nMaxMs) const
{
    std::unique_lock<std::mutex> guard(m_mtx);
    return m_cv.wait_for(guard, std::chrono::milliseconds(nMaxMs),
                         [&] { return MayProceedLocked(strDevice, uOwner); });
}

CHislipLockTable::EResult CHislipLockTable::Acquire(const std::string& strDevice, uint64_t uOwner,
                                                    const std::string& strKey, uint32_t uTimeoutMs,
                                                    const std::atomic<bool>& bCancel)
{
    const bool bExclusive = strKey.empty();
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(uTimeoutMs);
    std::unique_lock<std::mutex> guard(m_mtx);
    // Looked up afresh after every wait: a release meanwhile may have removed the entry.
    auto stateNow = [&]() -> SState& { return m_mapStates[strDevice]; };
    if (bExclusive ? stateNow().uExclusive == uOwner : stateNow().setShared.count(uOwner) > 0)
        return EResult::Redundant;
    auto grantable = [&] {
        const SState& state = stateNow();
        if (bExclusive) {
            // A holder of the shared lock may upgrade; other shared holders block it.
            const bool bSharedOk = state.setShared.empty()
                || (state.setShared.size() == 1 && state.setShared.count(uOwner) == 1);
            return state.uExclusive == 0 && bSharedOk;
        }
        const bool bExclusiveOk = state.uExclusive == 0 || state.uExclusive == uOwner;
        return bExclusiveOk && (state.setShared.empty() || state.strSharedKey == strKey);
    };
    while (!grantable()) {
        if (bCancel || std::chrono::steady_clock::now() >= tEnd) {
            PruneLocked(strDevice);
            return EResult::TimedOut;
        }
        // Wake now and then to notice a session that is closing.
        const auto tWake = std::min(tEnd, std::chrono::steady_clock::now() + std::chrono::milliseconds(200));
        m_cv.wait_until(guard, tWake);
    }
    SState& state = stateNow();
    if (bExclusive) {
        state.uExclusive = uOwner;
    } else {
        state.strSharedKey = strKey;
        state.setShared.insert(uOwner);
    }
    m_cv.notify_all();
    return EResult::Granted;
}

CHislipLockTable::ERelease CHislipLockTable::Release(const std::string& strDevice, uint64_t uOwner)
{
    std::lock_guard<std::mutex> guard(m_mtx);
    auto it = m_mapStates.find(strDevice);
    if (it == m_mapStates.end())
        return ERelease::NotHeld;
    SState& state = it->second;
    ERelease eResult = ERelease::NotHeld;
    if (state.uExclusive == uOwner) {
        state.uExclusive = 0;
        eResult = ERelease::Exclusive;
    } else if (state.setShared.erase(uOwner) > 0) {
        if (state.setShared.empty())
            state.strSharedKey.clear();
        eResult = ERelease::Shared;
    }
    PruneLocked(strDevice);
    m_cv.notify_all();
    return eResult;
}

void CHislipLockTable::ReleaseAll(const std::string& strDevice, uint64_t uOwner)
{
    std::lock_guard<std::mutex> guard(m_mtx);
    auto it = m_mapStates.find(strDevice);
    if (it == m_mapStates.end())
        return;
    if (it->second.uExclusive == uOwner)
        it->second.uExclusive = 0;
    it->second.setShared.erase(uOwner);
    if (it->second.setShared.empty())
        it->second.strSharedKey.clear();
    PruneLocked(strDevice);
    m_cv.notify_all();
}

void CHislipLockTable::PruneLocked(const std::string& strDevice)
{
    // An entry nobody holds goes, so that sessions naming ever new devices
    // cannot grow the table.
    auto it = m_mapStates.find(strDevice);
    if (it != m_mapStates.end() && it->second.uExclusive == 0 && it->second.setShared.empty())
        m_mapStates.erase(it);
}

bool CHislipLockTable::ExclusiveGranted(const std::string& strDevice) const
{
    std::lock_guard<std::mutex> guard(m_mtx);
    auto it = m_mapStates.find(strDevice);
    return it != m_mapStates.end() && it->second.uExclusive != 0;
}

uint32_t CHislipLockTable::HolderCount(const std::string& strDevice) const
{
    std::lock_guard<std::mutex> guard(m_mtx);
    auto it = m_mapStates.find(strDevice);
    if (it == m_mapStates.end())
        return 0;
    std::set<uint64_t> setHolders = it->second.setShared;
    if (it->second.uExclusive != 0)
        setHolders.insert(it->second.uExclusive);
    return static_cast<uint32_t>(setHolders.size());
}
