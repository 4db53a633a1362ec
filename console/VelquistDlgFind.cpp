#include "VelquistDlg.h"

#include "ui_VelquistDlg.h"

#include "FindInstrumentsDlg.h"

void CVelquistDlg::OnFindInstruments()
{
    const QString strName = CFindInstrumentsDlg::Run(this);
    if (!strName.isEmpty())
        m_pUi->m_cbResource->setCurrentIndex(m_pUi->m_cbResource->PushEntry(strName));
}
