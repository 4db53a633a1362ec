#pragma once

#include <QFileDialog>

// The open dialog of CFileEditCtrl: one existing file, command files first.
class CFECFileDialog : public QFileDialog
{
    Q_OBJECT

public:
    explicit CFECFileDialog(QWidget* pParent = nullptr);

    // Where the next showing starts; an empty folder leaves the choice to the
    // dialog, an empty name proposes none.
    void SetStart(const QString& strFolder, const QString& strFileName);
};
