#include "BrowserLookup.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int kXdgMimeTimeoutMs = 5000;
constexpr qint64 kMaxHandlerNameBytes = 4096;
constexpr qint64 kMaxDesktopFileBytes = 1 << 20;

// Everything after the URL field code is dropped, as the platform's "%1"
// convention did; the quoted form is found first so its quote goes too.
int FindUrlFieldCode(const QString& strExec, int* pnLength)
{
    static const char* const kCodes[] = { "\"%u\"", "\"%U\"", "%u", "%U" };
    for (int nPass = 0; nPass < 2; ++nPass)
    {
        int nBest = -1;
        int nBestLength = 0;
        for (int i = nPass * 2; i < nPass * 2 + 2; ++i)
        {
            const QString strCode = QString::fromLatin1(kCodes[i]);
            const int nPos = strExec.indexOf(strCode);
            if (nPos >= 0 && (nBest < 0 || nPos < nBest))
            {
                nBest = nPos;
                nBestLength = strCode.size();
            }
        }
        if (nBest >= 0)
        {
            *pnLength = nBestLength;
            return nBest;
        }
    }
    return -1;
}

} // namespace

QString CBrowserLookup::ReadDesktopExec(const QString& strPath, int* pnError)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
    {
        *pnError = kErrorFileNotFound;
        return QString();
    }
    if (file.size() > kMaxDesktopFileBytes)
    {
        *pnError = kErrorAssocIncomplete;
        return QString();
    }
    const QStringList lstLines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    bool bInEntry = false;
    for (const QString& strRaw : lstLines)
    {
        const QString strLine = strRaw.trimmed();
        if (strLine.startsWith(QLatin1Char('[')))
        {
            bInEntry = (strLine == QLatin1String("[Desktop Entry]"));
            continue;
        }
        if (!bInEntry)
            continue;
        const int nEq = strLine.indexOf(QLatin1Char('='));
        if (nEq > 0 && strLine.left(nEq).trimmed() == QLatin1String("Exec"))
            return strLine.mid(nEq + 1).trimmed();
    }
    *pnError = kErrorAssocIncomplete;
    return QString();
}

QStringList CBrowserLookup::CommandLine(const QString& strExec, const QString& strTarget)
{
    QString strCommand = strExec;
    int nCodeLength = 0;
    const int nCut = FindUrlFieldCode(strCommand, &nCodeLength);
    if (nCut >= 0)
        strCommand.truncate(nCut);

    QStringList lstArgs;
    const QStringList lstSplit = QProcess::splitCommand(strCommand);
    for (const QString& strArg : lstSplit)
    {
        // Other field codes (%i, %c, %k, %f ...) have no value here; "%%" is a literal '%'.
        if (strArg.size() == 2 && strArg.at(0) == QLatin1Char('%') && strArg.at(1) != QLatin1Char('%'))
            continue;
        lstArgs << QString(strArg).replace(QLatin1String("%%"), QLatin1String("%"));
    }
    if (lstArgs.isEmpty())
        return lstArgs;
    // One argument of its own: a target with blanks or quotes can never turn
    // into extra options of the browser.
    lstArgs << strTarget;
    return lstArgs;
}

int CBrowserLookup::FindBrowser(const QString& strTarget, QString* pstrProgram, QStringList* plstArgs)
{
    const QString strXdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (strXdgMime.isEmpty())
        return kErrorNoAssociation;

    QProcess procQuery;
    procQuery.setProcessChannelMode(QProcess::SeparateChannels);
    procQuery.start(strXdgMime, { QStringLiteral("query"), QStringLiteral("default"),
                                  QStringLiteral("x-scheme-handler/http") });
    if (!procQuery.waitForStarted(kXdgMimeTimeoutMs))
        return kErrorNoAssociation;
    if (!procQuery.waitForFinished(kXdgMimeTimeoutMs))
    {
        procQuery.kill();
        procQuery.waitForFinished(kXdgMimeTimeoutMs);
        return kErrorNoAssociation;
    }
    const QString strDesktopId =
        QString::fromLocal8Bit(procQuery.read(kMaxHandlerNameBytes)).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (strDesktopId.isEmpty() || strDesktopId.contains(QLatin1Char('/'))
        || !strDesktopId.endsWith(QLatin1String(".desktop")))
        return kErrorNoAssociation;

    const QString strDesktopPath = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, strDesktopId);
    if (strDesktopPath.isEmpty())
        return kErrorFileNotFound;

    int nError = kErrorAssocIncomplete;
    const QString strExec = ReadDesktopExec(strDesktopPath, &nError);
    if (strExec.isEmpty())
        return nError;

    QStringList lstArgs = CommandLine(strExec, strTarget);
    if (lstArgs.isEmpty())
        return kErrorAssocIncomplete;
    const QString strProgram = lstArgs.takeFirst();
    const QString strResolved = strProgram.contains(QLatin1Char('/'))
                                    ? (QFileInfo::exists(strProgram) ? strProgram : QString())
                                    : QStandardPaths::findExecutable(strProgram);
    if (strResolved.isEmpty())
        return kErrorFileNotFound;
    if (!QFileInfo(strResolved).isExecutable())
        return kErrorAccessDenied;
    *pstrProgram = strResolved;
    *plstArgs = lstArgs;
    return kFound;
}
