#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class CNyEdit;

namespace Ui {
class CNySysErrorDlg;
}

// Shows a block of text, an instrument's error queue, red on black when it
// held errors and green on black when it did not.
class CNySysErrorDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CNySysErrorDlg(QWidget* pParent = nullptr);
    ~CNySysErrorDlg() override;

    void SetErrorColor(bool bError);
    CNyEdit& ErrorBox() const;

    // Shown when the dialog opens.
    QString m_strErrors;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    std::unique_ptr<Ui::CNySysErrorDlg> m_pUi;
};
