#pragma once

#include <QString>
#include <QStringList>

// Asks the VISA library which instruments are there and who they are. Each call is blocking
// and bounded (the library's search time, the time-out given), so it belongs on a worker thread.
class CInstrumentFinder
{
public:
    enum class EKind { Vxi11, HiSlip, Socket, Serial, Usb, Gpib, Other };
    enum class EResult { Found, NoneFound, BadExpression, Failed };

    static EResult Find(const QString& strExpression, QStringList& lstNames, int& nStatus);
    static EKind Kind(const QString& strName);
    // The instrument's answer to "*IDN?", or an empty string when it gave none in time.
    static QString Identify(const QString& strName, int nTimeOutMs);
};
