#include "MessageFramer.h"

#include <algorithm>

namespace {

// A message larger than this is dropped with -363 instead of growing the
// input buffer without bound; uploads to mass memory stay well below it.
const size_t kMaxMessageBytes = 128u * 1024 * 1024;

} // namespace

void CMessageFramer::Reset()
{
    m_strInput.clear();
    m_eState = EState::Normal;
    m_cQuote = 0;
    m_bBlockInString = false;
    m_uBlockLeft = 0;
    m_nBlockDigitsLeft = 0;
    m_bOverrun = false;
}

std::string CMessageFramer::TakeUnterminated()
{
    std::string strText;
    if (!m_bOverrun)
        strText.swap(m_strInput);
    Reset();
    return strText;
}

void CMessageFramer::Append(const char* p, size_t n)
{
    if (m_bOverrun)
        return;
    if (m_strInput.size() + n > kMaxMessageBytes) {
        m_bOverrun = true;
        m_strInput.clear();
        m_strInput.shrink_to_fit();
        return;
    }
    m_strInput.append(p, n);
}

bool CMessageFramer::Complete(bool bEndedByLineFeed, const MessageSink& fnSink)
{
    SMessage message;
    message.strText.swap(m_strInput);
    message.bEndedByLineFeed = bEndedByLineFeed;
    message.bOverrun = m_bOverrun;
    Reset();
    return fnSink(message);
}

void CMessageFramer::Feed(const char* pData, size_t nLen, bool bEnd, const MessageSink& fnSink)
{
    size_t i = 0;
    while (i < nLen) {
        if (m_eState == EState::BlockData) {
            const size_t nTake = static_cast<size_t>(std::min<uint64_t>(m_uBlockLeft, nLen - i));
            Append(pData + i, nTake);
            i += nTake;
            m_uBlockLeft -= nTake;
            if (m_uBlockLeft == 0)
                m_eState = m_bBlockInString ? EState::String : EState::Normal;
            continue;
        }
        const char c = pData[i++];
        Append(&c, 1);
        bool bComplete = false;
        for (bool bAgain = true; bAgain;) {
            bAgain = false;
            switch (m_eState) {
            case EState::Normal:
                if (c == '\n') {
                    bComplete = true;
                } else if (c == '"' || c == '\'') {
                    m_eState = EState::String;
                    m_cQuote = c;
                } else if (c == '#') {
                    m_eState = EState::Hash;
                    m_bBlockInString = false;
                }
                break;
            case EState::String:
                // An LF still ends the message: a lost closing quote must not
                // swallow every later message.
                if (c == '\n')
                    bComplete = true;
                else if (c == m_cQuote)
                    m_eState = EState::StringQuote;
                else if (c == ',')
                    m_eState = EState::StringComma;
                break;
            case EState::StringQuote:
                // A doubled quote stays inside the string.
                if (c == m_cQuote) {
                    m_eState = EState::String;
                } else {
                    m_eState = EState::Normal;
                    bAgain = true;
                }
                break;
            case EState::StringComma:
                // "name,#<block>": a block may follow a comma inside a string.
                if (c == '#') {
                    m_eState = EState::Hash;
                    m_bBlockInString = true;
                } else {
                    m_eState = EState::String;
                    bAgain = true;
                }
                break;
            case EState::Hash:
                if (c >= '1' && c <= '9') {
                    m_nBlockDigitsLeft = c - '0';
                    m_uBlockLeft = 0;
                    m_eState = EState::BlockDigits;
                } else if (c == '0' && !m_bBlockInString) {
                    m_eState = EState::Indefinite;
                } else {
                    m_eState = m_bBlockInString ? EState::String : EState::Normal;
                    bAgain = true;
                }
                break;
            case EState::BlockDigits:
                if (c >= '0' && c <= '9') {
                    m_uBlockLeft = m_uBlockLeft * 10 + static_cast<uint64_t>(c - '0');
                    if (--m_nBlockDigitsLeft == 0)
                        m_eState = m_uBlockLeft ? EState::BlockData
                                                : (m_bBlockInString ? EState::String : EState::Normal);
                } else {
                    m_eState = m_bBlockInString ? EState::String : EState::Normal;
                    bAgain = true;
                }
                break;
            case EState::BlockData:
                break;
            case EState::Indefinite:
                // Only LF with END closes an indefinite block; a stream has no END, so LF must do.
                if (c == '\n' && (m_eFraming == EFraming::Stream || (bEnd && i == nLen)))
                    bComplete = true;
                break;
            }
        }
        if (bComplete && !Complete(true, fnSink))
            return;
    }
    if (bEnd && m_eFraming == EFraming::EndFlag && (!m_strInput.empty() || m_bOverrun))
        Complete(false, fnSink);
}
