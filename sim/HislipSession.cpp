#include "HislipSession.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>
#include <vector>

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include "Device.h"
#include "Listener.h"
#include "DeviceRegistry.h"
#include "SocketUtil.h"
#include "hislip_codec.h"
#include "HislipLockTable.h"

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

constexpr uint8_t kMav = 0x10;
// Text and lock strings on the asynchronous channel are short; a longer
// payload there is hostile.
constexpr uint64_t kMaxAsyncPayload = 64 * 1024;
// An oversized data message up to this size is skipped and answered with
// Error; beyond it the peer is not speaking HiSLIP and is dropped.
constexpr uint64_t kMaxSkippable = 256ull * 1024 * 1024;

std::atomic<uint64_t> s_uNextOwner{1};

} // namespace

// Buffered blocking reads from one connection; small messages arrive with a
// single recv() and large payloads go straight to their destination.
class CHislipSession::CReader
{
public:
    explicit CReader(int nFd) : m_nFd(nFd), m_buffer(64 * 1024) {}

    bool ReadExact(char* pDest, size_t nLen)
    {
        while (nLen > 0) {
            if (m_nPos < m_nLen) {
                const size_t nTake = std::min(nLen, m_nLen - m_nPos);
                std::memcpy(pDest, m_buffer.data() + m_nPos, nTake);
                m_nPos += nTake;
                pDest += nTake;
                nLen -= nTake;
                continue;
            }
            if (nLen >= m_buffer.size() / 2)
                return SimSocket::ReceiveExact(m_nFd, pDest, nLen, -1);
            const long nGot = SimSocket::Receive(m_nFd, m_buffer.data(), m_buffer.size(), -1);
            if (nGot <= 0)
                return false;
            m_nPos = 0;
            m_nLen = static_cast<size_t>(nGot);
        }
        return true;
    }

    bool Skip(uint64_t uLen)
    {
        char scratch[16 * 1024];
        while (uLen > 0) {
            const size_t nTake = static_cast<size_t>(std::min<uint64_t>(uLen, sizeof scratch));
            if (!ReadExact(scratch, nTake))
                return false;
            uLen -= nTake;
        }
        return true;
    }

    // false on a closed connection; bBadPrologue tells a framing error apart.
    bool ReadHeader(hislip_header& hdr, bool& bBadPrologue)
    {
        uint8_t raw[kHislipHeaderSize];
        bBadPrologue = false;
        if (!ReadExact(reinterpret_cast<char*>(raw), sizeof raw))
            return false;
        if (hislip_decode_header(raw, &hdr) != HISLIP_DECODE_OK) {
            bBadPrologue = true;
            return false;
        }
        return true;
    }

private:
    int m_nFd;
    std::vector<char> m_buffer;
    size_t m_nPos = 0;
    size_t m_nLen = 0;
};

CHislipSession::CHislipSession(uint16_t uId, std::string strDevice, int nSyncFd, std::shared_ptr<CDevice> pDevice,
                               CHislipLockTable& locks, std::function<void(uint16_t uId)> fnEnded)
    : m_locks(locks),
      m_fnEnded(std::move(fnEnded)),
      m_uId(uId),
      m_uOwner(s_uNextOwner++),
      m_strDevice(std::move(strDevice)),
      m_nSyncFd(nSyncFd),
      m_uClientMaxPayload(kMaxMessageSize - kHislipHeaderSize),
      m_uLastReceivedId(kHislipNoMessageId)
{
    m_pDevice = std::move(pDevice);
}

CHislipSession::~CHislipSession()
{
    Shutdown();
    if (m_senderThread.joinable())
        m_senderThread.join();
    std::lock_guard<std::mutex> guard(m_fdMtx);
    if (m_nSyncFd >= 0)
        ::close(m_nSyncFd);
    if (m_nAsyncFd >= 0)
        ::close(m_nAsyncFd);
    m_nSyncFd = m_nAsyncFd = -1;
}

int64_t CHislipSession::SilentMs() const
{
    std::lock_guard<std::mutex> guard(m_fdMtx);
    if (m_nSyncFd < 0 || m_bClosing)
        return 0;
    const int64_t nSync = CListener::SilentMs(m_nSyncFd);
    return m_nAsyncFd >= 0 ? std::min(nSync, CListener::SilentMs(m_nAsyncFd)) : nSync;
}

