#include "VelquistDlg.h"

#include "ui_VelquistDlg.h"

#include "AppConstants.h"
#include "AppIcon.h"
#include "CmdListDlg.h"
#include "CommandCodec.h"
#include "ConsoleSettings.h"
#include "ErrorQueueReadout.h"
#include "FileUpload.h"
#include "FreqUsedCommands.h"
#include "HelpDocument.h"
#include "HistoryArchive.h"
#include "HistoryCombo.h"
#include "HistoryLocation.h"
#include "HyperLink.h"
#include "InstrumentVISA.h"
#include "MainWindowAnchors.h"
#include "MoreMenu.h"
#include "PlugInHost.h"
#include "StatusLine.h"
#include "StringTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char* const kSettingsGroup = ConsoleSettings::kGroup;
const char* const kKeyTimeOut = "TimeOut";
const char* const kKeyOpc = "OPC?";
const char* const kKeyEoi = "EOI";
const char* const kKeyNewLine = "NewLine";
const char* const kKeyEnter = "Enter";

// Client size of the window in dialog units.
constexpr int kDialogWidthDlu = 416;
constexpr int kDialogHeightDlu = 335;

using ConsoleSettings::OpenSettings;
using ConsoleSettings::ReadInt;

CHistoryLocation HistoryLocation(const QString& strExecutablePath)
{
    return CHistoryLocation(strExecutablePath, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

} // namespace

CVelquistDlg::CVelquistDlg(QWidget* pParent)
    : CDialogResize(pParent)
    , m_strResource(QStringLiteral("GPIB0::18::INSTR"))
    , m_strCommand(QStringLiteral("*IDN?"))
    , m_pUi(std::make_unique<Ui::CVelquistDlg>())
    , m_strExecutablePath(QCoreApplication::applicationFilePath())
    , m_szCommand(kCommandBufferSize, '\0')
{
    m_pUi->setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setWindowIcon(MakeAppIcon());
    m_pFooter = m_pUi->m_lblFooter;

    // Digits only; the range is checked when the values are taken over, so
    // the user can pass through intermediate states while typing.
    m_pUi->m_editTimeOut->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,7}")), m_pUi->m_editTimeOut));

    // The template's list starts without a selection; only the settings
    // path selects "VISA" in it.
    m_pUi->m_cbInterface->setCurrentIndex(-1);
    m_pUi->m_editHistory->setUndoRedoEnabled(false);
    m_pUi->m_progress->setRange(1, 100);
    m_pUi->m_progress->setValue(1);
    m_tmProgress.setInterval(kProgressTimerMs);

    // Handled by parts of the console that are not there yet; they say so
    // rather than pretend to work.
    const QString strLater = tr("Not available yet");
    for (QPushButton* pButton : {m_pUi->m_btnMore, m_pUi->m_btnCommandList,
                                 m_pUi->m_btnGoToLocal, m_pUi->m_btnRemote, m_pUi->m_btnIdn, m_pUi->m_btnStb,
                                 m_pUi->m_btnOpt, m_pUi->m_btnCls, m_pUi->m_btnRst, m_pUi->m_btnSystErr})
        pButton->setToolTip(strLater);
    m_pUi->m_btnCommandList->setToolTip(QString());

    connect(m_pUi->m_cbCommand->lineEdit(), &QLineEdit::textEdited, this, &CVelquistDlg::OnCommandEdited);
    connect(m_pUi->m_cbCommand, qOverload<int>(&QComboBox::activated), this, &CVelquistDlg::OnCommandSelChange);
    connect(m_pUi->m_chkOpc, &QCheckBox::clicked, this, &CVelquistDlg::OnOpcClicked);
    connect(m_pUi->m_btnConnect, &QPushButton::clicked, this, &CVelquistDlg::OnConnect);
    connect(m_pUi->m_btnWrite, &QPushButton::clicked, this, &CVelquistDlg::OnWrite);
    connect(m_pUi->m_btnRead, &QPushButton::clicked, this, &CVelquistDlg::OnRead);
    connect(m_pUi->m_btnAutomatic, &QPushButton::clicked, this, &CVelquistDlg::OnAutomatic);
    connect(m_pUi->m_btnStop, &QPushButton::clicked, this, &CVelquistDlg::OnStop);
    connect(m_pUi->m_btnClear, &QPushButton::clicked, this, &CVelquistDlg::ClearHistory);
    connect(m_pUi->m_btnCommandList, &QPushButton::clicked, this, &CVelquistDlg::ShowCommandList);
    connect(&m_tmProgress, &QTimer::timeout, this, &CVelquistDlg::OnProgressTimer);

    m_pPlugIns = new CPlugInHost(this);
    connect(m_pUi->m_btnPlugins, &QPushButton::clicked, this,
            [this] { m_pPlugIns->ShowPlugInMenu(m_pUi->m_btnPlugins); });
    connect(m_pPlugIns, &CPlugInHost::PlugInChosen, this,
            [this](int nId) { m_pPlugIns->InvokePlugIn(nId, m_vecReply.data(), m_nReplyLength, m_strCommand); });

    PlaceControls();
    ApplyLanguageLayout();

    m_pHelp = new CHelpDocument(*this);
    m_pFileUpload = new CFileUpload(*this);
    m_pErrorReadout = new CErrorQueueReadout(*this);
    m_pFreqUsed = new CFreqUsedCommands(*this, *m_pErrorReadout,
                                        {m_pUi->m_btnGoToLocal, m_pUi->m_btnRemote, m_pUi->m_btnIdn, m_pUi->m_btnStb,
                                         m_pUi->m_btnOpt, m_pUi->m_btnCls, m_pUi->m_btnRst, m_pUi->m_btnSystErr});
    m_pMoreMenu = new CMoreMenu(*this, *m_pUi->m_cbCommand, *m_pUi->m_btnMore, *m_pHelp, *m_pFileUpload);
}

