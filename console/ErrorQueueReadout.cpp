#include "ErrorQueueReadout.h"

#include "CommandCodec.h"
#include "InstrumentVISA.h"
#include "NySysErrorDlg.h"
#include "VelquistDlg.h"

#include <QStringList>

#include <limits>
#include <vector>

namespace {

constexpr int kAnswerSize = 2048;

} // namespace

CErrorQueueReadout::CErrorQueueReadout(CVelquistDlg& dlg)
    : QObject(&dlg)
    , m_dlg(dlg)
{
}

int CErrorQueueReadout::Start()
{
    const bool bCR = m_dlg.m_bAppendCR != 0;
    const bool bLF = m_dlg.m_bAppendLF != 0;
    return m_dlg.StartTaskWorker(
        [this, bCR, bLF] {
            m_result = SResult();
            if (CInstrumentVISA* pInstrument = m_dlg.GetInstrument())
                m_result = ReadQueue(*pInstrument, bCR, bLF, kMaxAnswers);
        },
        [this] { ShowResult(); });
}

CErrorQueueReadout::SResult CErrorQueueReadout::ReadQueue(CInstrumentVISA& instrument, bool bCR, bool bLF,
                                                          int nMaxAnswers)
{
    SResult result;
    // The query goes out with its zero byte, as the fixed commands do, and
    // with the line end the user chose: a stream instrument sees no end of
    // the message without it.
    std::vector<char> vecQuery;
    const QString strQuery = QStringLiteral("SYST:ERR?");
    CCommandCodec::ToLatin1(strQuery, vecQuery);
    const int nSend = CCommandCodec::AppendTerminators(vecQuery, int(strQuery.size()) + 1, bCR, bLF);

    QStringList lstLines;
    std::vector<char> vecAnswer(kAnswerSize + 1, '\0');
    for (int nAnswers = 0;; ++nAnswers) {
        if (nAnswers >= nMaxAnswers) {
            result.bCapped = true;
            break;
        }
        std::uint32_t uCount = 0;
        if (!instrument.WriteCommand(vecQuery.data(), nSend, uCount))
            break;
        const int nStatus = instrument.ReadCommand(vecAnswer.data(), kAnswerSize, uCount);
        if (nStatus != CInstrument::kReadComplete && nStatus != CInstrument::kReadTermChar)
            break;
        QByteArray baAnswer(vecAnswer.data(), int(qMin<std::uint32_t>(uCount, kAnswerSize)));
        // Up to the first zero byte, as the answer is text; its line end
        // belongs to the transport, not to the line shown.
        const int nZero = baAnswer.indexOf('\0');
        if (nZero >= 0)
            baAnswer.truncate(nZero);
        while (baAnswer.endsWith('\n') || baAnswer.endsWith('\r'))
            baAnswer.chop(1);
        lstLines << QString::fromLatin1(baAnswer);
        if (LeadingCode(baAnswer) == 0)
            break;
        result.bAnyError = true;
    }
    result.strText = lstLines.join(QLatin1Char('\n'));
    return result;
}

long long CErrorQueueReadout::LeadingCode(const QByteArray& baAnswer)
{
    int n = 0;
    const int nSize = int(baAnswer.size());
    while (n < nSize && (baAnswer.at(n) == ' ' || (baAnswer.at(n) >= '\t' && baAnswer.at(n) <= '\r')))
        ++n;
    bool bNegative = false;
    if (n < nSize && (baAnswer.at(n) == '+' || baAnswer.at(n) == '-'))
        bNegative = baAnswer.at(n++) == '-';
    long long nValue = 0;
    // Saturates instead of overflowing: any huge number is still not 0.
    constexpr long long kLimit = std::numeric_limits<long long>::max() / 10 - 1;
    for (; n < nSize && baAnswer.at(n) >= '0' && baAnswer.at(n) <= '9'; ++n)
        nValue = nValue < kLimit ? nValue * 10 + (baAnswer.at(n) - '0') : nValue;
    return bNegative ? -nValue : nValue;
}

void CErrorQueueReadout::ShowResult()
{
    // The window may have been closed while the readout ran.
    if (!m_dlg.isVisible())
        return;
    CNySysErrorDlg dlg(&m_dlg);
    dlg.SetErrorColor(m_result.bAnyError);
    dlg.m_strErrors = m_result.strText;
    if (m_result.bCapped)
        dlg.m_strErrors += QLatin1Char('\n')
            + tr("Stopped after %1 answers: the instrument's error queue never reported 0.").arg(kMaxAnswers);
    dlg.exec();
}
