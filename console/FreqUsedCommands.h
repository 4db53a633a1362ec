#pragma once

#include <QList>
#include <QObject>

class CErrorQueueReadout;
class CVelquistDlg;
class QPushButton;

// The "Freq. Used" buttons: go-to-local and remote, the IEEE 488.2 queries
// and resets, and the error-queue readout.
class CFreqUsedCommands : public QObject
{
    Q_OBJECT

public:
    // The buttons top to bottom: local, remote, *IDN?, *STB?, *OPT?, *CLS,
    // *RST, SYST:ERRor?.
    CFreqUsedCommands(CVelquistDlg& dlg, CErrorQueueReadout& readout, const QList<QPushButton*>& lstButtons);

    void OnFreqUsed(int nButton);

private:
    CVelquistDlg& m_dlg;
    CErrorQueueReadout& m_readout;
};
