#include "VelquistDlg.h"

#include "ui_VelquistDlg.h"

#include "HistoryArchive.h"
#include "HistoryCombo.h"
#include "StringTable.h"
#include "VelquistApp.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QSettings>

namespace {

const char* const kSettingsGroup = "VelqConsole";
const char* const kKeyTimeOut = "TimeOut";
const char* const kKeyOpc = "OPC?";
const char* const kKeyEoi = "EOI";
const char* const kKeyNewLine = "NewLine";
const char* const kKeyEnter = "Enter";

int ReadInt(const QSettings& settings, const char* pszKey, int nDefault)
{
    bool bOk = false;
    const int nValue = settings.value(QLatin1String(pszKey)).toInt(&bOk);
    return bOk ? nValue : nDefault;
}

std::unique_ptr<QSettings> OpenSettings()
{
    // Named explicitly rather than through the application object, so the
    // store is the same whoever constructs the window.
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QLatin1String(CVelquistApp::kOrganization),
                                       QLatin1String(CVelquistApp::kApplication));
}

} // namespace

CVelquistDlg::CVelquistDlg(QWidget* pParent)
    : QDialog(pParent)
    , m_strResource(QStringLiteral("GPIB0::18::INSTR"))
    , m_strCommand(QStringLiteral("*IDN?"))
    , m_pUi(std::make_unique<Ui::CVelquistDlg>())
    , m_strExecutablePath(QCoreApplication::applicationFilePath())
{
    m_pUi->setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);

    // Digits only; the range is checked when the values are taken over, so
    // the user can pass through intermediate states while typing.
    m_pUi->m_editTimeOut->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,7}")), m_pUi->m_editTimeOut));

    connect(m_pUi->m_cbCommand->lineEdit(), &QLineEdit::textEdited, this, &CVelquistDlg::OnCommandEdited);
    connect(m_pUi->m_cbCommand, qOverload<int>(&QComboBox::activated), this, &CVelquistDlg::OnCommandSelChange);
    connect(m_pUi->m_chkOpc, &QCheckBox::clicked, this, &CVelquistDlg::OnOpcClicked);

    ApplyLanguageLayout();
}

CVelquistDlg::~CVelquistDlg()
{
    OnDestroy();
}

void CVelquistDlg::ApplyLanguageLayout()
{
    // The Chinese layout has no EOI box; its LF and CR captions already
    // name the byte they append.
    m_pUi->m_chkEoi->setVisible(!StringTable::IsChinese());
}

int CVelquistDlg::DoModal()
{
    InitDialog();
    const int nResult = exec();
    OnDestroy();
    return nResult;
}

void CVelquistDlg::InitDialog()
{
    if (m_bInitialised)
        return;
    m_bInitialised = true;

    const QString strConnect = StringTable::Load(113);
    m_pUi->m_btnConnect->setText(strConnect.isEmpty() ? QStringLiteral("Connec&t") : strConnect);

    if (m_bUseSettings) {
        LoadSettings();
        m_pUi->m_cbInterface->setCurrentIndex(m_pUi->m_cbInterface->findText(QStringLiteral("VISA")));
        LoadHistory(*m_pUi->m_cbResource, HistoryFilePath(QStringLiteral("type")));
        LoadHistory(*m_pUi->m_cbCommand, HistoryFilePath(QStringLiteral("cfg")));
    } else {
        m_pUi->m_cbResource->setEditText(m_strResource);
    }

    const int nSel = m_pUi->m_cbCommand->currentIndex();
    ShowCommandLength(nSel >= 0 ? m_pUi->m_cbCommand->itemText(nSel) : QString());

    PutMemberValues();
}

void CVelquistDlg::OnDestroy()
{
    if (!m_bInitialised || m_bDestroyed)
        return;
    m_bDestroyed = true;
    if (m_bUseSettings) {
        SaveHistory(*m_pUi->m_cbCommand, HistoryFilePath(QStringLiteral("cfg")));
        SaveHistory(*m_pUi->m_cbResource, HistoryFilePath(QStringLiteral("type")));
        SaveSettings();
    }
}

bool CVelquistDlg::TakeControlValues()
{
    m_strCommand = m_pUi->m_cbCommand->currentText();
    m_strResource = m_pUi->m_cbResource->currentText();

    bool bOk = false;
    const int nTimeOut = m_pUi->m_editTimeOut->text().trimmed().toInt(&bOk);
    if (!bOk || nTimeOut < kMinTimeOutMs || nTimeOut > kMaxTimeOutMs) {
        QMessageBox::warning(this, QLatin1String(CVelquistApp::kApplication),
                             tr("Please enter an integer between %1 and %2.").arg(kMinTimeOutMs).arg(kMaxTimeOutMs));
        m_pUi->m_editTimeOut->setFocus();
        m_pUi->m_editTimeOut->selectAll();
        return false;
    }
    m_nTimeOut = nTimeOut;

    m_bOpcTerminate = m_pUi->m_chkOpc->isChecked() ? 1 : 0;
    m_bEoi = m_pUi->m_chkEoi->isChecked() ? 1 : 0;
    m_bAppendLF = m_pUi->m_chkAppendLF->isChecked() ? 1 : 0;
    m_bAppendCR = m_pUi->m_chkAppendCR->isChecked() ? 1 : 0;
    return true;
}

