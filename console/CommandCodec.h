#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

class QTime;

// The byte and text rules of the console's instrument traffic, kept apart
// from the window so they can be tested without one.
class CCommandCodec
{
public:
    // A "?" anywhere but in front makes a query; "?" alone at the start is
    // how some instruments spell a header-less command, not a question.
    // A "?" inside a quoted string or inside block data asks nothing: waiting
    // for an answer to DISP:TEXT "Ready?" would only run into the time-out.
    static bool IsQuery(const QString& strCommand);

    // The 8-bit form of strText followed by a zero byte, one byte per
    // character (ISO 8859-1). vecBuffer grows to hold that plus the CR, LF
    // and closing zero that AppendTerminators may put behind the text's own
    // zero byte, and is never shrunk. False, with vecBuffer's content
    // unspecified, when a character has no 8-bit form.
    static bool ToLatin1(const QString& strText, std::vector<char>& vecBuffer);

    // Appends CR, then LF, as asked, after the first nCount bytes and puts a
    // zero behind them; returns the number of bytes to send. vecBuffer must
    // hold nCount + 3 bytes (ToLatin1 makes sure it does for any nCount up to
    // the text's length plus its zero byte).
    static int AppendTerminators(std::vector<char>& vecBuffer, int nCount, bool bCR, bool bLF);

    // "%2d:%2d:%2d %3d ": blank-padded, as the session history shows times.
    static QString TimePrefix(const QTime& time);

    // Answer bytes as text: up to the first zero byte, at most nMaxChars
    // characters, byte n widened to U+00nn.
    static QString WidenAnswer(const char* pData, std::size_t uLength, int nMaxChars);

    // Text files of unknown origin: UTF-8 where the bytes form UTF-8, and
    // any byte that does not taken as ISO 8859-1, so nothing is lost or
    // replaced.
    static QString DecodeUtf8OrLatin1(const QByteArray& baBytes);
};
