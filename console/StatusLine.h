#pragma once

#include <QString>

#include <cstdint>

class CInstrumentVISA;

// The line that says which VISA status caused a failure the console reports, in the VISA
// library's own words: "VI_ERROR_TMO: Timeout expired before operation completed." The
// fixed messages and history lines stay as they are; this line only follows them.
class CStatusLine
{
public:
    // Empty when nStatus does not explain a failure: success, and the completion codes a
    // read takes as progress (termination character, full buffer), which a failure such as
    // running out of memory may leave behind as the last status.
    static QString Format(std::int32_t nStatus, const QString& strName, const QString& strDesc);
    // The session's last status as above; empty without a session.
    static QString Of(const CInstrumentVISA* pInstrument);

    // A message box text: the message, then the status line on a line of its own.
    static QString Message(const QString& strMessage, const QString& strStatus);
    // The history's line after an error line, or empty when there is no status to name.
    static QString HistoryLine(const QString& strStatus);
};
