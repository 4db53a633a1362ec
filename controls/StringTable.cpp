#include "StringTable.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

struct SEntry
{
    int nId;
    const char* pszText;
};

// The English texts are the system's own, misspellings included: users and
// scripts may match on them.
constexpr SEntry kEntries[] = {
    {CStringTable::kSocketInitFailed, QT_TRANSLATE_NOOP("StringTable", "Windows Socket Initialized Failed!")},
    {CStringTable::kExitWhileConnected, QT_TRANSLATE_NOOP("StringTable",
                            "The application is connected to the instrument now, do you really want to exit?")},
    {CStringTable::kStopRunningQuery, QT_TRANSLATE_NOOP("StringTable",
                            "There was a query in the process, do you really want to terminate it?")},
    {CStringTable::kRunStatus, QT_TRANSLATE_NOOP("StringTable", "All: %d, Success: %d, Failed: %d")},
    {CStringTable::kConnectFailed, QT_TRANSLATE_NOOP("StringTable", "Failed to connect  the device!")},
    {CStringTable::kDeleteAllCommands, QT_TRANSLATE_NOOP("StringTable", "Are you sure to delete all the commands?")},
    {CStringTable::kHistoryFull, QT_TRANSLATE_NOOP("StringTable",
                            "The text of the history is over limit, the memory buffer will be cleared.\n"
                            "Would you like to save the previous records?\n"
                            "\"Yes\" to Save, \"No\" to Clear without saving.")},
    {CStringTable::kCommandsRunning, QT_TRANSLATE_NOOP("StringTable", "There are remote commands executing now, please try later!")},
    {CStringTable::kNotConnected, QT_TRANSLATE_NOOP("StringTable",
                            "There is no connection now, please connect to the instrument at first!")},
    {CStringTable::kNoCommands, QT_TRANSLATE_NOOP("StringTable",
                            "There was no any remote commands in  the list, the operation will be abort!")},
    {CStringTable::kConnect, QT_TRANSLATE_NOOP("StringTable", "Connec&t")},
    {CStringTable::kDisconnect, QT_TRANSLATE_NOOP("StringTable", "Disonnec&t")},
    {CStringTable::kResourceEmpty, QT_TRANSLATE_NOOP("StringTable", "VISA name was empty, please input the VISA resource name!")},
    {CStringTable::kCommandLength, QT_TRANSLATE_NOOP("StringTable", "%d Ch")},
    {CStringTable::kCommandList, QT_TRANSLATE_NOOP("StringTable", "Command List")},
    {CStringTable::kCommandInput, QT_TRANSLATE_NOOP("StringTable", "Command Input")},
    {CStringTable::kHelpFailed, QT_TRANSLATE_NOOP("StringTable",
                            "Failed to load the help document, reinstalling the program may solve this problem!")},
};

bool s_bChinese = false;

} // namespace

QString CStringTable::Load(int nId)
{
    for (const SEntry& entry : kEntries) {
        if (entry.nId == nId)
            return QCoreApplication::translate("StringTable", entry.pszText);
    }
    return QString();
}

QString CStringTable::Format(int nId, const QList<qlonglong>& lstValues)
{
    return FormatText(Load(nId), lstValues);
}

QString CStringTable::FormatText(const QString& strText, const QList<qlonglong>& lstValues)
{
    QString strOut;
    strOut.reserve(strText.size() + 8 * lstValues.size());
    int nNext = 0;
    for (int n = 0; n < strText.size(); ++n) {
        const QChar ch = strText.at(n);
        if (ch == QLatin1Char('%') && n + 1 < strText.size()) {
            const QChar chNext = strText.at(n + 1);
            if (chNext == QLatin1Char('d')) {
                strOut += nNext < lstValues.size() ? QString::number(lstValues.at(nNext)) : QString();
                ++nNext;
                ++n;
                continue;
            }
            if (chNext == QLatin1Char('%')) {
                strOut += QLatin1Char('%');
                ++n;
                continue;
            }
        }
        strOut += ch;
    }
    return strOut;
}

bool CStringTable::IsChinese()
{
    return s_bChinese;
}

void CStringTable::SetChinese(bool bChinese)
{
    s_bChinese = bChinese;
}

bool CStringTable::IsChineseLocale(const QLocale& locale)
{
    // The interface language is the first of the user's UI languages
    // (LANGUAGE before LC_MESSAGES/LANG on Linux), not the number format.
    const QStringList lstUi = locale.uiLanguages();
    if (!lstUi.isEmpty())
        return QLocale(lstUi.first()).language() == QLocale::Chinese;
    return locale.language() == QLocale::Chinese;
}
