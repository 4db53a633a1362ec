#pragma once

#include <QObject>
#include <QString>

class CInstrumentVISA;
class CVelquistDlg;

// The "SYST:ERR?" button: reads the instrument's error queue on the worker
// until it reports 0, then shows what it read in the errors dialog.
class CErrorQueueReadout : public QObject
{
    Q_OBJECT

public:
    struct SResult
    {
        QString strText;     // one line per answer
        bool bAnyError = false;
        bool bCapped = false; // stopped at the answer limit, not at 0
    };

    // An instrument whose queue never reports 0 must not keep the console busy for ever.
    static constexpr int kMaxAnswers = 100;

    explicit CErrorQueueReadout(CVelquistDlg& dlg);

    int Start();

    // Runs on the worker thread; needs nothing of the window.
    static SResult ReadQueue(CInstrumentVISA& instrument, bool bCR, bool bLF, int nMaxAnswers);
    // The decimal number at the start of an answer as atoi reads it: blanks
    // skipped, optional sign, 0 when there are no digits.
    static long long LeadingCode(const QByteArray& baAnswer);

private:
    void ShowResult();

    CVelquistDlg& m_dlg;
    SResult m_result;
};
