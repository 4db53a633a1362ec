#include "NySysErrorDlg.h"

#include "ui_NySysErrorDlg.h"

#include "NyEdit.h"

#include <QFontMetrics>

namespace {

// Size of the window in dialog units.
constexpr int kWidthDlu = 349;
constexpr int kHeightDlu = 265;

} // namespace

CNySysErrorDlg::CNySysErrorDlg(QWidget* pParent)
    : QDialog(pParent)
    , m_pUi(std::make_unique<Ui::CNySysErrorDlg>())
{
    m_pUi->setupUi(this);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    connect(m_pUi->m_btnOk, &QPushButton::clicked, this, &QDialog::accept);

    // The mean width of the Latin letters is the dialog unit's base, also
    // in Chinese, whose fonts declare a far wider average.
    const QFontMetrics fm(font());
    const int nLetters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int nAvgCharWidth = qMax(1, (nLetters / 26 + 1) / 2);
    setFixedSize(kWidthDlu * nAvgCharWidth / 4, kHeightDlu * fm.height() / 8);
}

CNySysErrorDlg::~CNySysErrorDlg() = default;

CNyEdit& CNySysErrorDlg::ErrorBox() const
{
    return *m_pUi->m_editErrors;
}

void CNySysErrorDlg::SetErrorColor(bool bError)
{
    CNyEdit& edit = *m_pUi->m_editErrors;
    edit.m_crBackground = QColor(0, 0, 0);
    edit.m_crText = bError ? QColor(255, 0, 0) : QColor(0, 255, 0);
    edit.ApplyColors();
}

void CNySysErrorDlg::showEvent(QShowEvent* pEvent)
{
    m_pUi->m_editErrors->setPlainText(m_strErrors);
    m_pUi->m_btnOk->setFocus();
    QDialog::showEvent(pEvent);
}