CVelquistDlg::~CVelquistDlg()
{
    OnDestroy();
    // A window that was never initialised still owns its session.
    WaitForWorker();
    delete m_pInstrument;
    m_pInstrument = nullptr;
}

const ResizeAnchor* CVelquistDlg::GetResizeAnchors() const
{
    return kMainWindowResizeAnchors;
}

void CVelquistDlg::PlaceControls()
{
    struct SPlace
    {
        QWidget* pWidget;
        int nId;
        int nX, nY, nCx, nCy;
    };
    const Ui::CVelquistDlg& ui = *m_pUi;
    // Dialog units; the resizer moves them from here on.
    const SPlace kPlaces[] = {
        {ui.m_grpInstrument, 1019, 7, 4, 326, 112},
        {ui.m_lblResource, 1011, 12, 18, 46, 9},
        {ui.m_cbResource, 1004, 60, 15, 196, 14},
        {ui.m_cbInterface, 1006, 60, 15, 80, 14},
        {ui.m_btnConnect, 3, 262, 14, 66, 16},
        {ui.m_lblTimeOut, 1012, 12, 35, 46, 9},
        {ui.m_editTimeOut, 1003, 60, 33, 48, 13},
        {ui.m_lblMs, 1013, 111, 35, 16, 9},
        {ui.m_btnStop, 1028, 262, 32, 66, 16},
        {ui.m_chkOpc, 1014, 12, 51, 120, 12},
        {ui.m_chkAppendCR, 1015, 134, 51, 124, 12},
        {ui.m_chkEoi, 1020, 12, 64, 60, 12},
        {ui.m_chkAppendLF, 1016, 134, 64, 124, 12},
        {ui.m_btnMore, 1008, 262, 50, 66, 16},
        {ui.m_lblCommand, 1027, 12, 82, 46, 9},
        {ui.m_cbCommand, 1002, 60, 79, 268, 14},
        {ui.m_btnWrite, 4, 12, 97, 48, 16},
        {ui.m_btnRead, 5, 63, 97, 48, 16},
        {ui.m_btnAutomatic, 6, 114, 97, 56, 16},
        {ui.m_lblCommandLength, 1007, 174, 100, 40, 9},
        {ui.m_progress, 1021, 216, 101, 40, 9},
        {ui.m_btnCommandList, 1009, 262, 97, 66, 16},
        {ui.m_grpFreqUsed, 1018, 339, 4, 70, 156},
        {ui.m_btnGoToLocal, 7, 344, 15, 60, 15},
        {ui.m_btnRemote, 8, 344, 32, 60, 15},
        {ui.m_btnIdn, 9, 344, 49, 60, 15},
        {ui.m_btnStb, 14, 344, 66, 60, 15},
        {ui.m_btnOpt, 12, 344, 83, 60, 15},
        {ui.m_btnCls, 13, 344, 100, 60, 15},
        {ui.m_btnRst, 11, 344, 117, 60, 15},
        {ui.m_btnSystErr, 10, 344, 134, 60, 15},
        {ui.m_btnPlugins, 1024, 339, 166, 70, 16},
        {ui.m_btnClear, 1025, 339, 186, 70, 16},
        {ui.m_grpOutput, 1017, 7, 120, 326, 198},
        {ui.m_editHistory, 1026, 13, 132, 314, 180},
        {ui.m_lblFooter, 1001, 7, 322, 240, 10},
    };
    for (const SPlace& place : kPlaces) {
        SetControlId(place.pWidget, place.nId);
        PlaceInDialogUnits(place.pWidget, place.nX, place.nY, place.nCx, place.nCy);
    }
    ResizeInDialogUnits(kDialogWidthDlu, kDialogHeightDlu);
}

