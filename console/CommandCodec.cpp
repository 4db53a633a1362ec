#include "CommandCodec.h"

#include <QTime>

#include <algorithm>
#include <cstring>

bool CCommandCodec::IsQuery(const QString& strCommand)
{
    const qsizetype nSize = strCommand.size();
    QChar chQuote;
    for (qsizetype n = 0; n < nSize; ++n) {
        const QChar ch = strCommand.at(n);
        // SCPI strings escape their quote by doubling it, which simply
        // closes and reopens the string here.
        if (!chQuote.isNull()) {
            if (ch == chQuote)
                chQuote = QChar();
            continue;
        }
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
            chQuote = ch;
            continue;
        }
        if (ch == QLatin1Char('?')) {
            if (n > 0)
                return true;
            continue;
        }
        if (ch != QLatin1Char('#') || n + 1 >= nSize)
            continue;
        // Block data is binary: a 0x3F byte in a waveform is no question mark.
        const int nDigits = strCommand.at(n + 1).digitValue();
        if (nDigits == 0)
            return false; // indefinite length: the data runs to the end
        if (nDigits < 0 || n + 2 + nDigits > nSize)
            continue; // "#H1F", "#B101" and the like are numbers, not blocks
        qsizetype nLength = 0;
        bool bHeader = true;
        for (int k = 0; k < nDigits && bHeader; ++k) {
            const int nDigit = strCommand.at(n + 2 + k).digitValue();
            bHeader = nDigit >= 0;
            nLength = nLength * 10 + nDigit;
        }
        if (!bHeader)
            continue;
        const qsizetype nDataEnd = n + 2 + nDigits + nLength;
        if (nDataEnd >= nSize)
            return false;
        n = nDataEnd - 1;
    }
    return false;
}

bool CCommandCodec::ToLatin1(const QString& strText, std::vector<char>& vecBuffer)
{
    const std::size_t uNeeded = std::size_t(strText.size()) + 4;
    if (vecBuffer.size() < uNeeded)
        vecBuffer.resize(uNeeded);
    const QChar* pChars = strText.constData();
    for (int n = 0; n < strText.size(); ++n) {
        const char16_t ch = pChars[n].unicode();
        if (ch > 0xFF)
            return false;
        vecBuffer[std::size_t(n)] = char(ch);
    }
    vecBuffer[std::size_t(strText.size())] = '\0';
    return true;
}

int CCommandCodec::AppendTerminators(std::vector<char>& vecBuffer, int nCount, bool bCR, bool bLF)
{
    int n = nCount;
    if (bCR)
        vecBuffer[std::size_t(n++)] = '\r';
    if (bLF)
        vecBuffer[std::size_t(n++)] = '\n';
    vecBuffer[std::size_t(n)] = '\0';
    return n;
}

QString CCommandCodec::TimePrefix(const QTime& time)
{
    return QString::asprintf("%2d:%2d:%2d %3d ", time.hour(), time.minute(), time.second(), time.msec());
}

QString CCommandCodec::WidenAnswer(const char* pData, std::size_t uLength, int nMaxChars)
{
    if (!pData || nMaxChars <= 0)
        return QString();
    const std::size_t uScan = std::min(uLength, std::size_t(nMaxChars));
    const void* pZero = std::memchr(pData, 0, uScan);
    const std::size_t uText = pZero ? std::size_t(static_cast<const char*>(pZero) - pData) : uScan;
    return QString::fromLatin1(pData, qsizetype(uText));
}

namespace {

// Length of the well-formed UTF-8 sequence at p (shortest form, no
// surrogates, at most U+10FFFF), 0 when there is none.
int Utf8SequenceLength(const unsigned char* p, const unsigned char* pEnd)
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int nLength = 0;
    unsigned char uMin = 0x80;
    unsigned char uMax = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        nLength = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        nLength = 3;
        if (c == 0xE0)
            uMin = 0xA0;
        else if (c == 0xED)
            uMax = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        nLength = 4;
        if (c == 0xF0)
            uMin = 0x90;
        else if (c == 0xF4)
            uMax = 0x8F;
    } else {
        return 0;
    }
    if (pEnd - p < nLength)
        return 0;
    if (p[1] < uMin || p[1] > uMax)
        return 0;
    for (int n = 2; n < nLength; ++n) {
        if (p[n] < 0x80 || p[n] > 0xBF)
            return 0;
    }
    return nLength;
}

} // namespace

QString CCommandCodec::DecodeUtf8OrLatin1(const QByteArray& baBytes)
{
    QString strText;
    strText.reserve(baBytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(baBytes.constData());
    const auto* pEnd = p + baBytes.size();
    while (p < pEnd) {
        const int nLength = Utf8SequenceLength(p, pEnd);
        if (nLength <= 1) {
            strText += QChar(char16_t(*p));
            ++p;
        } else {
            strText += QString::fromUtf8(reinterpret_cast<const char*>(p), nLength);
            p += nLength;
        }
    }
    return strText;
}
