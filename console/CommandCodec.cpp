#include "CommandCodec.h"

#include <QTime>

#include <algorithm>
#include <cstring>

bool CCommandCodec::IsQuery(const QString& strCommand)
{
    return strCommand.lastIndexOf(QLatin1Char('?')) > 0;
}

bool CCommandCodec::ToLatin1(const QString& strText, std::vector<char>& vecBuffer)
{
    const std::size_t uNeeded = std::size_t(strText.size()) + 3;
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