void CVelquistDlg::PutMemberValues()
{
    m_pUi->m_editTimeOut->setText(QString::number(m_nTimeOut));
    m_pUi->m_chkOpc->setChecked(m_bOpcTerminate != 0);
    m_pUi->m_chkEoi->setChecked(m_bEoi != 0);
    m_pUi->m_chkAppendLF->setChecked(m_bAppendLF != 0);
    m_pUi->m_chkAppendCR->setChecked(m_bAppendCR != 0);
    m_pUi->m_cbResource->SelectPrefixOrSetText(m_strResource);
    m_pUi->m_cbCommand->SelectPrefixOrSetText(m_strCommand);
}

void CVelquistDlg::LoadSettings()
{
    const std::unique_ptr<QSettings> pSettings = OpenSettings();
    QSettings& settings = *pSettings;
    settings.beginGroup(QLatin1String(kSettingsGroup));
    m_nTimeOut = ReadInt(settings, kKeyTimeOut, kDefaultTimeOutMs);
    m_bOpcTerminate = ReadInt(settings, kKeyOpc, 0);
    m_bEoi = ReadInt(settings, kKeyEoi, 0);
    m_bAppendLF = ReadInt(settings, kKeyNewLine, 0);
    m_bAppendCR = ReadInt(settings, kKeyEnter, 0);
}

void CVelquistDlg::SaveSettings()
{
    const std::unique_ptr<QSettings> pSettings = OpenSettings();
    QSettings& settings = *pSettings;
    settings.beginGroup(QLatin1String(kSettingsGroup));
    settings.setValue(QLatin1String(kKeyTimeOut), m_nTimeOut);
    settings.setValue(QLatin1String(kKeyOpc), m_bOpcTerminate);
    settings.setValue(QLatin1String(kKeyEoi), m_bEoi);
    settings.setValue(QLatin1String(kKeyNewLine), m_bAppendLF);
    settings.setValue(QLatin1String(kKeyEnter), m_bAppendCR);
    settings.endGroup();
    settings.sync();
}

QString CVelquistDlg::HistoryFilePath(const QString& strSuffix) const
{
    // Executables usually have no extension here: the suffix is then added
    // to the full path, so the files stay beside the program instead of
    // landing as "type"/"cfg" in whatever the working folder is.
    const QFileInfo info(m_strExecutablePath);
    if (info.fileName().contains(QLatin1Char('.'))) {
        const int nDot = m_strExecutablePath.lastIndexOf(QLatin1Char('.'));
        return m_strExecutablePath.left(nDot + 1) + strSuffix;
    }
    return m_strExecutablePath + QLatin1Char('.') + strSuffix;
}

bool CVelquistDlg::LoadHistory(CHistoryCombo& combo, const QString& strPath)
{
    // Only regular files: opening a FIFO or device for reading could block.
    if (!QFileInfo(strPath).isFile())
        return false;
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    CHistoryArchive archive(&file, CHistoryArchive::EMode::Load);
    return combo.ArchiveHistory(archive);
}

bool CVelquistDlg::SaveHistory(CHistoryCombo& combo, const QString& strPath)
{
    // A history file the user made read-only stays as it is.
    const QFileInfo info(strPath);
    if (info.exists() && (!info.isFile() || !info.isWritable()))
        return false;
    // Written beside the old file and renamed over it only when complete,
    // so a full disk or a crash never leaves a cut history behind.
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    CHistoryArchive archive(&file, CHistoryArchive::EMode::Store);
    if (!combo.ArchiveHistory(archive)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void CVelquistDlg::ShowCommandLength(const QString& strText)
{
    m_pUi->m_lblCommandLength->setText(StringTable::Format(116, {strText.size()}));
}

void CVelquistDlg::OnCommandEdited(const QString& strText)
{
    Q_UNUSED(strText);
    TakeControlValues();
    ShowCommandLength(m_strCommand);
}

void CVelquistDlg::OnCommandSelChange(int nIndex)
{
    ShowCommandLength(nIndex >= 0 ? m_pUi->m_cbCommand->itemText(nIndex) : QString());
}

void CVelquistDlg::OnOpcClicked()
{
    TakeControlValues();
}
