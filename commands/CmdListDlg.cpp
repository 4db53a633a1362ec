#include "CmdListDlg.h"

#include "ui_CmdListDlg.h"

#include "CmdFileParser.h"
#include "CmdListConsole.h"
#include "ConsoleSettings.h"
#include "FileEditCtrl.h"
#include "StringTable.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QSaveFile>
#include <QSettings>
#include <QTextCursor>

namespace {

const char* const kKeyFilePath = "CommandFilePath";
const char* const kKeyInput = "Input";

} // namespace

CCmdListDlg::CCmdListDlg(ICmdListConsole* pConsole, QWidget* pParent)
    : CDialogResize(pParent)
    , m_pUi(std::make_unique<Ui::CCmdListDlg>())
    , m_pConsole(pConsole)
{
    {
        const std::unique_ptr<QSettings> pSettings = ConsoleSettings::OpenSettings();
        pSettings->beginGroup(QLatin1String(ConsoleSettings::kGroup));
        m_bInputMode = ConsoleSettings::ReadInt(*pSettings, kKeyInput, 0) ? 1 : 0;
    }

    m_pUi->setupUi(this);
    m_listCommands = m_pUi->m_listCommands;
    m_editFilePath = m_pUi->m_editFilePath;
    m_editInput = m_pUi->m_editInput;
    // Modeless beside the console, with its own task-bar look: minimise and
    // maximise like any top-level window.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setModal(false);

    connect(m_pUi->m_btnParse, &QPushButton::clicked, this, &CCmdListDlg::OnParse);
    connect(m_pUi->m_btnRunAll, &QPushButton::clicked, this, &CCmdListDlg::OnRunAll);
    connect(m_pUi->m_btnInput, &QPushButton::clicked, this, &CCmdListDlg::OnInputToggle);
    connect(m_pUi->m_btnOpenFile, &QPushButton::clicked, this, &CCmdListDlg::OnOpenFile);
    connect(m_pUi->m_btnSaveAs, &QPushButton::clicked, this, &CCmdListDlg::OnSaveAs);
    connect(m_pUi->m_btnOK, &QPushButton::clicked, this, &CCmdListDlg::accept);
    connect(m_pUi->m_btnCancel, &QPushButton::clicked, this, &CCmdListDlg::reject);
    connect(m_listCommands, &QTableWidget::cellDoubleClicked, this, &CCmdListDlg::OnListDblClk);

    PlaceControls();
    InitDialog();
}

CCmdListDlg::~CCmdListDlg()
{
    const std::unique_ptr<QSettings> pSettings = ConsoleSettings::OpenSettings();
    pSettings->beginGroup(QLatin1String(ConsoleSettings::kGroup));
    pSettings->setValue(QLatin1String(kKeyInput), m_bInputMode);
    pSettings->endGroup();
    pSettings->sync();
}

const ResizeAnchor* CCmdListDlg::GetResizeAnchors() const
{
    return kCmdListResizeAnchors;
}

void CCmdListDlg::PlaceControls()
{
    struct SPlace
    {
        QWidget* pWidget;
        int nId;
        int nX, nY, nCx, nCy;
        bool bBelowList;
    };
    const Ui::CCmdListDlg& ui = *m_pUi;
    // Dialog units of the English template; the Chinese one is shorter, and
    // everything below the list moves up by the difference.
    const SPlace kPlaces[] = {
        {ui.m_btnInput, 1029, 7, 7, 70, 14, false},
        {ui.m_btnOpenFile, 1000, 81, 7, 60, 14, false},
        {ui.m_btnSaveAs, 1002, 145, 7, 60, 14, false},
        {ui.m_listCommands, 1009, 7, 26, 244, 228, false},
        {ui.m_editInput, 1030, 7, 26, 244, 246, false},
        {ui.m_editFilePath, 1010, 7, 258, 198, 14, true},
        {ui.m_btnParse, 3, 209, 258, 42, 14, true},
        {ui.m_lblStatus, 1023, 7, 278, 244, 10, true},
        {ui.m_btnRunAll, 1022, 7, 294, 60, 14, true},
        {ui.m_btnOK, 1, 147, 294, 50, 14, true},
        {ui.m_btnCancel, 2, 201, 294, 50, 14, true},
    };
    const int nHeight = CStringTable::IsChinese() ? kChineseHeightDlu : kHeightDlu;
    const int nShift = kHeightDlu - nHeight;
    for (const SPlace& place : kPlaces) {
        SetControlId(place.pWidget, place.nId);
        const bool bGrows = place.nId == 1009 || place.nId == 1030;
        PlaceInDialogUnits(place.pWidget, place.nX, place.nY - (place.bBelowList ? nShift : 0), place.nCx,
                           place.nCy - (bGrows ? nShift : 0));
    }
    ResizeInDialogUnits(kWidthDlu, nHeight);
}

