#include "ScpiShortForm.h"

#include <algorithm>

namespace {

// IEEE 488.2 white space is every control character but LF, and the space;
// the LF that would end the message is taken as white space too.
bool IsWhiteSpace(QChar ch)
{
    return ch.unicode() <= 0x20;
}

bool IsAsciiDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

bool IsAsciiUpper(QChar ch)
{
    return ch >= QLatin1Char('A') && ch <= QLatin1Char('Z');
}

bool IsAsciiLower(QChar ch)
{
    return ch >= QLatin1Char('a') && ch <= QLatin1Char('z');
}

} // namespace

QString CScpiShortForm::Convert(const QString& strLong)
{
    const QStringView text(strLong);
    const qsizetype nSize = text.size();
    QString strOut;
    strOut.reserve(nSize);
    qsizetype n = 0;
    while (n < nSize) {
        while (n < nSize && IsWhiteSpace(text[n]))
            strOut += text[n++];
        const qsizetype nHeader = n;
        while (n < nSize && !IsWhiteSpace(text[n]) && text[n] != QLatin1Char(';'))
            ++n;
        AppendShortHeader(text.mid(nHeader, n - nHeader), strOut);
        const qsizetype nParameters = ParameterLength(text, n);
        strOut += text.mid(n, nParameters);
        n += nParameters;
        if (n < nSize)
            strOut += text[n++];
    }
    return strOut;
}

void CScpiShortForm::AppendShortHeader(QStringView header, QString& strOut)
{
    qsizetype nStart = 0;
    while (nStart <= header.size()) {
        qsizetype nEnd = header.indexOf(QLatin1Char(':'), nStart);
        if (nEnd < 0)
            nEnd = header.size();
        const QStringView mnemonic = header.mid(nStart, nEnd - nStart);
        if (std::any_of(mnemonic.begin(), mnemonic.end(), IsAsciiUpper)) {
            for (QChar ch : mnemonic) {
                if (!IsAsciiLower(ch))
                    strOut += ch;
            }
        } else {
            strOut += mnemonic;
        }
        if (nEnd < header.size())
            strOut += QLatin1Char(':');
        nStart = nEnd + 1;
    }
}

qsizetype CScpiShortForm::ParameterLength(QStringView text, qsizetype nFrom)
{
    qsizetype n = nFrom;
    while (n < text.size() && text[n] != QLatin1Char(';')) {
        const QChar ch = text[n];
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
            // A doubled quote inside a string closes and reopens it, which
            // this scan handles as two strings in a row. An unterminated
            // string runs to the end.
            const qsizetype nClose = text.indexOf(ch, n + 1);
            n = nClose < 0 ? text.size() : nClose + 1;
        } else if (const qsizetype nBlock = BlockLength(text, n)) {
            n += nBlock;
        } else {
            ++n;
        }
    }
    return n - nFrom;
}

qsizetype CScpiShortForm::BlockLength(QStringView text, qsizetype nFrom)
{
    const qsizetype nRest = text.size() - nFrom;
    if (nRest < 2 || text[nFrom] != QLatin1Char('#') || !IsAsciiDigit(text[nFrom + 1]))
        return 0;
    const int nDigits = text[nFrom + 1].unicode() - '0';
    // "#0": indefinite length, the data runs to the end of the message.
    if (nDigits == 0)
        return nRest;
    if (nRest < 2 + nDigits)
        return 0;
    qint64 nData = 0;
    for (int i = 0; i < nDigits; ++i) {
        const QChar ch = text[nFrom + 2 + i];
        if (!IsAsciiDigit(ch))
            return 0;
        nData = nData * 10 + (ch.unicode() - '0');
    }
    // A block cut short by the end of the text keeps all that is there.
    return std::min<qint64>(nRest, 2 + nDigits + nData);
}
