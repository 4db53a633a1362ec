// Writing commands, reading answers and the worker thread of the main window.
#include "VelquistDlg.h"

#include "ui_VelquistDlg.h"

#include "CommandCodec.h"
#include "HistoryCombo.h"
#include "InstrumentVISA.h"
#include "StatusLine.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <limits>

namespace {

const char* const kWriteError = "# Error: Failed to write command to the instrument";
const char* const kReadError = "!!!!! Error: Failed to read data from the instrument !!!!!";
const char* const kStopNotice = "Terminate the running thread. Please waitting ...";
const char* const kAbortNotice = "User abort the operation.";

} // namespace

void CVelquistDlg::OnWrite()
{
    TakeControlValues();
    const bool bPending = WriteCurrentCommand() && CCommandCodec::IsQuery(m_strCommand);
    m_pUi->m_btnRead->setEnabled(bPending);
    m_pUi->m_btnAutomatic->setEnabled(!bPending);
}

void CVelquistDlg::OnAutomatic()
{
    TakeControlValues();
    if (WriteCurrentCommand() && CCommandCodec::IsQuery(m_strCommand))
        StartReadWorker();
}

void CVelquistDlg::OnRead()
{
    StartReadWorker();
}

void CVelquistDlg::OnStop()
{
    m_pUi->m_btnStop->setEnabled(false);
    AppendHistory(QLatin1String(kStopNotice), kOutgoing, 1);
    m_evStop.store(true);
    WaitForWorker();
    m_pUi->m_btnStop->setEnabled(true);
}

int CVelquistDlg::WriteCurrentCommand()
{
    m_pUi->m_cbCommand->PushEntry(m_strCommand);
    return WriteText(m_strCommand, m_strCommand.size());
}

int CVelquistDlg::WriteText(const QString& strText, int nCount)
{
    AppendHistory(strText, kOutgoing, 1);

    // The buffer grows with the command, so a long command goes out whole
    // instead of being cut or written past the end. A command that has no
    // 8-bit form is a failed write, not one to log as sent; only a write
    // that reached the session has a VISA status to name.
    QString strStatus;
    if (CCommandCodec::ToLatin1(strText, m_szCommand)) {
        // Only the text and its terminating zero exist to be sent.
        const int nBytes = qBound(0, nCount, int(strText.size()) + 1);
        const int nSend = CCommandCodec::AppendTerminators(m_szCommand, nBytes, m_bAppendCR != 0, m_bAppendLF != 0);
        std::uint32_t uWritten = 0;
        if (m_pInstrument && m_pInstrument->WriteCommand(m_szCommand.data(), nSend, uWritten))
            return 1;
        strStatus = CStatusLine::Of(m_pInstrument);
    }
    AppendHistory(QLatin1String(kWriteError), kOutgoing, 1);
    AppendHistory(strText, kOutgoing, 1);
    AppendStatusLine(strStatus, kOutgoing);
    return 0;
}

int CVelquistDlg::ReadAt(std::size_t uOffset, std::size_t uCount, int& nStatus)
{
    std::uint32_t uRead = 0;
    nStatus = m_pInstrument->ReadCommand(m_vecReply.data() + uOffset, std::int32_t(uCount), uRead);
    m_nReplyLength += uRead;
    return nStatus;
}

int CVelquistDlg::ReadReply()
{
    if (!m_pInstrument)
        return 0;
    constexpr std::size_t kMaxRequest = std::size_t(std::numeric_limits<std::int32_t>::max());
    // The count of a whole answer is an unsigned 32-bit number.
    constexpr std::size_t kMaxAnswer = std::size_t(std::numeric_limits<unsigned int>::max());
    // A buffer the memory cannot hold fails the read; the window lives.
    if (!m_vecReply.Grow(kFirstReadSize))
        return 0;
    m_nReplyLength = 0;
    int nStatus = 0;
    // One read asks for at most 2 GiB - 1 bytes, so a buffer grown past
    // that by an earlier answer is filled by several reads.
    ReadAt(0, std::min(m_vecReply.size(), kMaxRequest), nStatus);
    for (;;) {
        if (nStatus == CInstrument::kReadComplete || nStatus == CInstrument::kReadTermChar) {
            if (m_nReplyLength >= m_vecReply.size() && !m_vecReply.Grow(std::size_t(m_nReplyLength) + 1))
                return 0;
            m_vecReply[m_nReplyLength] = '\0';
            return 1;
        }
        if (nStatus != CInstrument::kReadBufferFull)
            return 0;
        const std::size_t uFilled = m_nReplyLength;
        if (uFilled >= m_vecReply.size()) {
            // Beyond 4 GiB the answer is refused like one that does not
            // fit into memory.
            if (2 * m_vecReply.size() >= kMaxAnswer || !m_vecReply.Grow(2 * m_vecReply.size()))
                return 0;
        }
        ReadAt(uFilled, std::min(m_vecReply.size() - uFilled, kMaxRequest), nStatus);
        // "Buffer full" without a byte would otherwise loop for ever.
        if (nStatus == CInstrument::kReadBufferFull && m_nReplyLength == uFilled)
            return 0;
    }
}

bool CVelquistDlg::IsWorkerRunning() const
{
    QMutexLocker lock(&m_csWorker);
    return m_pWorker != nullptr;
}

void CVelquistDlg::StartWorker(const std::function<void()>& fnWork)
{
    // The buttons go off before the thread exists, so a click already queued
    // cannot start a second transfer on the same session.
    EnableForWorker(false);
    QThread* pThread = QThread::create(fnWork);
    connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    {
        // Recorded before it runs: the worker clears it as its last action.
        QMutexLocker lock(&m_csWorker);
        m_pWorker = pThread;
    }
    pThread->start();
}