void CHislipSession::Shutdown()
{
    m_bClosing = true;
    {
        std::lock_guard<std::mutex> guard(m_fdMtx);
        // shutdown() without close(): the threads still using the descriptors
        // see end-of-file, and no number can be reused underneath them.
        if (m_nSyncFd >= 0)
            ::shutdown(m_nSyncFd, SHUT_RDWR);
        if (m_nAsyncFd >= 0)
            ::shutdown(m_nAsyncFd, SHUT_RDWR);
    }
    if (m_pDevice)
        m_pDevice->Close();
    m_cvState.notify_all();
    {
        std::lock_guard<std::mutex> guard(m_ownMtx);
        m_cvOwn.notify_all();
    }
}

bool CHislipSession::AttachAsync(int nFd)
{
    std::lock_guard<std::mutex> guard(m_fdMtx);
    if (m_nAsyncFd >= 0 || m_bClosing)
        return false;
    m_nAsyncFd = nFd;
    return true;
}

bool CHislipSession::SendFrame(int nFd, uint8_t uType, uint8_t uControl, uint32_t uParam, const char* pData,
                               size_t nLen)
{
    hislip_header hdr;
    hdr.type = uType;
    hdr.control = uControl;
    hdr.param = uParam;
    hdr.length = nLen;
    uint8_t raw[kHislipHeaderSize];
    hislip_encode_header(hdr, raw);
    iovec iov[2];
    iov[0].iov_base = raw;
    iov[0].iov_len = sizeof raw;
    iov[1].iov_base = const_cast<char*>(pData);
    iov[1].iov_len = nLen;
    return SimSocket::SendAllV(nFd, iov, 2);
}

bool CHislipSession::SendSync(uint8_t uType, uint8_t uControl, uint32_t uParam, const char* pData, size_t nLen)
{
    std::lock_guard<std::mutex> guard(m_syncSendMtx);
    return SendFrame(m_nSyncFd, uType, uControl, uParam, pData, nLen);
}

bool CHislipSession::SendAsync(uint8_t uType, uint8_t uControl, uint32_t uParam, const char* pData, size_t nLen)
{
    std::lock_guard<std::mutex> guard(m_asyncSendMtx);
    int nFd;
    {
        std::lock_guard<std::mutex> fdGuard(m_fdMtx);
        nFd = m_nAsyncFd;
    }
    return nFd >= 0 && SendFrame(nFd, uType, uControl, uParam, pData, nLen);
}

void CHislipSession::SendFatal(uint8_t uCode, const char* pText)
{
    SendSync(HISLIP_FATAL_ERROR, uCode, 0, pText, std::strlen(pText));
    SendAsync(HISLIP_FATAL_ERROR, uCode, 0, pText, std::strlen(pText));
    Shutdown();
}

void CHislipSession::OnRmtDelivered(uint8_t uControl)
{
    if (uControl & kHislipRmtDelivered) {
        std::lock_guard<std::mutex> guard(m_stateMtx);
        m_bMavSent = false;
    }
}

void CHislipSession::GoRemoteIfEnabled()
{
    bool bEnable;
    {
        std::lock_guard<std::mutex> guard(m_stateMtx);
        bEnable = m_bRemoteEnable;
    }
    if (bEnable)
        m_pDevice->SetRemote(true);
}

void CHislipSession::RemoteLocalControl(uint8_t uMode)
{
    std::lock_guard<std::mutex> guard(m_stateMtx);
    switch (uMode) {
    case 0: // disable remote: everything goes local, lockout ends
    case 2:
        m_bRemoteEnable = false;
        m_pDevice->SetRemote(false);
        m_pDevice->SetLocalLockout(false);
        break;
    case 1:
        m_bRemoteEnable = true;
        break;
    case 3:
        m_bRemoteEnable = true;
        m_pDevice->SetRemote(true);
        break;
    case 4:
        m_bRemoteEnable = true;
        m_pDevice->SetLocalLockout(true);
        break;
    case 5:
        m_bRemoteEnable = true;
        m_pDevice->SetRemote(true);
        m_pDevice->SetLocalLockout(true);
        break;
    case 6:
        m_pDevice->SetRemote(false);
        break;
    default:
        break;
    }
}