void CCmdListDlg::InitDialog()
{
    InitResizing();
    const QIcon icon = m_pConsole ? m_pConsole->GetConsoleIcon() : QIcon();
    if (!icon.isNull())
        setWindowIcon(icon);

    m_listCommands->setColumnCount(3);
    m_listCommands->setHorizontalHeaderLabels({tr("No."), tr("Command"), tr("Description")});
    m_listCommands->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_listCommands->verticalHeader()->hide();
    // Report-view rows: one line of text each, not the taller default.
    const int nRowHeight = fontMetrics().height() + 6;
    m_listCommands->verticalHeader()->setMinimumSectionSize(nRowHeight);
    m_listCommands->verticalHeader()->setDefaultSectionSize(nRowHeight);
    m_listCommands->setColumnWidth(0, 40);
    m_listCommands->setColumnWidth(1, 320);
    m_listCommands->setColumnWidth(2, 120);
    m_listCommands->horizontalHeader()->setStretchLastSection(false);

    {
        const std::unique_ptr<QSettings> pSettings = ConsoleSettings::OpenSettings();
        pSettings->beginGroup(QLatin1String(ConsoleSettings::kGroup));
        m_strFilePath = pSettings->value(QLatin1String(kKeyFilePath)).toString();
    }
    PutMemberValues();
    LoadCommandFile(m_strFilePath);
    ShowInputMode(m_bInputMode);
}

void CCmdListDlg::TakeControlValues()
{
    m_editFilePath->UpdateEntries();
    m_strFilePath = m_editFilePath->text();
    m_bInputMode = m_pUi->m_btnInput->isChecked() ? 1 : 0;
}

void CCmdListDlg::PutMemberValues()
{
    m_editFilePath->setText(m_strFilePath);
    m_pUi->m_btnInput->setChecked(m_bInputMode != 0);
}

void CCmdListDlg::accept()
{
    TakeControlValues();
    CDialogResize::accept();
}

void CCmdListDlg::OnParse()
{
    TakeControlValues();
    if (m_strFilePath.isEmpty())
        return;
    {
        const std::unique_ptr<QSettings> pSettings = ConsoleSettings::OpenSettings();
        pSettings->beginGroup(QLatin1String(ConsoleSettings::kGroup));
        pSettings->setValue(QLatin1String(kKeyFilePath), m_strFilePath);
    }
    m_listCommands->setRowCount(0);
    LoadCommandFile(m_strFilePath);
}

void CCmdListDlg::LoadCommandFile(const QString& strPath)
{
    CCmdFileParser parser(strPath);
    if (!parser.IsOpen())
        return;
    // Thousands of rows are added without a layout pass for each.
    m_listCommands->setUpdatesEnabled(false);
    QString strCommand;
    QString strDescription;
    int nNumber = 0;
    for (;;) {
        const int nResult = parser.GetNextCommand(strCommand, strDescription);
        if (nResult == CMDFILE_END)
            break;
        if (nResult == CMDFILE_COMMAND)
            AddCommandRow(nNumber++, strCommand, strDescription);
    }
    m_listCommands->setUpdatesEnabled(true);
}

void CCmdListDlg::AddCommandRow(int nNumber, const QString& strCommand, const QString& strDescription)
{
    const int nRow = m_listCommands->rowCount();
    m_listCommands->insertRow(nRow);
    m_listCommands->setItem(nRow, 0, new QTableWidgetItem(QString::number(nNumber)));
    m_listCommands->setItem(nRow, 1, new QTableWidgetItem(strCommand));
    m_listCommands->setItem(nRow, 2, new QTableWidgetItem(strDescription));
}

void CCmdListDlg::OnInputToggle()
{
    TakeControlValues();
    ShowInputMode(m_bInputMode);
}

