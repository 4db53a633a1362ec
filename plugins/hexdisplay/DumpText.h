#pragma once

#include <QString>
#include <QtGlobal>

// Value reading and the cell strings of the dump, without any widget. Every
// cell string is the value's digits with one space either side, so that
// neighbouring cells drawn one digit width apart share their padding.
class CDumpText
{
public:
    // Value nIndex of nBytes bytes at pData: one byte, or two bytes read as a
    // big- or little-endian unsigned number. Out-of-range indices read 0.
    static quint32 ReadValue(const uchar* pData, int nBytes, int nIndex, quint32 uStyle);

    // nDigits is the column's width in characters (CDumpLayout::Digits).
    static QString AddressCell(int nIndex, int nDigits);
    static QString ValueCell(int nKind, quint32 uValue, int nValueBytes, int nDigits, QChar chPlaceholder);
    // A cell of the same width with no value, for an empty dump's header.
    static QString BlankCell(int nDigits) { return QString(nDigits + 2, QLatin1Char(' ')); }

    static QString Binary(quint32 uValue, int nBits);
};
