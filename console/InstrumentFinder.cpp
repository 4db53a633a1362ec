#include "InstrumentFinder.h"

#include "visa.h"

namespace {

// Enough for any identification string; a longer answer is cut, never waited for.
constexpr ViUInt32 kMaxIdentity = 1024;

class CRmSession
{
public:
    CRmSession() { m_nStatus = viOpenDefaultRM(&m_rm); }
    ~CRmSession()
    {
        if (m_rm != VI_NULL)
            viClose(m_rm);
    }
    CRmSession(const CRmSession&) = delete;
    CRmSession& operator=(const CRmSession&) = delete;
    ViSession Handle() const { return m_rm; }
    ViStatus Status() const { return m_nStatus; }

private:
    ViSession m_rm = VI_NULL;
    ViStatus m_nStatus = VI_SUCCESS;
};

} // namespace

CInstrumentFinder::EResult CInstrumentFinder::Find(const QString& strExpression, QStringList& lstNames, int& nStatus)
{
    lstNames.clear();
    CRmSession rm;
    nStatus = rm.Status();
    if (nStatus < VI_SUCCESS)
        return EResult::Failed;
    ViFindList list = VI_NULL;
    ViUInt32 uCount = 0;
    char szName[VI_FIND_BUFLEN] = "";
    nStatus = viFindRsrc(rm.Handle(), strExpression.toLatin1().constData(), &list, &uCount, szName);
    if (nStatus == VI_ERROR_RSRC_NFOUND)
        return EResult::NoneFound;
    if (nStatus == VI_ERROR_INV_EXPR)
        return EResult::BadExpression;
    if (nStatus < VI_SUCCESS)
        return EResult::Failed;
    lstNames << QString::fromLatin1(szName);
    for (ViUInt32 u = 1; u < uCount && viFindNext(list, szName) == VI_SUCCESS; ++u)
        lstNames << QString::fromLatin1(szName);
    viClose(list);
    return EResult::Found;
}

CInstrumentFinder::EKind CInstrumentFinder::Kind(const QString& strName)
{
    const QString strUpper = strName.toUpper();
    if (strUpper.startsWith(QLatin1String("TCPIP"))) {
        if (strUpper.endsWith(QLatin1String("::SOCKET")))
            return EKind::Socket;
        const QStringList lstTokens = strUpper.split(QLatin1String("::"));
        return lstTokens.size() > 2 && lstTokens.at(2).startsWith(QLatin1String("HISLIP")) ? EKind::HiSlip : EKind::Vxi11;
    }
    if (strUpper.startsWith(QLatin1String("ASRL")))
        return EKind::Serial;
    if (strUpper.startsWith(QLatin1String("USB")))
        return EKind::Usb;
    if (strUpper.startsWith(QLatin1String("GPIB")) && !strUpper.startsWith(QLatin1String("GPIB-VXI")))
        return EKind::Gpib;
    return EKind::Other;
}

QString CInstrumentFinder::Identify(const QString& strName, int nTimeOutMs)
{
    CRmSession rm;
    if (rm.Status() < VI_SUCCESS)
        return QString();
    ViSession vi = VI_NULL;
    const ViUInt32 uTimeOut = static_cast<ViUInt32>(nTimeOutMs);
    if (viOpen(rm.Handle(), strName.toLatin1().constData(), VI_NULL, uTimeOut, &vi) < VI_SUCCESS)
        return QString();
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, uTimeOut);
    // Stream resources have no end marker: the line feed ends the answer.
    viSetAttribute(vi, VI_ATTR_TERMCHAR, '\n');
    viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE);
    static const char kQuery[] = "*IDN?\n";
    ViUInt32 uDone = 0;
    QString strAnswer;
    if (viWrite(vi, reinterpret_cast<ViConstBuf>(kQuery), sizeof kQuery - 1, &uDone) >= VI_SUCCESS) {
        QByteArray baAnswer(kMaxIdentity, '\0');
        ViUInt32 uGot = 0;
        const ViStatus nRead = viRead(vi, reinterpret_cast<ViPBuf>(baAnswer.data()), kMaxIdentity, &uGot);
        if (nRead >= VI_SUCCESS || uGot > 0)
            strAnswer = QString::fromLatin1(baAnswer.left(static_cast<int>(uGot))).trimmed();
    }
    viClose(vi);
    return strAnswer;
}
