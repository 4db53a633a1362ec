#pragma once

#include "CmdListConsole.h"
#include "DialogResize.h"
#include "ReplyBuffer.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class CCmdListDlg;
class CErrorQueueReadout;
class CFileUpload;
class CFreqUsedCommands;
class CHelpDocument;
class CHistoryCombo;
class CHyperLink;
class CInstrumentVISA;
class CMoreMenu;
class CPlugInHost;
class QThread;
class QTime;

namespace Ui {
class CVelquistDlg;
}

class CVelquistDlg : public CDialogResize, public ICmdListConsole
{
    Q_OBJECT

public:
    enum EDirection { kOutgoing, kIncoming };

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
    // Read from the first, written to the second: beside the executable, or
    // in the user's data folder when the executable's folder is read-only.
    QString HistoryFilePath(const QString& strSuffix) const;
    QString HistorySavePath(const QString& strSuffix) const;
    static bool LoadHistory(CHistoryCombo& combo, const QString& strPath);
    static bool SaveHistory(CHistoryCombo& combo, const QString& strPath);

    // Connection and worker state of the controls.
    void UpdateConnectionControls(bool bConnected);
    void EnableCommandButtons(bool bEnable);
    void EnableForWorker(bool bEnable);
    void ShowCommandLength(const QString& strText);
    // Lets the user pick a found instrument for the VISA Res box.
    void OnFindInstruments();

    void OnConnect();
    void OnWrite();
    void OnRead();
    void OnAutomatic();
    void OnStop();

    int WriteCurrentCommand();
    int WriteText(const QString& strText, int nCount);
    int ReadReply();
    int StartReadWorker();
    int RunCommandList(const QStringList& lstCommands);
    void WaitForWorker();
    bool IsWorkerRunning() const;
    // Runs fnTask on the worker as a single read runs (controls disabled, no
    // Stop); fnDone follows on the window's thread once the controls are back.
    int StartTaskWorker(const std::function<void()>& fnTask, const std::function<void()>& fnDone);

    // Session history pane. Safe to call from the worker thread: the work is
    // carried out on the window's thread.
    void AppendHistory(const QString& strText, EDirection eDirection, int bLineBreak);
    // The VISA status behind a failure, as a "# NAME: description" line; nothing for a success.
    void AppendStatusLine(const QString& strStatus, EDirection eDirection);
    void ClearHistory();
    void SaveHistoryAs();
    QString HistoryText() const;

    // The help document beside the executable ("velquist" -> "velquist.pdf").
    QString HelpFilePath() const;

    // The history files sit beside this path; it is the running executable
    // unless a caller (a test) points it elsewhere before InitDialog.
    void SetExecutablePath(const QString& strPath) { m_strExecutablePath = strPath; }
    QString GetExecutablePath() const { return m_strExecutablePath; }

    // The close box and Escape: asks first while connected.
    void reject() override;

    CInstrumentVISA* GetInstrument() const { return m_pInstrument; }
    CPlugInHost* GetPlugInHost() const { return m_pPlugIns; }

    // The command list window: created on first use, then shown, restored
    // or hidden by each press of "Command List".
    void ShowCommandList();
    CCmdListDlg* GetCmdListDlg() const { return m_pCmdListDlg; }
    bool IsInstrumentConnected() const override;
    void SetCommandText(const QString& strCommand) override;
    QIcon GetConsoleIcon() const override;
    const CReplyBuffer& GetReplyBuffer() const { return m_vecReply; }
    unsigned int GetReplyLength() const { return m_nReplyLength; }

    static constexpr int kDefaultTimeOutMs = 10000;
    static constexpr int kMinTimeOutMs = 1;
    static constexpr int kMaxTimeOutMs = 1000000;
    // The rich-text control's default text limit: the pane never holds more.
    static constexpr int kHistoryLimit = 32767;
    static constexpr int kFirstReadSize = 1024;
    static constexpr int kCommandBufferSize = 2049;
    static constexpr int kProgressTimerMs = 100;
    // How long WaitForWorker sleeps between looks at the worker.
    static constexpr int kWorkerPollMs = 100;

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

protected:
    const ResizeAnchor* GetResizeAnchors() const override;

    // Tests substitute a session that records or scripts its calls.
    virtual CInstrumentVISA* NewInstrument();
    // Local time of day for the history lines.
    virtual QTime CurrentTime() const;

private slots:
    void OnCommandEdited(const QString& strText);
    void OnCommandSelChange(int nIndex);
    void OnOpcClicked();
    void OnProgressTimer();

private:
    void PlaceControls();
    void ApplyLanguageLayout();
    void SetupFooter();
    bool ConfirmClose();
    void ShowMessage(const QString& strText);
    // Runs fn on the window's thread and returns when it is done.
    void RunOnUiThread(const std::function<void()>& fn);
    void AppendHistoryOnUi(const QString& strText, EDirection eDirection, int bLineBreak);
    void AppendAnswer();
    // After an error line: the VISA status behind it, when there is one.
    int ReadAt(std::size_t uOffset, std::size_t uCount, int& nStatus);
    void StartWorker(const std::function<void()>& fnWork);
    void ReadWorker();
    void TaskWorker(const std::function<void()>& fnTask, const std::function<void()>& fnDone);
    void CommandListWorker();
    void FinishWorker();
    void ReportRunStatus(int nAll, int nSuccess, int nFailed);

    std::unique_ptr<Ui::CVelquistDlg> m_pUi;
    CHyperLink* m_pFooter = nullptr;
    CPlugInHost* m_pPlugIns = nullptr;
    QString m_strExecutablePath;
    bool m_bInitialised = false;
    bool m_bDestroyed = false;

    CInstrumentVISA* m_pInstrument = nullptr;
    CCmdListDlg* m_pCmdListDlg = nullptr;
    // The 8-bit command (or resource name); grows for commands longer than
    // its initial 2049 bytes instead of cutting them.
    std::vector<char> m_szCommand;
    CReplyBuffer m_vecReply;
    unsigned int m_nReplyLength = 0;
    QStringList m_saRunList;
    QThread* m_pWorker = nullptr;
    mutable QMutex m_csWorker;
    // Auto-reset: the worker reads and clears it between commands.
    std::atomic<bool> m_evStop{false};
    QTimer m_tmProgress;

    // Capabilities of the window, each its own class; owned as children.
    CHelpDocument* m_pHelp = nullptr;
    CFileUpload* m_pFileUpload = nullptr;
    CErrorQueueReadout* m_pErrorReadout = nullptr;
    CFreqUsedCommands* m_pFreqUsed = nullptr;
    CMoreMenu* m_pMoreMenu = nullptr;
};