void CCmdListDlg::ShowInputMode(int bInputMode)
{
    const bool bInput = bInputMode != 0;
    for (QWidget* pInput : std::initializer_list<QWidget*>{m_editInput, m_pUi->m_btnSaveAs, m_pUi->m_btnOpenFile})
        pInput->setVisible(bInput);
    for (QWidget* pList : std::initializer_list<QWidget*>{m_listCommands, m_editFilePath, m_pUi->m_btnParse})
        pList->setVisible(!bInput);
    // Enter parses the path in list mode; in input mode it breaks the line.
    m_pUi->m_btnParse->setDefault(!bInput);
    m_pUi->m_btnOK->setDefault(bInput);

    // The caption names the mode the button leads to.
    QString strCaption = CStringTable::Load(bInput ? 117 : 118);
    if (strCaption.isEmpty())
        strCaption = bInput ? QStringLiteral("Command List") : QStringLiteral("Command Input");
    m_pUi->m_btnInput->setText(strCaption);
}

bool CCmdListDlg::CollectCommands(QStringList& lstCommands) const
{
    if (m_bInputMode) {
        // Whole lines of the text, however the box wraps them on screen and
        // however long they are: a cut waveform table would be a different
        // command.
        const QStringList lstLines = m_editInput->toPlainText().split(QLatin1Char('\n'));
        for (const QString& strLine : lstLines) {
            if (!strLine.isEmpty())
                lstCommands << strLine;
        }
    } else {
        for (int nRow = 0; nRow < m_listCommands->rowCount(); ++nRow) {
            const QTableWidgetItem* pItem = m_listCommands->item(nRow, 1);
            if (pItem && !pItem->text().isEmpty())
                lstCommands << pItem->text();
        }
    }
    return !lstCommands.isEmpty();
}

void CCmdListDlg::ShowMessage(int nId)
{
    QMessageBox::warning(this, QLatin1String(ConsoleSettings::kApplication), CStringTable::Load(nId));
}

void CCmdListDlg::OnRunAll()
{
    if (!m_pConsole || !m_pConsole->IsInstrumentConnected()) {
        ShowMessage(111);
        return;
    }
    QStringList lstCommands;
    if (!CollectCommands(lstCommands)) {
        ShowMessage(112);
        return;
    }
    if (!m_pConsole->RunCommandList(lstCommands))
        ShowMessage(110);
}

void CCmdListDlg::OnListDblClk()
{
    const int nRow = m_listCommands->currentRow();
    if (m_listCommands->selectedItems().isEmpty() || nRow < 0 || nRow >= m_listCommands->rowCount())
        return;
    const QTableWidgetItem* pItem = m_listCommands->item(nRow, 1);
    if (pItem && m_pConsole)
        m_pConsole->SetCommandText(pItem->text());
}

QString CCmdListDlg::AskFileName(bool bSave)
{
    QFileDialog dlg(this, QString(), QString(), tr("SCPI commands file(*.scmd);;All files(*)"));
    dlg.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(QStringLiteral("scmd"));
    dlg.selectFile(QStringLiteral("command_input"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

bool CCmdListDlg::ReadTextFile(const QString& strPath, QString& strText)
{
    strText.clear();
    // Regular files only: a FIFO would block the window's thread.
    if (!QFileInfo(strPath).isFile())
        return false;
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray baText = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    if (baText.startsWith("\xEF\xBB\xBF"))
        baText.remove(0, 3);
    baText.replace("\r\n", "\n");
    strText = CCmdFileParser::DecodeText(baText);
    return true;
}

void CCmdListDlg::OnOpenFile()
{
    const QString strPath = AskFileName(false);
    if (strPath.isEmpty())
        return;
    m_editInput->clear();
    QString strText;
    if (!ReadTextFile(strPath, strText) || strText.isEmpty())
        return;
    // Every line ends with a line break, so the caret lands after the last.
    if (!strText.endsWith(QLatin1Char('\n')))
        strText += QLatin1Char('\n');
    m_editInput->setPlainText(strText);
    m_editInput->moveCursor(QTextCursor::End);
}

void CCmdListDlg::OnSaveAs()
{
    const QString strPath = AskFileName(true);
    if (strPath.isEmpty())
        return;
    // Renamed over an existing file only once complete, so a full disk
    // never leaves half a command file behind.
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(m_editInput->toPlainText().toUtf8());
    file.commit();
}

void CCmdListDlg::ShowRunStatus(int nAll, int nSuccess, int nFailed)
{
    m_pUi->m_lblStatus->setText(CStringTable::Format(CStringTable::kRunStatus, {nAll, nSuccess, nFailed}));
}
