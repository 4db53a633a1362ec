#include "Device.h"

#include "InstrumentState.h"
#include "ScpiEngine.h"
#include "WireLog.h"

#include <algorithm>
#include <cstring>

namespace {

const size_t kBacklogResponses = 1024;
const uint64_t kBacklogBytes = 64ull * 1024 * 1024;

const char kTextPattern[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const uint64_t kTextPatternLength = sizeof kTextPattern - 1;

} // namespace

CDevice::CDevice(std::string strName, std::shared_ptr<CInstrumentState> pState, std::shared_ptr<CWireLog> pLog,
                 EFraming eFraming, EResponseMode eMode)
    : m_strName(std::move(strName)),
      m_pState(std::move(pState)),
      m_pLog(std::move(pLog)),
      m_eMode(eMode),
      m_framer(eFraming)
{
    m_pEngine = std::make_unique<CScpiEngine>(static_cast<CScpiHost&>(*this), m_pState);
}

CDevice::~CDevice() = default;

void CDevice::Write(const std::string& strData, bool bEnd, uint32_t uTag)
{
    Write(strData.data(), strData.size(), bEnd, uTag);
}

void CDevice::Write(const char* pData, size_t nLen, bool bEnd, uint32_t uTag)
{
    std::vector<std::function<void()>> lstNotify;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        FeedLocked(pData, nLen, bEnd, uTag, lstNotify);
        CheckServiceRequestLocked(lstNotify);
    }
    for (auto& fnNotify : lstNotify)
        fnNotify();
}

void CDevice::FeedLocked(const char* pData, size_t nLen, bool bEnd, uint32_t uTag,
                         std::vector<std::function<void()>>& lstNotify)
{
    if (m_bHangupPending)
        return; // the connection is going down; nothing more is executed
    m_framer.Feed(pData, nLen, bEnd, [&](CMessageFramer::SMessage& message) {
        CompleteMessageLocked(message, uTag, lstNotify);
        return !m_bHangupPending;
    });
}

void CDevice::CompleteMessageLocked(CMessageFramer::SMessage& message, uint32_t uTag,
                                    std::vector<std::function<void()>>& lstNotify)
{
    if (message.bOverrun) {
        m_pEngine->PushError(-363);
        return;
    }
    std::string& strMessage = message.strText;
    if (m_pLog)
        m_pLog->LogMessage(strMessage);
    if (message.bEndedByLineFeed)
        strMessage.pop_back();

    if (m_eMode == EResponseMode::Interrupt && !m_lstOutput.empty()) {
        m_lstOutput.clear();
        m_pEngine->PushError(-410);
        if (m_fnInterrupt) {
            auto fnHandler = m_fnInterrupt;
            lstNotify.push_back([fnHandler, uTag]() { fnHandler(uTag); });
        }
    }

    CScpiEngine::SResult result;
    m_pEngine->Execute(strMessage, result);
    if (!result.bHasResponse && !result.bHangup)
        return;
    SResponse resp;
    resp.lstSegments = std::move(result.lstSegments);
    if (result.bHangup) {
        resp.bTerminated = false;
        resp.bHangup = true;
        m_bHangupPending = true;
    } else {
        resp.lstSegments.push_back({SSegment::EKind::Literal, "\n", 1});
    }
    for (const SSegment& seg : resp.lstSegments)
        resp.uTotal += seg.uLength;
    resp.tReady = Clock::now() + std::chrono::milliseconds(result.nDelayMs);
    resp.uTag = uTag;
    m_lstOutput.push_back(std::move(resp));
    m_cvOutput.notify_all();
}

void CDevice::CountTrigger()
{
    ++m_uTriggers;
}

uint8_t CDevice::CurrentStatusByte() const
{
    return StatusByteLocked(Clock::now());
}

void CDevice::SetRemoteState(bool bRemote)
{
    m_bRemote = bRemote;
}

void CDevice::CheckServiceRequestLocked(std::vector<std::function<void()>>& lstNotify)
{
    const uint8_t uStb = StatusByteLocked(Clock::now());
    const bool bMss = (uStb & 0x40) != 0;
    if (bMss && !m_bLastMss && m_fnServiceRequest) {
        auto fnHandler = m_fnServiceRequest;
        lstNotify.push_back([fnHandler, uStb]() { fnHandler(uStb); });
    }
    m_bLastMss = bMss;
}

