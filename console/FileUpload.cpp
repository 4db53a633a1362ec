#include "FileUpload.h"

#include "AppConstants.h"
#include "CommandCodec.h"
#include "InstrumentVISA.h"
#include "StatusLine.h"
#include "VelquistDlg.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>
#include <new>
#include <vector>

namespace {

const char* const kUploadDone = "# Info: Successfully to write the command & file to the instrument!";
const char* const kUploadFailed = "# Error: Failed to write the command & file to the instrument!";

} // namespace

CFileUpload::CFileUpload(CVelquistDlg& dlg)
    : QObject(&dlg)
    , m_dlg(dlg)
{
}

QByteArray CFileUpload::BlockHeader(qint64 nSize)
{
    const QByteArray baSize = QByteArray::number(nSize);
    return '#' + QByteArray::number(baSize.size()) + baSize;
}

QString CFileUpload::QuotedName(const QString& strName)
{
    // Inside a quoted string the quote character is written twice.
    return QString(strName).replace(QLatin1Char('\''), QLatin1String("''"));
}

QString CFileUpload::DataCommand(const QString& strName, qint64 nSize)
{
    // The quote closes the name before the block: a quote byte in the data
    // cannot end a string that the data is not part of.
    return QStringLiteral("MMEM:DATA '%1',%2").arg(QuotedName(strName), QString::fromLatin1(BlockHeader(nSize)));
}

void CFileUpload::UploadFile()
{
    // "*", not "*.*": most files here have no dot in their names.
    QFileDialog dlgOpen(&m_dlg, QString(), QString(), tr("All Files (*)"));
    dlgOpen.setAcceptMode(QFileDialog::AcceptOpen);
    dlgOpen.setFileMode(QFileDialog::ExistingFile);
    if (dlgOpen.exec() != QDialog::Accepted || dlgOpen.selectedFiles().isEmpty())
        return;
    const QString strPath = dlgOpen.selectedFiles().constFirst();
    int nSeparator = strPath.lastIndexOf(QLatin1Char('\\'));
    if (nSeparator < 0)
        nSeparator = strPath.lastIndexOf(QLatin1Char('/'));
    const QString strName = strPath.mid(nSeparator + 1);
    if (nSeparator < 0 || strName.isEmpty())
        return;

    // Only regular files: a FIFO or device would block the window or never end.
    QFile file(strPath);
    if (!QFileInfo(strPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        // The system's own text, in either language.
        QMessageBox::warning(&m_dlg, QLatin1String(AppConstants::kApplication),
                             QString::fromUtf8("打开文件读取数据失败!"));
        return;
    }

    CInstrumentVISA* pInstrument = m_dlg.GetInstrument();
    const bool bCR = m_dlg.m_bAppendCR != 0;
    const bool bLF = m_dlg.m_bAppendLF != 0;
    std::vector<char> vecName;
    const QString strNameCommand = QStringLiteral("MMEM:NAME 'C:\\Temp\\%1'").arg(QuotedName(strName));
    if (!pInstrument || !CCommandCodec::ToLatin1(strNameCommand, vecName))
        return;

    const qint64 nSize = file.size();
    const QString strData = DataCommand(strName, nSize);
    const QByteArray baHeader = strData.toLatin1();
    const qint64 nTotal = baHeader.size() + nSize + (bCR ? 1 : 0) + (bLF ? 1 : 0);
    if (nTotal > kMaxMessage) {
        QMessageBox::warning(&m_dlg, QLatin1String(AppConstants::kApplication),
                             tr("The file is too large to upload: the message would reach 2 GiB."));
        return;
    }

    // The line end the user chose ends both messages, as for a typed
    // command; a stream instrument would otherwise wait for it.
    const int nNameBytes =
        CCommandCodec::AppendTerminators(vecName, int(strNameCommand.size()), bCR, bLF);
    std::uint32_t uWritten = 0;
    if (!pInstrument->WriteCommand(vecName.data(), nNameBytes, uWritten))
        return;

    QMessageBox::information(&m_dlg, QLatin1String(AppConstants::kApplication), strData);

    bool bSent = false;
    try {
        std::vector<char> vecMessage(static_cast<std::size_t>(nTotal));
        std::copy(baHeader.cbegin(), baHeader.cend(), vecMessage.begin());
        char* pData = vecMessage.data() + baHeader.size();
        // A file that shrank since its size was taken fails the upload
        // rather than sending stale bytes.
        if (file.read(pData, nSize) == nSize) {
            std::size_t uEnd = std::size_t(baHeader.size() + nSize);
            if (bCR)
                vecMessage[uEnd++] = '\r';
            if (bLF)
                vecMessage[uEnd++] = '\n';
            bSent = pInstrument->WriteCommand(vecMessage.data(), std::int32_t(nTotal), uWritten);
        }
    } catch (const std::bad_alloc&) {
        bSent = false;
    }
    m_dlg.AppendHistory(QLatin1String(bSent ? kUploadDone : kUploadFailed), CVelquistDlg::kOutgoing, 1);
    if (!bSent)
        m_dlg.AppendStatusLine(CStatusLine::Of(pInstrument), CVelquistDlg::kOutgoing);
}
