#include "MoreMenu.h"

#include "AppConstants.h"
#include "CommandCodec.h"
#include "FileUpload.h"
#include "FindInstrumentsDlg.h"
#include "HelpDocument.h"
#include "HistoryCombo.h"
#include "StringTable.h"
#include "VelquistDlg.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>

CMoreMenu::CMoreMenu(CVelquistDlg& dlg, CHistoryCombo& cbCommand, QPushButton& btnMore, CHelpDocument& help,
                     CFileUpload& upload)
    : QObject(&dlg)
    , m_dlg(dlg)
    , m_cbCommand(cbCommand)
    , m_btnMore(btnMore)
    , m_help(help)
    , m_upload(upload)
{
    m_btnMore.setToolTip(QString());
    connect(&m_btnMore, &QPushButton::clicked, this, &CMoreMenu::ShowMoreMenu);
    connect(m_cbCommand.lineEdit(), &QLineEdit::textEdited, this, [this] { m_bTyped = true; });
    connect(&m_cbCommand, &QComboBox::currentIndexChanged, this, [this] { m_bTyped = false; });
    // Choosing the entry that is already current changes no index.
    connect(&m_cbCommand, qOverload<int>(&QComboBox::activated), this, [this] { m_bTyped = false; });
}

std::unique_ptr<QMenu> CMoreMenu::BuildMenu() const
{
    auto pMenu = std::make_unique<QMenu>(&m_dlg);
    const auto fnAdd = [](QMenu& menu, const QString& strText, EEntry eEntry) {
        menu.addAction(strText)->setData(int(eEntry));
    };
    fnAdd(*pMenu, tr("Cleare Command History"), EEntry::ClearCommandHistory);
    fnAdd(*pMenu, tr("Remove Current Command"), EEntry::RemoveCurrentCommand);
    pMenu->addSeparator();
    fnAdd(*pMenu, tr("Command Import"), EEntry::CommandImport);
    fnAdd(*pMenu, tr("Command Export"), EEntry::CommandExport);
    pMenu->addSeparator();
    fnAdd(*pMenu, tr("Write and Read"), EEntry::WriteAndRead);
    QMenu* pFiles = pMenu->addMenu(tr("File Operations"));
    fnAdd(*pFiles, tr("Upload File..."), EEntry::UploadFile);
    fnAdd(*pMenu, CFindInstrumentsDlg::MenuText(), EEntry::FindInstruments);
    pMenu->addSeparator();
    fnAdd(*pMenu, tr("Output Save As..."), EEntry::OutputSaveAs);
    fnAdd(*pMenu, tr("Output Clear"), EEntry::OutputClear);
    pMenu->addSeparator();
    // The language follows the desktop's at start-up; these only show the choice.
    QMenu* pLanguages = pMenu->addMenu(tr("Languages"));
    fnAdd(*pLanguages, tr("Chinese"), EEntry::LanguageChinese);
    fnAdd(*pLanguages, QStringLiteral("English"), EEntry::LanguageEnglish);
    fnAdd(*pMenu, tr("Default Settings"), EEntry::DefaultSettings);
    pMenu->addSeparator();
    fnAdd(*pMenu, tr("Help"), EEntry::Help);
    return pMenu;
}

void CMoreMenu::ShowMoreMenu()
{
    const std::unique_ptr<QMenu> pMenu = BuildMenu();
    const QAction* pChosen = pMenu->exec(m_btnMore.mapToGlobal(QPoint(0, 0)));
    if (pChosen && pChosen->data().isValid())
        OnMoreMenu(EEntry(pChosen->data().toInt()));
}