bool CDevice::ReadableLocked(Clock::time_point tNow) const
{
    return !m_lstOutput.empty() && m_lstOutput.front().tReady <= tNow && m_lstOutput.front().uTotal > 0;
}

uint8_t CDevice::StatusByteLocked(Clock::time_point tNow) const
{
    uint8_t uStb = m_pEngine->StatusBits();
    if (ReadableLocked(tNow))
        uStb |= 0x10;
    if (uStb & m_pEngine->ServiceRequestEnable() & 0xBF)
        uStb |= 0x40;
    return uStb;
}

namespace {

// Generated answers are copied from a table holding the pattern many times over, so a large
// block costs a few long memcpy calls rather than one append per byte.
template <size_t kPeriod>
void AppendPattern(std::string& strOut, const char* pTable, size_t uTableLength, uint64_t uStart, size_t uCount)
{
    size_t uAt = strOut.size();
    strOut.resize(uAt + uCount);
    const size_t uRun = uTableLength - kPeriod;
    while (uCount > 0) {
        const size_t uPhase = static_cast<size_t>(uStart % kPeriod);
        const size_t uTake = std::min(uCount, uRun);
        std::memcpy(&strOut[uAt], pTable + uPhase, uTake);
        uAt += uTake;
        uStart += uTake;
        uCount -= uTake;
    }
}

const std::string& RampTable()
{
    static const std::string s_strTable = [] {
        std::string strTable(64 * 1024 + 256, '\0');
        for (size_t k = 0; k < strTable.size(); ++k)
            strTable[k] = static_cast<char>(k & 0xff);
        return strTable;
    }();
    return s_strTable;
}

const std::string& TextTable()
{
    static const std::string s_strTable = [] {
        std::string strTable;
        for (size_t k = 0; k < 1024 + 1; ++k)
            strTable.append(kTextPattern, kTextPatternLength);
        return strTable;
    }();
    return s_strTable;
}

} // namespace

void CDevice::CopyOut(SResponse& resp, size_t nMax, std::string& strOut)
{
    strOut.reserve(static_cast<size_t>(std::min<uint64_t>(resp.uTotal - resp.uTaken, nMax)));
    uint64_t uSkip = resp.uTaken;
    for (const SSegment& seg : resp.lstSegments) {
        if (strOut.size() >= nMax)
            break;
        if (uSkip >= seg.uLength) {
            uSkip -= seg.uLength;
            continue;
        }
        const size_t nTake = static_cast<size_t>(std::min<uint64_t>(seg.uLength - uSkip, nMax - strOut.size()));
        switch (seg.eKind) {
        case SSegment::EKind::Literal:
            strOut.append(seg.strBytes, static_cast<size_t>(uSkip), nTake);
            break;
        case SSegment::EKind::Text:
            AppendPattern<kTextPatternLength>(strOut, TextTable().data(), TextTable().size(), uSkip, nTake);
            break;
        case SSegment::EKind::Ramp:
            AppendPattern<256>(strOut, RampTable().data(), RampTable().size(), uSkip, nTake);
            break;
        }
        uSkip = 0;
    }
    resp.uTaken += strOut.size();
}

CDevice::SReadResult CDevice::Read(size_t nMax, std::chrono::milliseconds tTimeout, bool bTalkAddressed)
{
    return Read(nMax, Clock::now() + tTimeout, bTalkAddressed);
}

CDevice::SReadResult CDevice::Read(size_t nMax, Clock::time_point tDeadline, bool bTalkAddressed)
{
    SReadResult result;
    ReadInto(result, nMax, tDeadline, bTalkAddressed);
    return result;
}

