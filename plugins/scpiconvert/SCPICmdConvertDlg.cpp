#include "SCPICmdConvertDlg.h"

#include "ui_SCPICmdConvertDlg.h"

#include "ScpiShortForm.h"

#include <QClipboard>
#include <QGuiApplication>

CSCPICmdConvertDlg::CSCPICmdConvertDlg(QWidget* pParent)
    : QDialog(pParent)
    , m_pUi(std::make_unique<Ui::CSCPICmdConvertDlg>())
{
    m_pUi->setupUi(this);
    connect(m_pUi->m_btnConvert, &QPushButton::clicked, this, &CSCPICmdConvertDlg::OnConvert);
    connect(m_pUi->m_btnPaste, &QPushButton::clicked, this, &CSCPICmdConvertDlg::OnPaste);
    connect(m_pUi->m_btnCopy, &QPushButton::clicked, this, &CSCPICmdConvertDlg::OnCopy);
    // Cancel and the close box only hide the window; it is shown again on
    // the next invocation.
    connect(m_pUi->m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

CSCPICmdConvertDlg::~CSCPICmdConvertDlg() = default;

void CSCPICmdConvertDlg::LoadInput(const PlugInInput& input)
{
    m_strLongTerm = QString::fromUtf16(input.commandText);
    UpdateData(false);
    OnConvert();
}

void CSCPICmdConvertDlg::OnConvert()
{
    UpdateData(true);
    m_strShortTerm = CScpiShortForm::Convert(m_strLongTerm);
    UpdateData(false);
}

void CSCPICmdConvertDlg::OnCopy()
{
    UpdateData(true);
    m_pUi->m_editShortTerm->selectAll();
    m_pUi->m_editShortTerm->copy();
}

void CSCPICmdConvertDlg::OnPaste()
{
    m_pUi->m_editLongTerm->selectAll();
    // A paste of nothing would replace the selected long form with nothing;
    // with an empty clipboard the box keeps what it has.
    if (!QGuiApplication::clipboard()->text().isEmpty())
        m_pUi->m_editLongTerm->paste();
    OnConvert();
}

void CSCPICmdConvertDlg::UpdateData(bool bSave)
{
    if (bSave) {
        m_strLongTerm = m_pUi->m_editLongTerm->text();
        m_strShortTerm = m_pUi->m_editShortTerm->text();
    } else {
        m_pUi->m_editLongTerm->setText(m_strLongTerm);
        m_pUi->m_editShortTerm->setText(m_strShortTerm);
    }
}
