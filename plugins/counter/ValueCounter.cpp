#include "ValueCounter.h"

#include <algorithm>
#include <cstring>

QLatin1String CValueCounter::AnswerText(const char* pAnswer, std::int32_t nLength)
{
    if (!pAnswer || nLength <= 0)
        return QLatin1String();
    const void* pNul = std::memchr(pAnswer, '\0', std::size_t(nLength));
    const qsizetype nText = pNul ? static_cast<const char*>(pNul) - pAnswer : nLength;
    return QLatin1String(pAnswer, nText);
}

qsizetype CValueCounter::CountSeparators(const QString& strText, const QString& strSeparator)
{
    if (strSeparator.isEmpty())
        return 0;
    return strText.count(strSeparator.at(0), Qt::CaseSensitive);
}

qsizetype CValueCounter::CountSeparators(QLatin1String text, const QString& strSeparator)
{
    // Latin-1 text holds no character beyond U+00FF.
    if (strSeparator.isEmpty() || strSeparator.at(0).unicode() > 0xFF)
        return 0;
    return std::count(text.begin(), text.end(), char(strSeparator.at(0).unicode()));
}