uint8_t CHislipSession::StatusByte(uint32_t uMessageId)
{
    uint8_t uStb = m_pDevice->StatusByte();
    std::lock_guard<std::mutex> guard(m_stateMtx);
    bool bMav = (uStb & kMav) != 0 || m_bMavSent;
    // Some clients send the next MessageID instead of the last one; take both.
    if (uMessageId != m_uLastReceivedId && uMessageId != hislip_next_message_id(m_uLastReceivedId))
        bMav = false;
    return static_cast<uint8_t>((uStb & ~kMav) | (bMav ? kMav : 0));
}

uint32_t CHislipSession::ClientMessageId(uint32_t uSerial) const
{
    return m_auClientIds[uSerial % kIdRing].load();
}

bool CHislipSession::IsStale(uint32_t uSerial) const
{
    return static_cast<int32_t>(uSerial - m_uFirstValidSerial.load()) < 0;
}

void CHislipSession::SendPendingInterruptLocked()
{
    uint32_t uSerial;
    {
        std::lock_guard<std::mutex> guard(m_stateMtx);
        if (!m_bInterruptPending)
            return;
        m_bInterruptPending = false;
        uSerial = m_uInterruptTag;
    }
    if (IsStale(uSerial))
        return;
    const uint32_t uId = ClientMessageId(uSerial);
    SendFrame(m_nSyncFd, HISLIP_INTERRUPTED, 0, uId, nullptr, 0);
    SendAsync(HISLIP_ASYNC_INTERRUPTED, 0, uId);
}

void CHislipSession::SendPendingInterrupt()
{
    std::lock_guard<std::mutex> guard(m_syncSendMtx);
    SendPendingInterruptLocked();
}

bool CHislipSession::SendAnswer(const CDevice::SReadResult& result)
{
    {
        // The device reports an interruption only after its lock is released,
        // by which time the new message's answer may be readable already:
        // wait until the device call that produced it has returned.
        std::unique_lock<std::mutex> guard(m_stateMtx);
        m_cvState.wait_for(guard, std::chrono::seconds(5), [&] {
            return m_bClosing || static_cast<int32_t>(result.uTag - m_uCompletedSerial) <= 0;
        });
    }
    std::lock_guard<std::mutex> guard(m_syncSendMtx);
    // The interruption was recorded before the new message's answer existed,
    // so it always goes out first.
    SendPendingInterruptLocked();
    if (result.strData.empty() || IsStale(result.uTag) || m_bClearing)
        return true; // nothing, or made obsolete by a device clear
    {
        std::lock_guard<std::mutex> stateGuard(m_stateMtx);
        m_bMavSent = true;
    }
    const uint32_t uId = ClientMessageId(result.uTag);
    const bool bEnd = result.bEnd && result.eStatus == CDevice::EReadStatus::Data;
    // The client may have lowered its limit while this read was waiting.
    const size_t nMax = static_cast<size_t>(m_uClientMaxPayload.load());
    for (size_t nPos = 0; nPos < result.strData.size(); nPos += nMax) {
        const size_t nLen = std::min(nMax, result.strData.size() - nPos);
        const bool bLast = nPos + nLen == result.strData.size();
        if (!SendFrame(m_nSyncFd, bLast && bEnd ? HISLIP_DATA_END : HISLIP_DATA, 0, uId,
                       result.strData.data() + nPos, nLen)) {
            return false;
        }
    }
    return true;
}

// Only one thread takes answers from the device at a time, so their parts
// can never overtake each other. The synchronous reader sends a short answer
// itself, saving a thread switch per query; anything that is not complete at
// once (a delay, a long block) goes to the sender thread, so the reader keeps
// taking client input meanwhile.
void CHislipSession::AfterInput()
{
    {
        std::lock_guard<std::mutex> guard(m_ownMtx);
        if (m_bSenderBusy) {
            m_bHandoff = true;
            m_cvOwn.notify_all();
            return;
        }
        m_bSenderBusy = true;
    }
    const CDevice::SReadResult result =
        m_pDevice->Read(static_cast<size_t>(m_uClientMaxPayload.load()), CDevice::Clock::now());
    if (result.eStatus == CDevice::EReadStatus::Data && result.bEnd) {
        const bool bSent = SendAnswer(result);
        {
            std::lock_guard<std::mutex> guard(m_ownMtx);
            m_bSenderBusy = false;
        }
        if (!bSent)
            Shutdown();
        return;
    }
    if (result.eStatus == CDevice::EReadStatus::Data || result.eStatus == CDevice::EReadStatus::HungUp) {
        if (!SendAnswer(result) || result.eStatus == CDevice::EReadStatus::HungUp) {
            Shutdown();
            return;
        }
    }
    std::lock_guard<std::mutex> guard(m_ownMtx);
    m_bHandoff = true;
    m_cvOwn.notify_all();
}