void CVelquistDlg::ApplyLanguageLayout()
{
    // The Chinese layout has no EOI box; its LF and CR captions already
    // name the byte they append.
    m_pUi->m_chkEoi->setVisible(!CStringTable::IsChinese());
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

    UpdateConnectionControls(false);

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

    // The footer is fitted to its text before the resizer records it, or
    // the resizer would keep placing it with its template height.
    SetupFooter();
    InitResizing();

    m_pUi->m_progress->setRange(1, 100);
    m_pUi->m_progress->setValue(1);

    m_pPlugIns->LoadPlugInList(m_strExecutablePath);
    PutMemberValues();
    // Putting the members back may show another entry than the one measured
    // above; the length shown must be that of the command in the box.
    ShowCommandLength(m_pUi->m_cbCommand->currentText());
}

void CVelquistDlg::SetupFooter()
{
    m_pFooter = CHyperLink::AttachTo(m_pUi->m_lblFooter);
    m_pFooter->SetLinkTarget(HelpFilePath());
    m_pFooter->SetUnderlineMode(CHyperLink::kUnderlineAlways);
}

QString CVelquistDlg::HelpFilePath() const
{
    const QFileInfo info(m_strExecutablePath);
    if (info.suffix().compare(QLatin1String("exe"), Qt::CaseInsensitive) == 0)
        return m_strExecutablePath.left(m_strExecutablePath.size() - 3) + QStringLiteral("pdf");
    return m_strExecutablePath + QStringLiteral(".pdf");
}

void CVelquistDlg::OnDestroy()
{
    if (!m_bInitialised || m_bDestroyed)
        return;
    m_bDestroyed = true;
    // The worker uses the session and appends to this window; both must
    // outlive it.
    m_tmProgress.stop();
    WaitForWorker();
    if (m_bUseSettings) {
        SaveHistory(*m_pUi->m_cbCommand, HistorySavePath(QStringLiteral("cfg")));
        SaveHistory(*m_pUi->m_cbResource, HistorySavePath(QStringLiteral("type")));
        SaveSettings();
    }
    if (m_pInstrument) {
        if (m_pInstrument->IsInstruConnected())
            m_pInstrument->DisconnectInstru();
        delete m_pInstrument;
        m_pInstrument = nullptr;
    }
    // Its destruction stores its mode; the settings above are written already.
    delete m_pCmdListDlg;
    m_pCmdListDlg = nullptr;
}

