#pragma once

#include <QString>
#include <QStringView>

// The short form of a SCPI program message: each header mnemonic written in
// the documented mixed-case long form (MEASure) loses its lower-case letters
// (MEAS). Only headers change. Parameters, quoted strings and block data are
// kept character for character, since lower-case letters there are values
// ("1e6", a file name), and a mnemonic without upper-case letters has no
// recognisable long form and is kept as typed.
class CScpiShortForm
{
public:
    static QString Convert(const QString& strLong);

private:
    static void AppendShortHeader(QStringView header, QString& strOut);
    // Length of the parameter text from nFrom up to the next message unit
    // separator ';' outside strings and block data, or to the end.
    static qsizetype ParameterLength(QStringView text, qsizetype nFrom);
    // Length of a definite or indefinite length block starting with '#' at
    // nFrom, or 0 when the text there is no block header.
    static qsizetype BlockLength(QStringView text, qsizetype nFrom);
};