void CHislipSession::SenderLoop()
{
    while (!m_bClosing) {
        {
            std::unique_lock<std::mutex> guard(m_ownMtx);
            m_cvOwn.wait(guard, [this] { return m_bHandoff || m_bClosing; });
            if (m_bClosing)
                break;
            m_bHandoff = false;
        }
        // This thread holds the answer token until the device stays quiet for a while.
        for (;;) {
            if (m_bClosing)
                return;
            SendPendingInterrupt();
            const CDevice::SReadResult result =
                m_pDevice->Read(static_cast<size_t>(m_uClientMaxPayload.load()), std::chrono::milliseconds(1000));
            if (result.eStatus == CDevice::EReadStatus::Closed)
                return;
            if (result.eStatus == CDevice::EReadStatus::TimedOut) {
                std::lock_guard<std::mutex> guard(m_ownMtx);
                if (!m_bHandoff) {
                    m_bSenderBusy = false;
                    break;
                }
                m_bHandoff = false;
                continue;
            }
            if (result.eStatus == CDevice::EReadStatus::Aborted)
                continue;
            if (!SendAnswer(result) || result.eStatus == CDevice::EReadStatus::HungUp) {
                Shutdown();
                return;
            }
        }
    }
}

bool CHislipSession::AcceptInput(const hislip_header& hdr)
{
    // Another client's lock keeps our input queued until it is released.
    while (!m_locks.WaitMayProceed(m_strDevice, m_uOwner, 200)) {
        if (m_bClosing)
            return false;
    }
    OnRmtDelivered(hdr.control);
    GoRemoteIfEnabled();
    std::lock_guard<std::mutex> guard(m_stateMtx);
    m_uLastReceivedId = hdr.param;
    return true;
}

