#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Finds where the program messages end in the bytes a device receives: at LF
// outside quoted strings and definite-length blocks, and on END-flag
// transports also at a write flagged with END. Not thread-safe: the device
// feeds it under its own lock.
class CMessageFramer
{
public:
    // Stream transports (raw SOCKET) have no END indicator: a program message
    // ends only at LF outside a block or string. EndFlag transports (VXI-11,
    // HiSLIP) also end a message at a write flagged with END.
    enum class EFraming { Stream, EndFlag };

    struct SMessage
    {
        std::string strText;      // as received, terminator included
        bool bEndedByLineFeed = false;
        bool bOverrun = false;    // too large: its text was dropped
    };
    // Takes one complete message; false stops the feed (the connection is going down).
    using MessageSink = std::function<bool(SMessage& message)>;

    explicit CMessageFramer(EFraming eFraming) : m_eFraming(eFraming) {}

    // bEnd marks the last byte as carrying END.
    void Feed(const char* pData, size_t nLen, bool bEnd, const MessageSink& fnSink);
    // The bytes of an unfinished message (empty after an overrun); the framer starts afresh.
    std::string TakeUnterminated();
    void Reset();

private:
    enum class EState { Normal, String, StringQuote, StringComma, Hash, BlockDigits, BlockData, Indefinite };

    void Append(const char* p, size_t n);
    bool Complete(bool bEndedByLineFeed, const MessageSink& fnSink);

    const EFraming m_eFraming;
    std::string m_strInput;
    EState m_eState = EState::Normal;
    char m_cQuote = 0;
    bool m_bBlockInString = false;
    uint64_t m_uBlockLeft = 0;
    int m_nBlockDigitsLeft = 0;
    bool m_bOverrun = false;
};
