#include "ValueCounter.h"

#include <cstring>

QString CValueCounter::AnswerText(const char* pAnswer, std::int32_t nLength)
{
    if (!pAnswer || nLength <= 0)
        return QString();
    const void* pNul = std::memchr(pAnswer, '\0', std::size_t(nLength));
    const qsizetype nText = pNul ? static_cast<const char*>(pNul) - pAnswer : nLength;
    return QString::fromLatin1(pAnswer, nText);
}

qsizetype CValueCounter::CountSeparators(const QString& strText, const QString& strSeparator)
{
    if (strSeparator.isEmpty())
        return 0;
    return strText.count(strSeparator.at(0), Qt::CaseSensitive);
}
