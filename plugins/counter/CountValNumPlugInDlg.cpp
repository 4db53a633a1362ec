#include "CountValNumPlugInDlg.h"

#include "ui_CountValNumPlugInDlg.h"

#include "ValueCounter.h"

CCountValNumPlugInDlg::CCountValNumPlugInDlg(QWidget* pParent)
    : QDialog(pParent)
    , m_pUi(std::make_unique<Ui::CCountValNumPlugInDlg>())
{
    m_pUi->setupUi(this);
    connect(m_pUi->m_btnCalculate, &QPushButton::clicked, this, &CCountValNumPlugInDlg::OnCalculate);
    // Exit and the close box only hide the window: the next invocation shows
    // it again with the separator the user chose.
    connect(m_pUi->m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    UpdateData(false);
}

CCountValNumPlugInDlg::~CCountValNumPlugInDlg() = default;

void CCountValNumPlugInDlg::LoadInput(const PlugInInput& input)
{
    LoadAnswerText(CValueCounter::AnswerText(input.answerData, input.answerLength));
}

void CCountValNumPlugInDlg::LoadAnswerText(QLatin1String answer)
{
    // setPlainText also drops the undo history: the old answer is gone.
    m_pUi->m_editValues->setPlainText(answer.left(CValueCounter::kTextLimit).toString());
    UpdateData(true);
    ShowCount(CValueCounter::CountSeparators(answer, m_strSeparator));
}

void CCountValNumPlugInDlg::OnCalculate()
{
    UpdateData(true);
    ShowCount(CValueCounter::CountSeparators(m_strValues, m_strSeparator));
}

void CCountValNumPlugInDlg::UpdateData(bool bSave)
{
    if (bSave) {
        m_strValues = m_pUi->m_editValues->toPlainText();
        m_strSeparator = m_pUi->m_editSeparator->text();
    } else {
        m_pUi->m_editValues->setPlainText(m_strValues);
        m_pUi->m_editSeparator->setText(m_strSeparator);
    }
}

void CCountValNumPlugInDlg::ShowCount(qsizetype nCount)
{
    m_pUi->m_lblCount->setText(QString::number(nCount));
}
