#pragma once

#include "MessageFramer.h"
#include "ScpiHost.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CInstrumentState;
class CWireLog;
class CScpiEngine;

// One IEEE 488.2 message exchange (input buffer, parser, output queue, status
// registers, error queue) of the simulated instrument. Every server protocol
// drives a device through this class only; all members are thread-safe.
//
// A reading thread may block in Read() while other threads Write(), Clear(),
// read the status byte or Close() the device.
class CDevice : private CScpiHost
{
public:
    using EFraming = CMessageFramer::EFraming;

    // Queue: every response stays readable in order (raw SOCKET, HiSLIP
    // overlapped). Interrupt: IEEE 488.2 exchange; a new program message
    // discards an unread response and records -410 "Query INTERRUPTED".
    enum class EResponseMode { Queue, Interrupt };

    enum class EReadStatus {
        Data,     // strData holds 1..nMax bytes; bEnd says whether they end a response
        TimedOut, // nothing readable before the deadline
        Aborted,  // Wake() was called while waiting
        Closed,   // Close() was called
        HungUp    // TEST:HANGup text fully taken: the server must drop the connection
    };

    struct SReadResult
    {
        EReadStatus eStatus = EReadStatus::TimedOut;
        std::string strData;
        bool bEnd = false;    // last byte of strData is the response's last byte (END)
        uint32_t uTag = 0;    // tag of the Write() that completed the program message
    };

    using Clock = std::chrono::steady_clock;

    CDevice(std::string strName, std::shared_ptr<CInstrumentState> pState,
            std::shared_ptr<CWireLog> pLog, EFraming eFraming, EResponseMode eMode);
    ~CDevice();

    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    const std::string& Name() const { return m_strName; }

    // Feeds received bytes. bEnd marks the last byte as carrying END (VXI-11
    // end flag, HiSLIP DataEnd). Complete program messages are logged and
    // executed before Write returns. uTag is handed back with the responses the
    // message produced (HiSLIP MessageID). Input after a hang-up is ignored.
    void Write(const char* pData, size_t nLen, bool bEnd, uint32_t uTag = 0);
    void Write(const std::string& strData, bool bEnd, uint32_t uTag = 0);

    // Takes up to nMax bytes (nMax >= 1) of the oldest response, never crossing
    // into the next response. Waits until tDeadline when nothing is readable
    // yet (a TEST:DELay answer becomes readable only when its delay expired).
    // bTalkAddressed: the controller explicitly asked to read (VXI-11
    // device_read); if no response is queued or pending, -420 "Query
    // UNTERMINATED" is recorded before waiting.
    SReadResult Read(size_t nMax, Clock::time_point tDeadline, bool bTalkAddressed = false);
    SReadResult Read(size_t nMax, std::chrono::milliseconds tTimeout, bool bTalkAddressed = false);
    // The same into a result kept by the caller, whose buffer is reused: a long answer taken in
    // large pieces then costs no allocation and no fresh pages per piece.
    void ReadInto(SReadResult& result, size_t nMax, Clock::time_point tDeadline, bool bTalkAddressed = false);

    // A stream connection closed in the middle of a program message: writes
    // the bytes received so far to the wire log as one line and drops them,
    // so the log still shows everything the peer sent.
    void LogUnterminatedInput();

    // Wakes the threads blocked in Read() now (they get Aborted); later reads wait normally.
    void Wake();
    // Permanently wakes and refuses readers (connection or link closing).
    void Close();

    // Device clear: drops unread input, the partial message, queued and
    // delayed output and a pending hang-up; status and error queue stay.
    void Clear();

    // Status byte with MAV (0x10) from readable output and MSS (0x40) from SRE.
    uint8_t StatusByte() const;
    // Readable or still delayed output: a peer that half-closed still gets it.
    bool HasPendingOutput() const;
    // True while unread responses pile up (a peer that writes but never
    // reads); stream servers stop reading input until it drains.
    bool OutputBacklogged() const;

    // Remote/local state (&GTR, &GTL, VXI-11 device_remote/local, HiSLIP REN control).
    void SetRemote(bool bRemote);
    bool IsRemote() const;
    void SetLocalLockout(bool bLockout);
    bool IsLocalLockout() const;

    // Group execute trigger (VXI-11 device_trigger, HiSLIP Trigger, *TRG).
    void Trigger();
    unsigned TriggerCount() const;

    // True once the text of TEST:HANGup has been taken by Read().
    bool HangupRequested() const;

    // Exclusive lock shared by all links to this device. uOwner is any id
    // unique to the link (never 0). Waits up to tTimeout for another owner.
    bool AcquireLock(uint64_t uOwner, std::chrono::milliseconds tTimeout);
    bool ReleaseLock(uint64_t uOwner); // false when uOwner did not hold it
    uint64_t LockOwner() const;        // 0 when unlocked

    // Called (outside the device's lock) when the MSS summary rises, with the
    // status byte; and when an unread response is discarded by a new message,
    // with the tag of the interrupting message.
    void SetServiceRequestHandler(std::function<void(uint8_t)> fnHandler);
    void SetInterruptHandler(std::function<void(uint32_t)> fnHandler);

    // Output segment: literal bytes, or a generated run of test bytes that is
    // never materialised whole (TEST:TEXT?, TEST:BLOCk? of any size).
    struct SSegment
    {
        enum class EKind { Literal, Text, Ramp } eKind = EKind::Literal;
        std::string strBytes;
        uint64_t uLength = 0;
    };

private:
    struct SResponse
    {
        std::vector<SSegment> lstSegments;
        uint64_t uTotal = 0;
        uint64_t uTaken = 0;
        Clock::time_point tReady;
        bool bTerminated = true; // ends with LF^END; false for hang-up text
        bool bHangup = false;
        uint32_t uTag = 0;
    };

    void CountTrigger() override;
    uint8_t CurrentStatusByte() const override;
    void SetRemoteState(bool bRemote) override;

    void FeedLocked(const char* pData, size_t nLen, bool bEnd, uint32_t uTag,
                    std::vector<std::function<void()>>& lstNotify);
    void CompleteMessageLocked(CMessageFramer::SMessage& message, uint32_t uTag,
                               std::vector<std::function<void()>>& lstNotify);
    void CheckServiceRequestLocked(std::vector<std::function<void()>>& lstNotify);
    bool ReadableLocked(Clock::time_point tNow) const;
    uint8_t StatusByteLocked(Clock::time_point tNow) const;
    static void CopyOut(SResponse& resp, size_t nMax, std::string& strOut);

    const std::string m_strName;
    const std::shared_ptr<CInstrumentState> m_pState;
    const std::shared_ptr<CWireLog> m_pLog;

    mutable std::mutex m_mtx;
    std::condition_variable m_cvOutput;
    std::condition_variable m_cvLock;
    EResponseMode m_eMode;
    std::unique_ptr<CScpiEngine> m_pEngine;

    CMessageFramer m_framer;

    std::deque<SResponse> m_lstOutput;
    bool m_bClosed = false;
    uint64_t m_uWakeGeneration = 0;
    bool m_bHangupPending = false;
    bool m_bHangupTaken = false;
    bool m_bRemote = false;
    bool m_bLocalLockout = false;
    bool m_bLastMss = false;
    unsigned m_uTriggers = 0;
    uint64_t m_uLockOwner = 0;

    std::function<void(uint8_t)> m_fnServiceRequest;
    std::function<void(uint32_t)> m_fnInterrupt;
};
