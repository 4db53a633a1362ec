#pragma once

#include <QObject>

#include <memory>

class CFileUpload;
class CHelpDocument;
class CHistoryCombo;
class CVelquistDlg;
class QMenu;
class QPushButton;

// The "More ..." button's menu: command history upkeep, import and export,
// write-and-read, file upload, finding instruments, output, the fixed language and help.
class CMoreMenu : public QObject
{
    Q_OBJECT

public:
    enum class EEntry {
        ClearCommandHistory,
        RemoveCurrentCommand,
        CommandImport,
        CommandExport,
        WriteAndRead,
        UploadFile,
        FindInstruments,
        OutputSaveAs,
        OutputClear,
        LanguageChinese,
        LanguageEnglish,
        DefaultSettings,
        Help,
    };

    CMoreMenu(CVelquistDlg& dlg, CHistoryCombo& cbCommand, QPushButton& btnMore, CHelpDocument& help,
              CFileUpload& upload);

    // Each action carries its EEntry as data.
    std::unique_ptr<QMenu> BuildMenu() const;
    void ShowMoreMenu();
    void OnMoreMenu(EEntry eEntry);

    // The command last chosen from the list (or put there by the program),
    // -1 once the user has typed into the field since.
    int SelectedCommand() const;

private:
    void ClearCommandHistory();
    void RemoveCurrentCommand();
    void ImportCommands();
    void ExportCommands();

    CVelquistDlg& m_dlg;
    CHistoryCombo& m_cbCommand;
    QPushButton& m_btnMore;
    CHelpDocument& m_help;
    CFileUpload& m_upload;
    bool m_bTyped = false;
};
