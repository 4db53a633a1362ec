// The main window's side of the command list window.
#include "VelquistDlg.h"

#include "ui_VelquistDlg.h"

#include "CmdListDlg.h"
#include "HistoryCombo.h"
#include "InstrumentVISA.h"

void CVelquistDlg::ShowCommandList()
{
    if (!m_pCmdListDlg)
        m_pCmdListDlg = new CCmdListDlg(this, this);
    CCmdListDlg& dlg = *m_pCmdListDlg;
    if (dlg.isHidden()) {
        dlg.show();
        dlg.raise();
        dlg.activateWindow();
    } else if (dlg.isMinimized()) {
        // Restored to what it was before, maximised included.
        dlg.setWindowState(dlg.windowState() & ~Qt::WindowMinimized);
        dlg.raise();
        dlg.activateWindow();
    } else {
        dlg.hide();
    }
}

bool CVelquistDlg::IsInstrumentConnected() const
{
    return m_pInstrument && m_pInstrument->IsInstruConnected();
}

void CVelquistDlg::SetCommandText(const QString& strCommand)
{
    m_pUi->m_cbCommand->setEditText(strCommand);
    // A typed change updates the length display; so does this one.
    ShowCommandLength(strCommand);
}

QIcon CVelquistDlg::GetConsoleIcon() const
{
    return windowIcon();
}

void CVelquistDlg::ReportRunStatus(int nAll, int nSuccess, int nFailed)
{
    RunOnUiThread([&] {
        if (m_pCmdListDlg)
            m_pCmdListDlg->ShowRunStatus(nAll, nSuccess, nFailed);
    });
}