void CMoreMenu::OnMoreMenu(EEntry eEntry)
{
    switch (eEntry) {
    case EEntry::ClearCommandHistory:
        ClearCommandHistory();
        break;
    case EEntry::RemoveCurrentCommand:
        RemoveCurrentCommand();
        break;
    case EEntry::CommandImport:
        ImportCommands();
        break;
    case EEntry::CommandExport:
        ExportCommands();
        break;
    case EEntry::WriteAndRead:
        // Reads even after a command that is no query: the user asked for both.
        m_dlg.TakeControlValues();
        if (m_dlg.WriteCurrentCommand())
            m_dlg.StartReadWorker();
        break;
    case EEntry::UploadFile:
        m_upload.UploadFile();
        break;
    case EEntry::FindInstruments:
        m_dlg.OnFindInstruments();
        break;
    case EEntry::OutputSaveAs:
        m_dlg.SaveHistoryAs();
        break;
    case EEntry::OutputClear:
        m_dlg.ClearHistory();
        break;
    case EEntry::LanguageChinese:
    case EEntry::LanguageEnglish:
        break;
    case EEntry::DefaultSettings:
        m_dlg.m_bOpcTerminate = 0;
        m_dlg.PutMemberValues();
        break;
    case EEntry::Help:
        m_help.OpenHelpDocument();
        break;
    }
}

int CMoreMenu::SelectedCommand() const
{
    const int nIndex = m_cbCommand.currentIndex();
    if (m_bTyped || nIndex < 0 || m_cbCommand.itemText(nIndex) != m_cbCommand.currentText())
        return -1;
    return nIndex;
}

void CMoreMenu::ClearCommandHistory()
{
    const auto eAnswer = QMessageBox::question(&m_dlg, QLatin1String(AppConstants::kApplication),
                                               CStringTable::Load(CStringTable::kDeleteAllCommands), QMessageBox::Ok | QMessageBox::Cancel);
    if (eAnswer == QMessageBox::Ok)
        m_cbCommand.EmptyHistory();
}

void CMoreMenu::RemoveCurrentCommand()
{
    const int nIndex = SelectedCommand();
    if (nIndex < 0)
        return;
    m_cbCommand.removeItem(nIndex);
    m_cbCommand.setCurrentIndex(nIndex > 0 ? nIndex - 1 : 0);
}

void CMoreMenu::ImportCommands()
{
    QFileDialog dlgOpen(&m_dlg, QString(), QString(), tr("Text file(*.txt);;All files(*)"));
    dlgOpen.setAcceptMode(QFileDialog::AcceptOpen);
    dlgOpen.setFileMode(QFileDialog::ExistingFile);
    dlgOpen.setDefaultSuffix(QStringLiteral("txt"));
    dlgOpen.selectFile(QStringLiteral("velqlog"));
    if (dlgOpen.exec() != QDialog::Accepted || dlgOpen.selectedFiles().isEmpty())
        return;
    const QString strPath = dlgOpen.selectedFiles().constFirst();
    // Only regular files: a FIFO would block the window.
    QFile file(strPath);
    if (!QFileInfo(strPath).isFile() || !file.open(QIODevice::ReadOnly))
        return;
    // Lists written by other tools may be in a legacy 8-bit encoding.
    m_cbCommand.ImportLines(CCommandCodec::DecodeUtf8OrLatin1(file.readAll()));
    m_cbCommand.setCurrentIndex(0);
}

void CMoreMenu::ExportCommands()
{
    const QString strName =
        QStringLiteral("velqlog-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QFileDialog dlgSave(&m_dlg, QString(), strName, tr("Text file(*.txt);;All files(*)"));
    dlgSave.setAcceptMode(QFileDialog::AcceptSave);
    dlgSave.setFileMode(QFileDialog::AnyFile);
    dlgSave.setDefaultSuffix(QStringLiteral("txt"));
    dlgSave.selectFile(strName);
    if (dlgSave.exec() != QDialog::Accepted || dlgSave.selectedFiles().isEmpty())
        return;
    // A failed write leaves an earlier export of the same name whole.
    QSaveFile file(dlgSave.selectedFiles().constFirst());
    if (!file.open(QIODevice::WriteOnly))
        return;
    QString strHistory;
    m_cbCommand.ExportLines(strHistory);
    file.write(strHistory.toUtf8());
    file.commit();
}
