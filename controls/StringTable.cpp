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
    {103, QT_TRANSLATE_NOOP("StringTable", "Windows Socket Initialized Failed!")},
    {104, QT_TRANSLATE_NOOP("StringTable",
                            "The application is connected to the instrument now, do you really want to exit?")},
    {105, QT_TRANSLATE_NOOP("StringTable",
                            "There was a query in the process, do you really want to terminate it?")},
    {106, QT_TRANSLATE_NOOP("StringTable", "All: %d, Success: %d, Failed: %d")},
    {107, QT_TRANSLATE_NOOP("StringTable", "Failed to connect  the device!")},
    {108, QT_TRANSLATE_NOOP("StringTable", "Are you sure to delete all the commands?")},
    {109, QT_TRANSLATE_NOOP("StringTable",
                            "The text of the history is over limit, the memory buffer will be cleared.\n"
                            "Would you like to save the previous records?\n"
                            "\"Yes\" to Save, \"No\" to Clear without saving.")},
    {110, QT_TRANSLATE_NOOP("StringTable", "There are remote commands executing now, please try later!")},
    {111, QT_TRANSLATE_NOOP("StringTable",
                            "There is no connection now, please connect to the instrument at first!")},
    {112, QT_TRANSLATE_NOOP("StringTable",
                            "There was no any remote commands in  the list, the operation will be abort!")},
    {113, QT_TRANSLATE_NOOP("StringTable", "Connec&t")},
    {114, QT_TRANSLATE_NOOP("StringTable", "Disonnec&t")},
    {115, QT_TRANSLATE_NOOP("StringTable", "VISA name was empty, please input the VISA resource name!")},
    {116, QT_TRANSLATE_NOOP("StringTable", "%d Ch")},
    {117, QT_TRANSLATE_NOOP("StringTable", "Command List")},
    {118, QT_TRANSLATE_NOOP("StringTable", "Command Input")},
    {119, QT_TRANSLATE_NOOP("StringTable",
                            "Failed to load the help document, reinstalling the program may solve this problem!")},
};

bool s_bChinese = false;

} // namespace

QString StringTable::Load(int nId)
{
    for (const SEntry& entry : kEntries) {
        if (entry.nId == nId)
            return QCoreApplication::translate("StringTable", entry.pszText);
    }
    return QString();
}

QString StringTable::Format(int nId, const QList<qlonglong>& lstValues)
{
    return FormatText(Load(nId), lstValues);
}

QString StringTable::FormatText(const QString& strText, const QList<qlonglong>& lstValues)
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

bool StringTable::IsChinese()
{
    return s_bChinese;
}

void StringTable::SetChinese(bool bChinese)
{
    s_bChinese = bChinese;
}

bool StringTable::IsChineseLocale(const QLocale& locale)
{
    // The interface language is the first of the user's UI languages
    // (LANGUAGE before LC_MESSAGES/LANG on Linux), not the number format.
    const QStringList lstUi = locale.uiLanguages();
    if (!lstUi.isEmpty())
        return QLocale(lstUi.first()).language() == QLocale::Chinese;
    return locale.language() == QLocale::Chinese;
}