bool CVelquistDlg::TakeControlValues()
{
    m_strCommand = m_pUi->m_cbCommand->currentText();
    m_strResource = m_pUi->m_cbResource->currentText();

    bool bOk = false;
    const int nTimeOut = m_pUi->m_editTimeOut->text().trimmed().toInt(&bOk);
    if (!bOk || nTimeOut < kMinTimeOutMs || nTimeOut > kMaxTimeOutMs) {
        QMessageBox::warning(this, QLatin1String(AppConstants::kApplication),
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
    // A stored value the field would refuse never reaches it: every later
    // exchange of the control values would complain about it.
    const int nTimeOut = ReadInt(settings, kKeyTimeOut, kDefaultTimeOutMs);
    m_nTimeOut = nTimeOut >= kMinTimeOutMs && nTimeOut <= kMaxTimeOutMs ? nTimeOut : kDefaultTimeOutMs;
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
    return HistoryLocation(m_strExecutablePath).LoadPath(strSuffix);
}

QString CVelquistDlg::HistorySavePath(const QString& strSuffix) const
{
    return HistoryLocation(m_strExecutablePath).SavePath(strSuffix);
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
    // The user's data folder may not exist before the first save.
    QDir().mkpath(info.absolutePath());
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

void CVelquistDlg::UpdateConnectionControls(bool bConnected)
{
    for (QWidget* pField : std::initializer_list<QWidget*>{m_pUi->m_cbResource, m_pUi->m_editTimeOut, m_pUi->m_chkOpc,
                                                           m_pUi->m_chkEoi, m_pUi->m_chkAppendLF,
                                                           m_pUi->m_chkAppendCR})
        pField->setEnabled(!bConnected);
    EnableCommandButtons(bConnected);
    m_pUi->m_btnConnect->setText(CStringTable::Load(bConnected ? 114 : 113));
}

void CVelquistDlg::EnableCommandButtons(bool bEnable)
{
    for (QPushButton* pButton : {m_pUi->m_btnWrite, m_pUi->m_btnRead, m_pUi->m_btnAutomatic, m_pUi->m_btnGoToLocal,
                                 m_pUi->m_btnRemote, m_pUi->m_btnIdn, m_pUi->m_btnStb, m_pUi->m_btnOpt,
                                 m_pUi->m_btnCls, m_pUi->m_btnRst, m_pUi->m_btnSystErr})
        pButton->setEnabled(bEnable);
}

void CVelquistDlg::EnableForWorker(bool bEnable)
{
    EnableCommandButtons(bEnable);
    for (QPushButton* pButton :
         {m_pUi->m_btnConnect, m_pUi->m_btnMore, m_pUi->m_btnCommandList, m_pUi->m_btnPlugins})
        pButton->setEnabled(bEnable);
    m_pUi->m_btnStop->setVisible(!bEnable);
}

void CVelquistDlg::ShowCommandLength(const QString& strText)
{
    m_pUi->m_lblCommandLength->setText(CStringTable::Format(CStringTable::kCommandLength, {strText.size()}));
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

CInstrumentVISA* CVelquistDlg::NewInstrument()
{
    return new CInstrumentVISA;
}

void CVelquistDlg::ShowMessage(const QString& strText)
{
    QMessageBox::warning(this, QLatin1String(AppConstants::kApplication), strText);
}

void CVelquistDlg::OnConnect()
{
    // A time-out out of range has been reported; connecting with the old
    // value would not be what the user sees in the box.
    if (!TakeControlValues())
        return;

    if (m_strResource.isEmpty()) {
        ShowMessage(CStringTable::Load(CStringTable::kResourceEmpty));
        m_pUi->m_cbResource->setFocus();
        return;
    }

    if (m_pUi->m_cbResource->FindPrefix(m_strResource) < 0)
        m_pUi->m_cbResource->PushEntry(m_strResource);

    const int nInterface = m_pUi->m_cbInterface->currentIndex();
    if (!m_pInstrument && nInterface != 0 && nInterface != 2)
        m_pInstrument = NewInstrument();

    if (m_pInstrument && m_pInstrument->IsInstruConnected()) {
        m_pInstrument->DisconnectInstru();
        delete m_pInstrument;
        m_pInstrument = nullptr;
    } else if (m_pInstrument) {
        if (CCommandCodec::ToLatin1(m_strResource, m_szCommand)
            && !m_pInstrument->SetInstrumentControl(m_szCommand.data(), m_nTimeOut))
            ShowMessage(CStatusLine::Message(CStringTable::Load(CStringTable::kConnectFailed), CStatusLine::Of(m_pInstrument)));
    }

    UpdateConnectionControls(m_pInstrument && m_pInstrument->IsInstruConnected());
    m_pUi->m_btnRead->setEnabled(false);
    m_pUi->m_btnAutomatic->setEnabled(true);
}

bool CVelquistDlg::ConfirmClose()
{
    if (!m_pInstrument || !m_pInstrument->IsInstruConnected())
        return true;
    const bool bWorker = IsWorkerRunning();
    const auto eAnswer =
        QMessageBox::question(this, QLatin1String(AppConstants::kApplication), CStringTable::Load(bWorker ? 105 : 104),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (eAnswer != QMessageBox::Yes)
        return false;
    m_pUi->m_progress->hide();
    m_tmProgress.stop();
    WaitForWorker();
    return true;
}

void CVelquistDlg::reject()
{
    // The close box and Escape both end up here; neither may leave a
    // connected session or a running read without asking.
    if (ConfirmClose())
        CDialogResize::reject();
}