void CDevice::ReadInto(SReadResult& result, size_t nMax, Clock::time_point tDeadline, bool bTalkAddressed)
{
    result.eStatus = EReadStatus::TimedOut;
    result.strData.clear();
    result.bEnd = false;
    result.uTag = 0;
    std::vector<std::function<void()>> lstNotify;
    {
        std::unique_lock<std::mutex> lock(m_mtx);
        const uint64_t uGeneration = m_uWakeGeneration;
        if (bTalkAddressed && m_lstOutput.empty() && !m_bHangupTaken && !m_bClosed)
            m_pEngine->PushError(-420);
        for (;;) {
            if (m_bClosed) {
                result.eStatus = EReadStatus::Closed;
                break;
            }
            if (m_uWakeGeneration != uGeneration) {
                result.eStatus = EReadStatus::Aborted;
                break;
            }
            const Clock::time_point tNow = Clock::now();
            if (!m_lstOutput.empty() && m_lstOutput.front().tReady <= tNow) {
                SResponse& resp = m_lstOutput.front();
                if (resp.uTotal > 0) {
                    CopyOut(resp, std::max<size_t>(nMax, 1), result.strData);
                    result.eStatus = EReadStatus::Data;
                    result.uTag = resp.uTag;
                    result.bEnd = resp.uTaken == resp.uTotal && resp.bTerminated;
                }
                if (resp.uTaken == resp.uTotal) {
                    if (resp.bHangup) {
                        m_bHangupTaken = true;
                        if (resp.uTotal == 0)
                            result.eStatus = EReadStatus::HungUp;
                    }
                    m_lstOutput.pop_front();
                }
                if (result.eStatus == EReadStatus::Data || result.eStatus == EReadStatus::HungUp)
                    break;
                continue;
            }
            if (m_lstOutput.empty() && m_bHangupTaken) {
                result.eStatus = EReadStatus::HungUp;
                break;
            }
            if (tNow >= tDeadline) {
                result.eStatus = EReadStatus::TimedOut;
                break;
            }
            Clock::time_point tWake = tDeadline;
            if (!m_lstOutput.empty())
                tWake = std::min(tWake, m_lstOutput.front().tReady);
            m_cvOutput.wait_until(lock, tWake);
        }
        CheckServiceRequestLocked(lstNotify);
    }
    for (auto& fnNotify : lstNotify)
        fnNotify();
}

void CDevice::LogUnterminatedInput()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    const std::string strText = m_framer.TakeUnterminated();
    if (!strText.empty() && m_pLog)
        m_pLog->LogMessage(strText);
}

void CDevice::Wake()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    ++m_uWakeGeneration;
    m_cvOutput.notify_all();
}

void CDevice::Close()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_bClosed = true;
    m_cvOutput.notify_all();
    m_cvLock.notify_all();
}

void CDevice::Clear()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_framer.Reset();
    m_lstOutput.clear();
    m_bHangupPending = false;
    m_bHangupTaken = false;
    m_pEngine->OnDeviceClear();
    m_cvOutput.notify_all();
}

uint8_t CDevice::StatusByte() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return StatusByteLocked(Clock::now());
}

bool CDevice::HasPendingOutput() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return !m_lstOutput.empty();
}

bool CDevice::OutputBacklogged() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    if (m_lstOutput.size() >= kBacklogResponses)
        return true;
    // Generated test answers cost nothing until sent; only stored bytes count.
    uint64_t uStored = 0;
    for (const SResponse& resp : m_lstOutput) {
        for (const SSegment& seg : resp.lstSegments)
            uStored += seg.strBytes.size();
    }
    return uStored >= kBacklogBytes;
}

void CDevice::SetRemote(bool bRemote)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_bRemote = bRemote;
}

bool CDevice::IsRemote() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_bRemote;
}

void CDevice::SetLocalLockout(bool bLockout)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_bLocalLockout = bLockout;
}

bool CDevice::IsLocalLockout() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_bLocalLockout;
}

void CDevice::Trigger()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    ++m_uTriggers;
}

unsigned CDevice::TriggerCount() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_uTriggers;
}

bool CDevice::HangupRequested() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_bHangupTaken;
}

bool CDevice::AcquireLock(uint64_t uOwner, std::chrono::milliseconds tTimeout)
{
    if (uOwner == 0)
        return false;
    std::unique_lock<std::mutex> lock(m_mtx);
    const Clock::time_point tDeadline = Clock::now() + tTimeout;
    while (m_uLockOwner != 0 && m_uLockOwner != uOwner) {
        if (m_bClosed || m_cvLock.wait_until(lock, tDeadline) == std::cv_status::timeout) {
            if (m_uLockOwner != 0 && m_uLockOwner != uOwner)
                return false;
        }
    }
    m_uLockOwner = uOwner;
    return true;
}

bool CDevice::ReleaseLock(uint64_t uOwner)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    if (uOwner == 0 || m_uLockOwner != uOwner)
        return false;
    m_uLockOwner = 0;
    m_cvLock.notify_all();
    return true;
}

uint64_t CDevice::LockOwner() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_uLockOwner;
}

void CDevice::SetServiceRequestHandler(std::function<void(uint8_t)> fnHandler)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_fnServiceRequest = std::move(fnHandler);
}

void CDevice::SetInterruptHandler(std::function<void(uint32_t)> fnHandler)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_fnInterrupt = std::move(fnHandler);
}
