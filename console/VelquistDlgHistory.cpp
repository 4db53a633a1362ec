// The session history pane of the main window.
#include "VelquistDlg.h"

#include "ui_VelquistDlg.h"

#include "AppConstants.h"
#include "CommandCodec.h"
#include "StringTable.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// QPlainTextEdit keeps a final block separator that is not part of the text.
int PaneLength(const QPlainTextEdit& pane)
{
    return qMax(0, pane.document()->characterCount() - 1);
}

} // namespace

QTime CVelquistDlg::CurrentTime() const
{
    return QTime::currentTime();
}

void CVelquistDlg::AppendHistory(const QString& strText, EDirection eDirection, int bLineBreak)
{
    RunOnUiThread([&] { AppendHistoryOnUi(strText, eDirection, bLineBreak); });
}

void CVelquistDlg::AppendHistoryOnUi(const QString& strText, EDirection eDirection, int bLineBreak)
{
    QPlainTextEdit& pane = *m_pUi->m_editHistory;
    pane.setFocus();

    int nLength = PaneLength(pane);
    if (nLength >= kHistoryLimit) {
        const auto eAnswer = QMessageBox::question(this, QLatin1String(AppConstants::kApplication),
                                                   CStringTable::Load(CStringTable::kHistoryFull), QMessageBox::Yes | QMessageBox::No);
        if (eAnswer == QMessageBox::Yes)
            SaveHistoryAs();
        pane.clear();
        nLength = 0;
    }

    QString strLine = CCommandCodec::TimePrefix(CurrentTime());
    strLine += eDirection == kOutgoing ? QLatin1String(">>> ") : QLatin1String("<<< ");
    // Built only up to what fits: a huge answer is never copied whole.
    const int nRoom = kHistoryLimit - nLength;
    strLine += strText.left(qMax(0, nRoom - int(strLine.size())));
    if (bLineBreak)
        strLine += QLatin1Char('\n');
    // The pane is cut where the limit falls, as the platform's text
    // control cuts an insertion that would pass its limit.
    strLine.truncate(nRoom);

    QTextCursor cursor(pane.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(strLine);
    pane.setTextCursor(cursor);
    pane.ensureCursorVisible();
}

QString CVelquistDlg::HistoryText() const
{
    // Raw text keeps non-breaking spaces of answers; only the block
    // separators become line feeds again.
    QString strText = m_pUi->m_editHistory->document()->toRawText();
    strText.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    strText.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return strText;
}

void CVelquistDlg::ClearHistory()
{
    if (PaneLength(*m_pUi->m_editHistory) > 0)
        m_pUi->m_editHistory->clear();
}

void CVelquistDlg::SaveHistoryAs()
{
    const QString strName = QStringLiteral("OutputHistory-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QFileDialog dlg(this, QString(), strName, tr("Text file(*.txt);;All files(*.*)"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(QStringLiteral("txt"));
    dlg.selectFile(strName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    QFile file(dlg.selectedFiles().constFirst());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    file.write(HistoryText().toUtf8());
    file.close();
}
