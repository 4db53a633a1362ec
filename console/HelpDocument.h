#pragma once

#include <QObject>

class CVelquistDlg;
class QShortcut;

// The help document beside the executable, opened with the desktop's viewer
// from the More menu or with the help key anywhere in the application.
class CHelpDocument : public QObject
{
    Q_OBJECT

public:
    explicit CHelpDocument(CVelquistDlg& dlg);

    void OpenHelpDocument();

private:
    CVelquistDlg& m_dlg;
    QShortcut* m_pShortcut = nullptr;
};
