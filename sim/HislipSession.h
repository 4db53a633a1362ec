#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Device.h"

class CHislipLockTable;
namespace velq { struct hislip_header; }

// One HiSLIP client: the synchronous connection (its thread reads client data
// and a sender thread streams answers) and the asynchronous one (its thread
// answers status queries, clears, locks and remote/local requests).
class CHislipSession : public std::enable_shared_from_this<CHislipSession>
{
public:
    static constexpr uint64_t kMaxMessageSize = 1u << 20; // header included

    // pDevice is the session's own message exchange, locks the table shared
    // per device name; fnEnded tells the server once the session has ended.
    CHislipSession(uint16_t uId, std::string strDevice, int nSyncFd, std::shared_ptr<CDevice> pDevice,
                   CHislipLockTable& locks, std::function<void(uint16_t uId)> fnEnded);
    ~CHislipSession();

    CHislipSession(const CHislipSession&) = delete;
    CHislipSession& operator=(const CHislipSession&) = delete;

    uint16_t Id() const { return m_uId; }
    uint64_t Owner() const { return m_uOwner; }

    // Takes the asynchronous connection; false when one is attached already.
    bool AttachAsync(int nFd);
    // Run on the threads that accepted the two connections; each returns when
    // its connection ends, and the first to end takes the whole session down.
    void RunSync();
    void RunAsync();
    // Wakes every thread of the session; safe from any thread, any number of times.
    void Shutdown();
    // How long both channels have been silent (see CListener::SilentMs).
    int64_t SilentMs() const;

    // Writes one whole message (header and payload) to nFd; false when the peer is gone.
    static bool SendFrame(int nFd, uint8_t uType, uint8_t uControl, uint32_t uParam, const char* pData,
                          size_t nLen);

private:
    class CReader;

    void SenderLoop();
    void AfterInput();
    void SendPendingInterrupt();
    void SendPendingInterruptLocked();
    // false when the connection failed
    bool SendAnswer(const CDevice::SReadResult& result);
    uint32_t ClientMessageId(uint32_t uSerial) const;
    bool IsStale(uint32_t uSerial) const;
    bool SendSync(uint8_t uType, uint8_t uControl, uint32_t uParam, const char* pData, size_t nLen);
    bool SendAsync(uint8_t uType, uint8_t uControl, uint32_t uParam, const char* pData = nullptr,
                   size_t nLen = 0);
    void SendFatal(uint8_t uCode, const char* pText);

    // Waits until no other client's lock holds the device, then takes the
    // message's RMT-delivered bit and message id; false when the session closes.
    bool AcceptInput(const velq::hislip_header& hdr);
    bool HandleSyncMessage(CReader& reader, const velq::hislip_header& hdr);
    bool HandleAsyncMessage(const velq::hislip_header& hdr, const std::string& strPayload);
    void OnRmtDelivered(uint8_t uControl);
    void GoRemoteIfEnabled();
    void RemoteLocalControl(uint8_t uMode);
    uint8_t StatusByte(uint32_t uMessageId);

    CHislipLockTable& m_locks;
    const std::function<void(uint16_t)> m_fnEnded;
    const uint16_t m_uId;
    const uint64_t m_uOwner;
    const std::string m_strDevice;
    std::shared_ptr<CDevice> m_pDevice;

    mutable std::mutex m_fdMtx; // guards the descriptors against Shutdown() from another thread
    int m_nSyncFd;
    int m_nAsyncFd = -1;
    std::atomic<bool> m_bClosing{false};

    std::mutex m_syncSendMtx;
    std::mutex m_asyncSendMtx;
    std::thread m_senderThread;

    // The answer token: who may take answers from the device (see AfterInput).
    std::mutex m_ownMtx;
    std::condition_variable m_cvOwn;
    bool m_bSenderBusy = false;
    bool m_bHandoff = false;

    // Each message handed to the device gets a serial number of our own;
    // answers carry it back. MessageIDs restart at every device clear, serials
    // do not, so an answer to a message from before a clear is recognised
    // wherever it was on its way.
    static constexpr uint32_t kIdRing = 4096;
    std::mutex m_serialMtx;
    uint32_t m_uNextSerial = 1;
    std::atomic<uint32_t> m_uFirstValidSerial{1};
    std::array<std::atomic<uint32_t>, kIdRing> m_auClientIds{};
    std::atomic<bool> m_bClearing{false};
    std::atomic<uint64_t> m_uClientMaxPayload;

    std::mutex m_stateMtx;
    std::condition_variable m_cvState;
    bool m_bMavSent = false;         // an answer went out and RMT-delivered has not come back
    bool m_bInterruptPending = false;
    uint32_t m_uInterruptTag = 0;
    uint32_t m_uLastReceivedId;
    bool m_bRemoteEnable = true;
    uint32_t m_uCompletedSerial = 0; // the last message whose device call has returned
};
