#pragma once

#include "DialogResize.h"

#include <QString>
#include <QStringList>

#include <memory>

class CFileEditCtrl;
class ICmdListConsole;
class QCloseEvent;
class QPlainTextEdit;
class QTableWidget;

namespace Ui {
class CCmdListDlg;
}

// The modeless window that runs a batch of commands: read from a command
// file and listed with descriptions, or typed one per line in input mode.
class CCmdListDlg : public CDialogResize
{
    Q_OBJECT

public:
    CCmdListDlg(ICmdListConsole* pConsole, QWidget* pParent = nullptr);
    ~CCmdListDlg() override;

    void OnParse();
    void OnRunAll();
    void OnInputToggle();
    void OnOpenFile();
    void OnSaveAs();
    void OnListDblClk();

    // Appends the file's commands after the rows already listed, numbered
    // from 0; a file that cannot be read adds nothing.
    void LoadCommandFile(const QString& strPath);
    void AddCommandRow(int nNumber, const QString& strCommand, const QString& strDescription);
    void ShowInputMode(int bInputMode);
    bool CollectCommands(QStringList& lstCommands) const;

    // The status line: how many commands the run has, and how many of those
    // succeeded and failed so far.
    void ShowRunStatus(int nAll, int nSuccess, int nFailed);

    // Reads a text file of the window (UTF-8, Latin-1 for stray bytes);
    // false when it cannot be read.
    static bool ReadTextFile(const QString& strPath, QString& strText);

    int m_bInputMode = 0;
    QString m_strFilePath;

    static constexpr int kWidthDlu = 258;
    static constexpr int kHeightDlu = 315;
    static constexpr int kChineseHeightDlu = 303;

public slots:
    void accept() override;

protected:
    const ResizeAnchor* GetResizeAnchors() const override;

private:
    void InitDialog();
    void PlaceControls();
    void TakeControlValues();
    void PutMemberValues();
    void ShowMessage(int nId);
    QString AskFileName(bool bSave);

    std::unique_ptr<Ui::CCmdListDlg> m_pUi;
    ICmdListConsole* m_pConsole;
    QTableWidget* m_listCommands;
    CFileEditCtrl* m_editFilePath;
    QPlainTextEdit* m_editInput;
};
