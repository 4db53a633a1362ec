#include "HelpDocument.h"

#include "AppConstants.h"
#include "StringTable.h"
#include "VelquistDlg.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QShortcut>
#include <QUrl>

CHelpDocument::CHelpDocument(CVelquistDlg& dlg)
    : QObject(&dlg)
    , m_dlg(dlg)
{
    // Application-wide, so the key works from the command list and plug-in
    // windows too, for as long as the main window exists.
    m_pShortcut = new QShortcut(QKeySequence::HelpContents, &dlg);
    m_pShortcut->setContext(Qt::ApplicationShortcut);
    connect(m_pShortcut, &QShortcut::activated, this, &CHelpDocument::OpenHelpDocument);
}

void CHelpDocument::OpenHelpDocument()
{
    const QString strPath = m_dlg.HelpFilePath();
    // The desktop launches its opener for any path and reports success, so a
    // missing document is caught here.
    if (!QFileInfo(strPath).isFile() || !QDesktopServices::openUrl(QUrl::fromLocalFile(strPath)))
        QMessageBox::warning(&m_dlg, QLatin1String(AppConstants::kApplication), CStringTable::Load(CStringTable::kHelpFailed));
}
