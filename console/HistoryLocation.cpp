#include "HistoryLocation.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

CHistoryLocation::CHistoryLocation(const QString& strExecutablePath, const QString& strDataDir,
                                   WritableProbe fnWritable)
    : m_strExecutablePath(strExecutablePath)
    , m_strDataDir(strDataDir)
    , m_fnWritable(std::move(fnWritable))
{
    if (!m_fnWritable)
        m_fnWritable = [](const QString& strFolder) { return QFileInfo(strFolder).isWritable(); };
}

QString CHistoryLocation::BesideExecutable(const QString& strExecutablePath, const QString& strSuffix)
{
    const QFileInfo info(strExecutablePath);
    if (info.fileName().contains(QLatin1Char('.'))) {
        const int nDot = strExecutablePath.lastIndexOf(QLatin1Char('.'));
        return strExecutablePath.left(nDot + 1) + strSuffix;
    }
    return strExecutablePath + QLatin1Char('.') + strSuffix;
}

QString CHistoryLocation::LoadPath(const QString& strSuffix) const
{
    const QString strBeside = BesideExecutable(m_strExecutablePath, strSuffix);
    if (!UseDataFolder())
        return strBeside;
    const QString strOwn = InDataFolder(strSuffix);
    if (!QFileInfo::exists(strOwn) && QFileInfo::exists(strBeside))
        return strBeside;
    return strOwn;
}

QString CHistoryLocation::SavePath(const QString& strSuffix) const
{
    return UseDataFolder() ? InDataFolder(strSuffix) : BesideExecutable(m_strExecutablePath, strSuffix);
}

bool CHistoryLocation::UseDataFolder() const
{
    if (m_strDataDir.isEmpty())
        return false;
    return !m_fnWritable(QFileInfo(m_strExecutablePath).absolutePath());
}

QString CHistoryLocation::InDataFolder(const QString& strSuffix) const
{
    return QDir(m_strDataDir).filePath(QFileInfo(BesideExecutable(m_strExecutablePath, strSuffix)).fileName());
}
