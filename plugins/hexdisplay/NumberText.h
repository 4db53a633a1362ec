#pragma once

#include <QString>
#include <QtGlobal>

// Text and parsing of one unsigned number in the in-place edit's bases,
// without any widget.
class CNumberText
{
public:
    enum EBase { kDecimal = 0, kHexadecimal = 1, kBinary = 2, kOctal = 3, kCharacter = 4 };

    struct SRange
    {
        quint32 uMin = 0;
        quint32 uMax = 0;
    };
    // Mode 1: one byte, mode 2: two bytes, mode 0: between the two bounds.
    static SRange RangeFor(int nMode, quint32 uBoundA, quint32 uBoundB);
    // Characters of the maximum in that base; also the typing limit.
    static int MaxChars(quint32 uMax, int nBase);
    static QString Format(quint32 uValue, int nBase, int nMaxChars);
    static quint32 Parse(const QString& strText, int nBase);
    // Whether a printable character belongs to the base (a-f count as A-F).
    static bool Accepts(QChar ch, int nBase);
};
