#include "NumberText.h"

#include <limits>

namespace {

int Radix(int nBase)
{
    switch (nBase) {
    case CNumberText::kHexadecimal:
        return 16;
    case CNumberText::kBinary:
        return 2;
    case CNumberText::kOctal:
        return 8;
    default:
        return 10;
    }
}

int DigitValue(QChar ch)
{
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return 99;
}

} // namespace

CNumberText::SRange CNumberText::RangeFor(int nMode, quint32 uBoundA, quint32 uBoundB)
{
    if (nMode == 1)
        return {0, 0xFF};
    if (nMode == 2)
        return {0, 0xFFFF};
    return uBoundA < uBoundB ? SRange{uBoundA, uBoundB} : SRange{uBoundB, uBoundA};
}

int CNumberText::MaxChars(quint32 uMax, int nBase)
{
    if (uMax == 0)
        return 0;
    if (nBase == kCharacter)
        return 1;
    const quint32 uRadix = static_cast<quint32>(Radix(nBase));
    int nDigits = 0;
    for (quint32 u = uMax; u != 0; u /= uRadix)
        ++nDigits;
    return nDigits;
}

QString CNumberText::Format(quint32 uValue, int nBase, int nMaxChars)
{
    switch (nBase) {
    case kHexadecimal: {
        // Exactly nMaxChars digits: a range of 0 to 0 has an empty text.
        QString str;
        for (int n = nMaxChars - 1; n >= 0; --n)
            str += QLatin1Char("0123456789ABCDEF"[n < 8 ? (uValue >> (4 * n)) & 0xF : 0]);
        return str;
    }
    case kBinary: {
        QString str;
        for (int n = nMaxChars - 1; n >= 0; --n) {
            str += n < 32 && ((uValue >> n) & 1) ? QLatin1Char('1') : QLatin1Char('0');
            if (n > 0 && n % 8 == 0)
                str += QLatin1Char('-');
        }
        return str;
    }
    case kOctal:
        return QString::number(uValue, 8);
    case kCharacter:
        return uValue < 32 ? QStringLiteral(".") : QString(QChar(static_cast<char16_t>(uValue)));
    default:
        return QString::number(uValue);
    }
}

quint32 CNumberText::Parse(const QString& strText, int nBase)
{
    if (nBase == kCharacter)
        return strText.isEmpty() ? 0 : strText.at(0).unicode() % 256;
    const int nRadix = Radix(nBase);
    int n = 0;
    while (n < strText.size() && strText.at(n).isSpace())
        ++n;
    quint64 uValue = 0;
    for (; n < strText.size(); ++n) {
        const QChar ch = strText.at(n);
        if (nBase == kBinary && ch == QLatin1Char('-'))
            continue;
        const int nDigit = DigitValue(ch);
        if (nDigit >= nRadix)
            break;
        uValue = uValue * nRadix + nDigit;
        if (uValue > std::numeric_limits<quint32>::max())
            return std::numeric_limits<quint32>::max();
    }
    return static_cast<quint32>(uValue);
}

bool CNumberText::Accepts(QChar ch, int nBase)
{
    if (nBase == kCharacter)
        return true;
    const int nDigit = DigitValue(ch.toUpper());
    return nDigit < Radix(nBase);
}
