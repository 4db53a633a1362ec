#include "HexDisplayDlg.h"

#include "AnswerSaveSpan.h"
#include "PPDumpCtrl.h"
#include "PluginContract.h"
#include "ui_HexDisplayDlg.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <cstring>
#include <new>

namespace {

// The window's template size in dialog units; the dump grows with the window.
constexpr int kTemplateWidth = 349;
constexpr int kTemplateHeight = 265;

bool s_bTranslatorInstalled = false;

} // namespace

CHexDisplayDlg::CHexDisplayDlg(QWidget* pParent)
    : QDialog(pParent)
    , m_pUi(std::make_unique<Ui::CHexDisplayDlg>())
{
    m_pUi->setupUi(this);
    // The Chinese window has no frame caption.
    if (s_bTranslatorInstalled)
        m_pUi->m_grpFrame->setTitle(QString());
    m_pUi->m_chkIgnoreHeader->setChecked(m_bIgnoreHeader != 0);
    connect(m_pUi->m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pUi->m_btnSaveAs, &QPushButton::clicked, this, &CHexDisplayDlg::OnSaveAs);
    connect(m_pUi->m_chkIgnoreHeader, &QCheckBox::toggled, this, &CHexDisplayDlg::OnIgnoreHeader);

    m_pUi->m_txtPlaceholder->hide();
    m_pDumpCtrl = new CPPDumpCtrl(this);
    m_pDumpCtrl->SetPlaceholder(QLatin1Char('.'));
    m_pDumpCtrl->SetDumpStyle(kDumpStyle, true);
    // The dump takes the placeholder's place in the tab order, so it is the
    // first control and has the focus when the window opens.
    setTabOrder(m_pDumpCtrl, m_pUi->m_chkIgnoreHeader);

    const QRect rcTemplate = MapDialogRect(0, 0, kTemplateWidth, kTemplateHeight);
    setMinimumSize(rcTemplate.size());
    resize(rcTemplate.size());
    PlaceControls();
}

CHexDisplayDlg::~CHexDisplayDlg()
{
    // The dump points into the answer: it goes first.
    delete m_pDumpCtrl;
    m_pDumpCtrl = nullptr;
}

QRect CHexDisplayDlg::MapDialogRect(int nX, int nY, int nCx, int nCy) const
{
    const QFontMetrics fm(font());
    // Dialog units count in the mean width of the Latin letters.
    const int nLetters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int nBaseX = qMax(1, (nLetters / 26 + 1) / 2);
    const int nBaseY = fm.height();
    const int nLeft = nX * nBaseX / 4;
    const int nTop = nY * nBaseY / 8;
    return QRect(nLeft, nTop, (nX + nCx) * nBaseX / 4 - nLeft, (nY + nCy) * nBaseY / 8 - nTop);
}

void CHexDisplayDlg::PlaceControls()
{
    const QRect rcTemplate = MapDialogRect(0, 0, kTemplateWidth, kTemplateHeight);
    const int nGrowX = qMax(0, width() - rcTemplate.width());
    const int nGrowY = qMax(0, height() - rcTemplate.height());
    m_pUi->m_grpFrame->setGeometry(MapDialogRect(7, 7, 335, 233).adjusted(0, 0, nGrowX, nGrowY));
    const QRect rcDump = MapDialogRect(15, 24, 319, 207).adjusted(0, 0, nGrowX, nGrowY);
    m_pUi->m_txtPlaceholder->setGeometry(rcDump);
    m_pDumpCtrl->setGeometry(rcDump);
    m_pUi->m_btnExit->setGeometry(MapDialogRect(281, 244, 50, 14).translated(nGrowX, nGrowY));
    m_pUi->m_btnSaveAs->setGeometry(MapDialogRect(127, 244, 50, 14).translated(0, nGrowY));
    m_pUi->m_chkIgnoreHeader->setGeometry(
        MapDialogRect(7, 246, s_bTranslatorInstalled ? 56 : 112, 10).translated(0, nGrowY));
}

void CHexDisplayDlg::resizeEvent(QResizeEvent* pEvent)
{
    QDialog::resizeEvent(pEvent);
    PlaceControls();
}

void CHexDisplayDlg::LoadInput(const PlugInInput& input)
{
    LoadAnswer(input.answerData, input.answerLength);
}

void CHexDisplayDlg::LoadAnswer(const char* pBytes, qint32 nLength)
{
    if (!pBytes) {
        m_nAnswerLength = 0;
        return;
    }
    const quint32 uLength = nLength > 0 ? static_cast<quint32>(nLength) : 0;
    if (!m_pAnswer || m_nAnswerCapacity < uLength) {
        // The dump must not keep pointing at the buffer about to be freed.
        m_pDumpCtrl->LoadBytes(nullptr, 0);
        m_pAnswer.reset();
        m_nAnswerCapacity = 0;
        m_pAnswer.reset(new (std::nothrow) char[uLength + 1]);
        if (!m_pAnswer) {
            m_nAnswerLength = 0;
            return;
        }
        m_nAnswerCapacity = uLength + 1;
    }
    m_nAnswerLength = uLength;
    if (uLength > 0)
        std::memcpy(m_pAnswer.get(), pBytes, uLength);
    m_pDumpCtrl->LoadBytes(m_pAnswer.get(), static_cast<int>(uLength));
}

void CHexDisplayDlg::OnIgnoreHeader()
{
    m_bIgnoreHeader = m_pUi->m_chkIgnoreHeader->isChecked() ? 1 : 0;
}

CHexDisplayDlg::ESaveResult CHexDisplayDlg::SaveToFile(const QString& strPath, QString* pstrError) const
{
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return kNotCreated;
    const SSaveSpan span = CAnswerSaveSpan::Compute(m_pAnswer.get(), m_nAnswerLength, m_bIgnoreHeader != 0);
    const bool bWritten = span.nCount == 0 || file.write(m_pAnswer.get() + span.nOffset, span.nCount) == span.nCount;
    const bool bFlushed = bWritten && file.flush();
    if (bWritten && bFlushed) {
        file.close();
        if (file.error() == QFileDevice::NoError)
            return kSaved;
    }
    if (pstrError)
        *pstrError = file.errorString();
    return kWriteFailed;
}

void CHexDisplayDlg::OnSaveAs()
{
    if (!m_pAnswer || m_nAnswerLength == 0)
        return;
    QFileDialog dlg(this);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(QStringLiteral("txt"));
    dlg.setNameFilters({QStringLiteral("Text Files(*.txt)"), QStringLiteral("Binary Files(*.Binary)"),
                        QStringLiteral("All Files(*.*)")});
    dlg.selectFile(QStringLiteral("VelqHexOutput"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    const QString strPath = dlg.selectedFiles().constFirst();
    QString strError;
    if (SaveToFile(strPath, &strError) == kWriteFailed) {
        QMessageBox::warning(this, windowTitle(),
                             tr("An error occurred while writing %1.\n%2").arg(strPath, strError));
    }
}

bool CHexDisplayDlg::IsChineseLocale()
{
    return QLocale::system().language() == QLocale::Chinese;
}

bool CHexDisplayDlg::InstallTranslator(QCoreApplication& app)
{
    if (s_bTranslatorInstalled)
        return true;
    auto* pTranslator = new QTranslator(&app);
    if (!pTranslator->load(QStringLiteral(":/velqhexdisplay/i18n/hexdisplay_zh_CN.qm"))) {
        delete pTranslator;
        return false;
    }
    app.installTranslator(pTranslator);
    s_bTranslatorInstalled = true;
    return true;
}
