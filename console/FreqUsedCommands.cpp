#include "FreqUsedCommands.h"

#include "ErrorQueueReadout.h"
#include "VelquistDlg.h"

#include <QPushButton>

#include <iterator>

namespace {

enum class EAction { Write, Automatic, ErrorQueue };

struct SFixedCommand
{
    const char* pszCommand;
    EAction eAction;
};

constexpr SFixedCommand kCommands[] = {
    {"&GTL", EAction::Write},      {"&GTR", EAction::Write},      {"*IDN?", EAction::Automatic},
    {"*STB?", EAction::Automatic}, {"*OPT?", EAction::Automatic}, {"*CLS", EAction::Write},
    {"*RST", EAction::Write},      {"SYST:ERR?", EAction::ErrorQueue},
};

} // namespace

CFreqUsedCommands::CFreqUsedCommands(CVelquistDlg& dlg, CErrorQueueReadout& readout,
                                     const QList<QPushButton*>& lstButtons)
    : QObject(&dlg)
    , m_dlg(dlg)
    , m_readout(readout)
{
    for (int n = 0; n < lstButtons.size() && n < int(std::size(kCommands)); ++n) {
        lstButtons.at(n)->setToolTip(QString());
        connect(lstButtons.at(n), &QPushButton::clicked, this, [this, n] { OnFreqUsed(n); });
    }
}

void CFreqUsedCommands::OnFreqUsed(int nButton)
{
    if (nButton < 0 || nButton >= int(std::size(kCommands)))
        return;
    const SFixedCommand& command = kCommands[nButton];
    const QString strCommand = QLatin1String(command.pszCommand);
    switch (command.eAction) {
    case EAction::Write:
        // One more than the length: the terminating zero goes out as the
        // last byte before any CR and LF (a white-space byte to IEEE 488.2).
        m_dlg.WriteText(strCommand, int(strCommand.size()) + 1);
        break;
    case EAction::Automatic:
        // Through the command box, which may pick a longer remembered command
        // that begins with this one; what is sent is what the box shows.
        m_dlg.m_strCommand = strCommand;
        m_dlg.PutMemberValues();
        m_dlg.OnAutomatic();
        break;
    case EAction::ErrorQueue:
        m_readout.Start();
        break;
    }
}
