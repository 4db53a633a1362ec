// The asynchronous channel of a HiSLIP session: status, clear, locks, remote/local.
#include "HislipSession.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Device.h"
#include "SocketUtil.h"
#include "hislip_codec.h"
#include "HislipLockTable.h"

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

constexpr uint64_t kMaxAsyncPayload = 64 * 1024;
constexpr size_t kMaxLockString = 256;

} // namespace

bool CHislipSession::HandleAsyncMessage(const hislip_header& hdr, const std::string& strPayload)
{
    switch (hdr.type) {
    case HISLIP_ASYNC_STATUS_QUERY: {
        OnRmtDelivered(hdr.control);
        GoRemoteIfEnabled();
        return SendAsync(HISLIP_ASYNC_STATUS_RESPONSE, StatusByte(hdr.param), 0);
    }
    case HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE: {
        if (strPayload.size() != 8) {
            static const char kText[] = "AsyncMaximumMessageSize needs 8 bytes";
            return SendAsync(HISLIP_ERROR, HISLIP_ERR_UNIDENTIFIED, 0, kText, sizeof kText - 1);
        }
        const uint64_t uClientMax = hislip_get_u64(reinterpret_cast<const uint8_t*>(strPayload.data()));
        // The limit counts the header; a client allowing less than a header
        // plus one byte still gets one byte per message.
        uint64_t uPayload = uClientMax > kHislipHeaderSize ? uClientMax - kHislipHeaderSize : 1;
        // Answers are cut to our own limit however much the client allows,
        // so that a session that never reads holds at most one such piece.
        uPayload = std::min<uint64_t>(uPayload, kMaxMessageSize - kHislipHeaderSize);
        m_uClientMaxPayload = uPayload;
        uint8_t raw[8];
        hislip_put_u64(kMaxMessageSize, raw);
        return SendAsync(HISLIP_ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE, 0, 0, reinterpret_cast<const char*>(raw), 8);
    }
    case HISLIP_ASYNC_DEVICE_CLEAR: {
        GoRemoteIfEnabled();
        {
            // No answer to a message taken in before this point is sent from
            // now on, wherever it is on its way. A frame already going out is
            // finished; waiting for it here would stall the clear, because the
            // client reads the synchronous channel only after our acknowledgement.
            std::lock_guard<std::mutex> serialGuard(m_serialMtx);
            m_bClearing = true;
            m_uFirstValidSerial = m_uNextSerial;
        }
        m_pDevice->Clear();
        m_pDevice->Wake();
        return SendAsync(HISLIP_ASYNC_DEVICE_CLEAR_ACKNOWLEDGE, 0, 0);
    }
    case HISLIP_ASYNC_LOCK: {
        GoRemoteIfEnabled();
        if (hdr.control == HISLIP_LOCK_REQUEST) {
            if (strPayload.size() > kMaxLockString)
                return SendAsync(HISLIP_ASYNC_LOCK_RESPONSE, HISLIP_LOCK_ERROR, 0);
            const CHislipLockTable::EResult eResult =
                m_locks.Acquire(m_strDevice, m_uOwner, strPayload, hdr.param, m_bClosing);
            const uint8_t uCode = eResult == CHislipLockTable::EResult::Granted ? HISLIP_LOCK_SUCCESS
                : eResult == CHislipLockTable::EResult::TimedOut              ? HISLIP_LOCK_FAIL
                                                                              : HISLIP_LOCK_ERROR;
            return SendAsync(HISLIP_ASYNC_LOCK_RESPONSE, uCode, 0);
        }
        if (hdr.control == HISLIP_LOCK_RELEASE) {
            // The release takes effect once the client's last message has
            // been taken in; wait for it a little, never for long.
            {
                std::unique_lock<std::mutex> guard(m_stateMtx);
                m_cvState.wait_for(guard, std::chrono::seconds(1), [&] {
                    return m_bClosing || hdr.param == kHislipNoMessageId || m_uLastReceivedId == hdr.param;
                });
            }
            const CHislipLockTable::ERelease eRelease = m_locks.Release(m_strDevice, m_uOwner);
            const uint8_t uCode = eRelease == CHislipLockTable::ERelease::Exclusive ? HISLIP_LOCK_SUCCESS
                : eRelease == CHislipLockTable::ERelease::Shared                  ? HISLIP_LOCK_SHARED_RELEASED
                                                                                  : HISLIP_LOCK_ERROR;
            return SendAsync(HISLIP_ASYNC_LOCK_RESPONSE, uCode, 0);
        }
        static const char kText[] = "unrecognized lock control code";
        return SendAsync(HISLIP_ERROR, HISLIP_ERR_UNRECOGNIZED_CONTROL, 0, kText, sizeof kText - 1);
    }
    case HISLIP_ASYNC_LOCK_INFO:
        return SendAsync(HISLIP_ASYNC_LOCK_INFO_RESPONSE, m_locks.ExclusiveGranted(m_strDevice) ? 1 : 0,
                         m_locks.HolderCount(m_strDevice));
    case HISLIP_ASYNC_REMOTE_LOCAL_CONTROL:
        if (hdr.control > 6) {
            static const char kText[] = "unrecognized remote/local control code";
            return SendAsync(HISLIP_ERROR, HISLIP_ERR_UNRECOGNIZED_CONTROL, 0, kText, sizeof kText - 1);
        }
        RemoteLocalControl(hdr.control);
        return SendAsync(HISLIP_ASYNC_REMOTE_LOCAL_RESPONSE, 0, 0);
    case HISLIP_FATAL_ERROR:
        return false;
    case HISLIP_ERROR:
        return true;
    default: {
        const bool bVendor = hdr.type >= HISLIP_VENDOR_SPECIFIC_FIRST;
        static const char kUnknown[] = "unrecognized message type";
        static const char kVendor[] = "unrecognized vendor-defined message";
        return SendAsync(HISLIP_ERROR, bVendor ? HISLIP_ERR_UNRECOGNIZED_VENDOR : HISLIP_ERR_UNRECOGNIZED_MSG_TYPE,
                         0, bVendor ? kVendor : kUnknown, bVendor ? sizeof kVendor - 1 : sizeof kUnknown - 1);
    }
    }
}

void CHislipSession::RunAsync()
{
    int nFd;
    {
        std::lock_guard<std::mutex> guard(m_fdMtx);
        nFd = m_nAsyncFd;
    }
    while (nFd >= 0 && !m_bClosing) {
        uint8_t raw[kHislipHeaderSize];
        if (!SimSocket::ReceiveExact(nFd, reinterpret_cast<char*>(raw), sizeof raw, -1))
            break;
        hislip_header hdr;
        if (hislip_decode_header(raw, &hdr) != HISLIP_DECODE_OK) {
            SendFatal(HISLIP_FATAL_BAD_HEADER, "bad prologue");
            break;
        }
        if (hdr.length > kMaxAsyncPayload) {
            SendFatal(HISLIP_FATAL_BAD_HEADER, "asynchronous message too large");
            break;
        }
        std::string strPayload(static_cast<size_t>(hdr.length), '\0');
        if (!strPayload.empty() && !SimSocket::ReceiveExact(nFd, &strPayload[0], strPayload.size(), -1))
            break;
        if (!HandleAsyncMessage(hdr, strPayload))
            break;
    }
    Shutdown();
}
