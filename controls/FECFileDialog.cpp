#include "FECFileDialog.h"

#include <QDir>

CFECFileDialog::CFECFileDialog(QWidget* pParent)
    : QFileDialog(pParent)
{
    setWindowTitle(tr("Browse for File"));
    // Qt's own dialog, so the filters below match "*.SCPI" and "*.Scmd" as
    // well (the native ones of some desktops match them by case) and the
    // accept button can be relabelled.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFilter(filter() & ~QDir::CaseSensitive);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters({tr("Command Files(*.scmd)"), tr("SCPI Files(*.scpi)"), tr("All Files (*)")});
    setLabelText(QFileDialog::Accept, tr("OK"));
    // Our own catalogue names the rest too, so the dialog is in the user's
    // language even where the toolkit's translations are not installed.
    setLabelText(QFileDialog::Reject, tr("Cancel"));
    setLabelText(QFileDialog::LookIn, tr("Look in:"));
    setLabelText(QFileDialog::FileName, tr("File name:"));
    setLabelText(QFileDialog::FileType, tr("Files of type:"));
}

void CFECFileDialog::SetStart(const QString& strFolder, const QString& strFileName)
{
    if (!strFolder.isEmpty())
        setDirectory(strFolder);
    selectFile(strFileName);
}
