#include "DumpText.h"

#include "DumpLayout.h"

namespace {

QString Padded(const QString& strText)
{
    return QLatin1Char(' ') + strText + QLatin1Char(' ');
}

// Right-aligned in (digits + 2) characters with one trailing space.
QString RightAligned(const QString& strText, int nDigits)
{
    const QString str = QStringLiteral("        ") + strText + QLatin1Char(' ');
    return str.right(nDigits + 2);
}

} // namespace

quint32 CDumpText::ReadValue(const uchar* pData, int nBytes, int nIndex, quint32 uStyle)
{
    if (!pData || nIndex < 0)
        return 0;
    if (!(uStyle & DCS_WORDS))
        return nIndex < nBytes ? pData[nIndex] : 0;
    const qint64 nFirst = 2 * static_cast<qint64>(nIndex);
    if (nFirst + 1 >= nBytes)
        return 0;
    const quint32 uFirst = pData[nFirst];
    const quint32 uSecond = pData[nFirst + 1];
    return (uStyle & DCS_LITTLE_ENDIAN) ? (uSecond << 8) | uFirst : (uFirst << 8) | uSecond;
}

QString CDumpText::AddressCell(int nIndex, int nDigits)
{
    const int nPadded = 2 * ((nDigits + 1) / 2);
    const QString strHex =
        QString::number(static_cast<quint32>(nIndex), 16).toUpper().rightJustified(nPadded, QLatin1Char('0'));
    return Padded(strHex.right(nDigits));
}

QString CDumpText::Binary(quint32 uValue, int nBits)
{
    QString str;
    str.reserve(nBits + nBits / 8);
    for (int nBit = nBits - 1; nBit >= 0; --nBit) {
        str += (uValue >> nBit) & 1 ? QLatin1Char('1') : QLatin1Char('0');
        if (nBit > 0 && nBit % 8 == 0)
            str += QLatin1Char('-');
    }
    return str;
}

QString CDumpText::ValueCell(int nKind, quint32 uValue, int nValueBytes, int nDigits, QChar chPlaceholder)
{
    switch (nKind) {
    case kKindAddr:
        return AddressCell(static_cast<int>(uValue), nDigits);
    case kKindHex:
        return Padded(QString::number(uValue, 16).toUpper().rightJustified(2 * nValueBytes, QLatin1Char('0')));
    case kKindDec:
        return RightAligned(QString::number(uValue), nDigits);
    case kKindBin:
        return Padded(Binary(uValue, 8 * nValueBytes));
    case kKindOct:
        return RightAligned(QString::number(uValue, 8), nDigits);
    case kKindAscii: {
        // Bytes are ISO 8859-1: byte n is the character U+00nn.
        const QChar ch = uValue < 32 && !chPlaceholder.isNull() ? chPlaceholder : QChar(static_cast<char16_t>(uValue));
        return Padded(QString(ch));
    }
    default:
        return BlankCell(nDigits);
    }
}
