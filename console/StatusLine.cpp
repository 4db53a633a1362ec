#include "StatusLine.h"

#include "InstrumentVISA.h"

QString CStatusLine::Format(std::int32_t nStatus, const QString& strName, const QString& strDesc)
{
    if (nStatus == CInstrument::kReadComplete || nStatus == CInstrument::kReadTermChar
        || nStatus == CInstrument::kReadBufferFull)
        return QString();
    if (strDesc.isEmpty())
        return strName;
    return strName + QStringLiteral(": ") + strDesc;
}

QString CStatusLine::Of(const CInstrumentVISA* pInstrument)
{
    if (!pInstrument)
        return QString();
    return Format(pInstrument->GetLastStatus(), pInstrument->GetLastStatusName(), pInstrument->GetLastStatusDesc());
}

QString CStatusLine::Message(const QString& strMessage, const QString& strStatus)
{
    return strStatus.isEmpty() ? strMessage : strMessage + QLatin1Char('\n') + strStatus;
}

QString CStatusLine::HistoryLine(const QString& strStatus)
{
    // "# " marks the console's own notes in the history, as on the write error line, so the
    // status is never taken for a command or an answer.
    return strStatus.isEmpty() ? QString() : QStringLiteral("# ") + strStatus;
}
