#pragma once

#include "PluginContract.h"

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class CSCPICmdConvertDlg;
}

// Offers the short form of the console's current command for copying. The
// window exists in English only.
class CSCPICmdConvertDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSCPICmdConvertDlg(QWidget* pParent = nullptr);
    ~CSCPICmdConvertDlg() override;

    // Every invocation replaces the long form with the console's command.
    void LoadInput(const PlugInInput& input);
    void OnConvert();
    void OnCopy();
    void OnPaste();

    // bSave: controls into members; otherwise members into controls.
    void UpdateData(bool bSave);

    QString m_strLongTerm;
    QString m_strShortTerm;

private:
    std::unique_ptr<Ui::CSCPICmdConvertDlg> m_pUi;
};