bool CHislipSession::HandleSyncMessage(CReader& reader, const hislip_header& hdr)
{
    switch (hdr.type) {
    case HISLIP_DATA:
    case HISLIP_DATA_END: {
        if (hdr.length > kMaxMessageSize) {
            if (hdr.length > kMaxSkippable) {
                SendFatal(HISLIP_FATAL_BAD_HEADER, "data message length out of range");
                return false;
            }
            if (!reader.Skip(hdr.length))
                return false;
            static const char kText[] = "message too large";
            SendSync(HISLIP_ERROR, HISLIP_ERR_MESSAGE_TOO_LARGE, 0, kText, sizeof kText - 1);
            return true;
        }
        std::string strData(static_cast<size_t>(hdr.length), '\0');
        if (!reader.ReadExact(&strData[0], strData.size()))
            return false;
        uint32_t uSerial;
        {
            std::lock_guard<std::mutex> guard(m_serialMtx);
            if (m_bClearing)
                return true; // between AsyncDeviceClear and DeviceClearComplete input is dropped
            uSerial = m_uNextSerial++;
        }
        m_auClientIds[uSerial % kIdRing] = hdr.param;
        if (!AcceptInput(hdr))
            return false;
        m_pDevice->Write(strData.data(), strData.size(), hdr.type == HISLIP_DATA_END, uSerial);
        {
            std::lock_guard<std::mutex> guard(m_stateMtx);
            m_uCompletedSerial = uSerial;
        }
        m_cvState.notify_all();
        AfterInput();
        return true;
    }
    case HISLIP_TRIGGER:
        if (hdr.length && !reader.Skip(hdr.length))
            return false;
        if (m_bClearing)
            return true;
        if (!AcceptInput(hdr))
            return false;
        m_pDevice->Trigger();
        m_cvState.notify_all();
        AfterInput();
        return true;
    case HISLIP_DEVICE_CLEAR_COMPLETE: {
        if (hdr.length && !reader.Skip(hdr.length))
            return false;
        {
            // The generation moved on at AsyncDeviceClear already; moving it
            // again would also drop the answer to the first message after the clear.
            std::lock_guard<std::mutex> guard(m_syncSendMtx);
            m_pDevice->Clear();
            {
                std::lock_guard<std::mutex> stateGuard(m_stateMtx);
                m_bMavSent = false;
                m_bInterruptPending = false;
                m_uLastReceivedId = kHislipNoMessageId;
            }
            m_bClearing = false;
            // Overlapped mode is not offered: the setting is always synchronized.
            if (!SendFrame(m_nSyncFd, HISLIP_DEVICE_CLEAR_ACKNOWLEDGE, 0, 0, nullptr, 0))
                return false;
        }
        return true;
    }
    case HISLIP_FATAL_ERROR:
        return false;
    case HISLIP_ERROR:
        return hdr.length <= kMaxAsyncPayload && reader.Skip(hdr.length);
    default: {
        if (hdr.length > kMaxAsyncPayload) {
            SendFatal(HISLIP_FATAL_BAD_HEADER, "unexpected message with a large payload");
            return false;
        }
        if (!reader.Skip(hdr.length))
            return false;
        const bool bVendor = hdr.type >= HISLIP_VENDOR_SPECIFIC_FIRST;
        static const char kUnknown[] = "unrecognized message type";
        static const char kVendor[] = "unrecognized vendor-defined message";
        SendSync(HISLIP_ERROR, bVendor ? HISLIP_ERR_UNRECOGNIZED_VENDOR : HISLIP_ERR_UNRECOGNIZED_MSG_TYPE, 0,
                 bVendor ? kVendor : kUnknown, bVendor ? sizeof kVendor - 1 : sizeof kUnknown - 1);
        return true;
    }
    }
}

void CHislipSession::RunSync()
{
    std::weak_ptr<CHislipSession> pWeak = shared_from_this();
    m_pDevice->SetInterruptHandler([pWeak](uint32_t uTag) {
        if (auto pSelf = pWeak.lock()) {
            // Sent by the sender thread, never from inside the device's call chain.
            {
                std::lock_guard<std::mutex> guard(pSelf->m_stateMtx);
                pSelf->m_bInterruptPending = true;
                pSelf->m_uInterruptTag = uTag;
            }
            pSelf->m_pDevice->Wake();
        }
    });
    m_pDevice->SetServiceRequestHandler([pWeak](uint8_t uStb) {
        if (auto pSelf = pWeak.lock())
            pSelf->SendAsync(HISLIP_ASYNC_SERVICE_REQUEST, uStb, 0);
    });
    bool bRunning = true;
    try {
        m_senderThread = std::thread([this] { SenderLoop(); });
    } catch (const std::system_error&) {
        // Out of threads: this client is turned away, the others are served on.
        bRunning = false;
    }

    CReader reader(m_nSyncFd);
    while (bRunning) {
        hislip_header hdr;
        bool bBadPrologue = false;
        if (!reader.ReadHeader(hdr, bBadPrologue)) {
            if (bBadPrologue)
                SendFatal(HISLIP_FATAL_BAD_HEADER, "bad prologue");
            break;
        }
        bool bAsyncReady;
        {
            std::lock_guard<std::mutex> guard(m_fdMtx);
            bAsyncReady = m_nAsyncFd >= 0;
        }
        if (!bAsyncReady && hdr.type != HISLIP_FATAL_ERROR && hdr.type != HISLIP_ERROR) {
            SendFatal(HISLIP_FATAL_CHANNELS_NOT_ESTABLISHED, "asynchronous channel not established");
            break;
        }
        if (!HandleSyncMessage(reader, hdr))
            break;
    }
    Shutdown();
    if (m_senderThread.joinable())
        m_senderThread.join();
    m_pDevice->SetInterruptHandler(nullptr);
    m_pDevice->SetServiceRequestHandler(nullptr);
    m_locks.ReleaseAll(m_strDevice, m_uOwner);
    if (m_fnEnded)
        m_fnEnded(m_uId);
}
