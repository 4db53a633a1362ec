#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class CHistoryCombo;

namespace Ui {
class CVelquistDlg;
}

class CVelquistDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CVelquistDlg(QWidget* pParent = nullptr);
    ~CVelquistDlg() override;

    // Runs the window modally: initialisation, the dialog's own loop, then
    // the shutdown that persists the histories and settings.
    int DoModal();
    void InitDialog();
    void OnDestroy();

    bool TakeControlValues();
    void PutMemberValues();

    void LoadSettings();
    void SaveSettings();
    QString HistoryFilePath(const QString& strSuffix) const;
    static bool LoadHistory(CHistoryCombo& combo, const QString& strPath);
    static bool SaveHistory(CHistoryCombo& combo, const QString& strPath);

    void ShowCommandLength(const QString& strText);

    // The history files sit beside this path; it is the running executable
    // unless a caller (a test) points it elsewhere before InitDialog.
    void SetExecutablePath(const QString& strPath) { m_strExecutablePath = strPath; }
    QString GetExecutablePath() const { return m_strExecutablePath; }

    static constexpr int kDefaultTimeOutMs = 10000;
    static constexpr int kMinTimeOutMs = 1;
    static constexpr int kMaxTimeOutMs = 1000000;

    // Filled by the command line before InitDialog, exchanged with the
    // controls afterwards.
    int m_bUseSettings = 1;
    QString m_strResource;
    QString m_strCommand;
    int m_nTimeOut = kDefaultTimeOutMs;
    int m_bOpcTerminate = 0;
    int m_bEoi = 0;
    int m_bAppendLF = 0;
    int m_bAppendCR = 0;

private slots:
    void OnCommandEdited(const QString& strText);
    void OnCommandSelChange(int nIndex);
    void OnOpcClicked();

private:
    void ApplyLanguageLayout();

    std::unique_ptr<Ui::CVelquistDlg> m_pUi;
    QString m_strExecutablePath;
    bool m_bInitialised = false;
    bool m_bDestroyed = false;
};
