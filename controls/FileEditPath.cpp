#include "FileEditPath.h"

#include <QDir>
#include <QFileInfo>

bool CFileEditPath::Parse(const QString& strText)
{
    m_strBaseFolder.clear();
    m_lstEntries.clear();

    qsizetype nStart = 0;
    while (nStart < strText.size() && (strText.at(nStart) == QLatin1Char(';') || strText.at(nStart).isSpace()))
        ++nStart;
    if (nStart >= strText.size())
        return false;
    qsizetype nEnd = strText.indexOf(QLatin1Char(';'), nStart);
    if (nEnd < 0)
        nEnd = strText.size();
    while (nEnd > nStart && strText.at(nEnd - 1).isSpace())
        --nEnd;
    const QString strEntry = strText.mid(nStart, nEnd - nStart);

    const qsizetype nSlash = strEntry.lastIndexOf(QLatin1Char('/'));
    m_strBaseFolder = strEntry.left(nSlash + 1);
    m_lstEntries << strEntry.mid(nSlash + 1);
    return true;
}

QString CFileEditPath::GetCurrentPath() const
{
    if (m_lstEntries.isEmpty())
        return QString();
    const QString& strEntry = m_lstEntries.constFirst();
    const QString strJoined = strEntry.startsWith(QLatin1Char('/')) ? strEntry : m_strBaseFolder + strEntry;
    QString strPath = QDir::cleanPath(QDir::current().absoluteFilePath(strJoined));
    // A link to a command file is followed, so the dialog opens where the
    // file really lives; a dangling link stays as typed.
    const QFileInfo info(strPath);
    if (info.isSymLink()) {
        const QString strTarget = info.symLinkTarget();
        if (!strTarget.isEmpty())
            strPath = strTarget;
    }
    return strPath;
}

QString CFileEditPath::NearestExistingFolder(const QString& strPath)
{
    QString strFolder = strPath;
    while (!strFolder.isEmpty()) {
        if (QFileInfo(strFolder).isDir())
            return strFolder.endsWith(QLatin1Char('/')) ? strFolder : strFolder + QLatin1Char('/');
        const qsizetype nSlash = strFolder.lastIndexOf(QLatin1Char('/'), strFolder.endsWith(QLatin1Char('/')) ? -2 : -1);
        if (nSlash < 0)
            break;
        strFolder = nSlash == 0 ? QStringLiteral("/") : strFolder.left(nSlash);
    }
    return QString();
}

QString CFileEditPath::InitialFileName(const QString& strPath)
{
    const QFileInfo info(strPath);
    if (strPath.isEmpty() || !info.exists() || info.isDir())
        return QString();
    return info.fileName();
}