int CVelquistDlg::StartReadWorker()
{
    if (IsWorkerRunning())
        return 0;
    StartWorker([this] { ReadWorker(); });
    return IsWorkerRunning() ? 1 : 0;
}

void CVelquistDlg::RunOnUiThread(const std::function<void()>& fn)
{
    if (QThread::currentThread() == thread())
        fn();
    else
        QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

void CVelquistDlg::AppendStatusLine(const QString& strStatus, EDirection eDirection)
{
    const QString strLine = CStatusLine::HistoryLine(strStatus);
    if (!strLine.isEmpty())
        AppendHistory(strLine, eDirection, 1);
}

void CVelquistDlg::AppendAnswer()
{
    if (m_vecReply.empty())
        return;
    // The pane holds at most kHistoryLimit characters, so widening more of
    // a huge answer would only cost time.
    AppendHistory(CCommandCodec::WidenAnswer(m_vecReply.data(), m_nReplyLength, kHistoryLimit), kIncoming, 1);
}

void CVelquistDlg::FinishWorker()
{
    RunOnUiThread([this] {
        EnableForWorker(true);
        m_tmProgress.stop();
        m_pUi->m_progress->setValue(1);
        m_pUi->m_progress->hide();
    });
}

void CVelquistDlg::ReadWorker()
{
    TaskWorker(
        [this] {
            if (ReadReply()) {
                AppendAnswer();
            } else {
                AppendHistory(QLatin1String(kReadError), kIncoming, 1);
                AppendStatusLine(CStatusLine::Of(m_pInstrument), kIncoming);
            }
        },
        nullptr);
}

int CVelquistDlg::StartTaskWorker(const std::function<void()>& fnTask, const std::function<void()>& fnDone)
{
    if (IsWorkerRunning())
        return 0;
    StartWorker([this, fnTask, fnDone] { TaskWorker(fnTask, fnDone); });
    return IsWorkerRunning() ? 1 : 0;
}

void CVelquistDlg::TaskWorker(const std::function<void()>& fnTask, const std::function<void()>& fnDone)
{
    if (m_pInstrument) {
        RunOnUiThread([this] {
            EnableForWorker(false);
            m_tmProgress.start();
            m_pUi->m_btnStop->hide();
        });
        fnTask();
        FinishWorker();
        // Queued, not waited for: fnDone may open a modal dialog, and the
        // worker must be gone before anything else can start.
        if (fnDone)
            QMetaObject::invokeMethod(this, fnDone, Qt::QueuedConnection);
    } else {
        RunOnUiThread([this] { EnableForWorker(true); });
    }
    QMutexLocker lock(&m_csWorker);
    m_pWorker = nullptr;
}

int CVelquistDlg::RunCommandList(const QStringList& lstCommands)
{
    if (IsWorkerRunning() || lstCommands.isEmpty())
        return 0;
    m_saRunList = lstCommands;
    // A Stop pressed in the moment the button shows at the start of a
    // single read is meant for nothing that runs now.
    m_evStop.store(false);
    StartWorker([this] { CommandListWorker(); });
    return IsWorkerRunning() ? 1 : 0;
}

void CVelquistDlg::CommandListWorker()
{
    if (m_pInstrument) {
        RunOnUiThread([this] {
            EnableForWorker(false);
            m_tmProgress.start();
        });
        int nResult = 0;
        // A command fails when its write fails or, for a query, its read.
        // Stop leaves the commands not sent out of both counts, so the
        // status line shows how many never went.
        const int nAll = int(std::count_if(m_saRunList.cbegin(), m_saRunList.cend(),
                                           [](const QString& strEntry) { return !strEntry.isEmpty(); }));
        int nSuccess = 0;
        int nFailed = 0;
        ReportRunStatus(nAll, nSuccess, nFailed);
        // The one read error line comes after the run; it names the last failed read's status.
        QString strReadStatus;
        for (const QString& strEntry : qAsConst(m_saRunList)) {
            if (!strEntry.isEmpty()) {
                bool bOk = WriteText(strEntry, strEntry.size()) != 0;
                if (CCommandCodec::IsQuery(strEntry)) {
                    if (ReadReply()) {
                        AppendAnswer();
                    } else {
                        nResult = -1;
                        bOk = false;
                        strReadStatus = CStatusLine::Of(m_pInstrument);
                    }
                }
                ++(bOk ? nSuccess : nFailed);
                ReportRunStatus(nAll, nSuccess, nFailed);
            }
            if (m_evStop.exchange(false)) {
                AppendHistory(QLatin1String(kAbortNotice), kIncoming, 1);
                break;
            }
        }
        FinishWorker();
        if (nResult == -1) {
            AppendHistory(QLatin1String(kReadError), kIncoming, 1);
            AppendStatusLine(strReadStatus, kIncoming);
        }
    } else {
        RunOnUiThread([this] { EnableForWorker(true); });
    }
    QMutexLocker lock(&m_csWorker);
    m_pWorker = nullptr;
}

void CVelquistDlg::WaitForWorker()
{
    if (!IsWorkerRunning())
        return;
    // The worker's control changes and history lines are carried out by
    // this thread, so it must keep handling events while it waits.
    QCoreApplication::processEvents();
    while (IsWorkerRunning()) {
        QThread::msleep(kWorkerPollMs);
        QCoreApplication::processEvents();
    }
}

void CVelquistDlg::OnProgressTimer()
{
    m_pUi->m_progress->show();
    const int nPos = m_pUi->m_progress->value();
    m_pUi->m_progress->setValue(nPos >= 100 ? 1 : qMin(nPos + 2, 100));
}
