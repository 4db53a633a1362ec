#pragma once

#include <QList>
#include <QString>

class QLocale;

// The numbered user messages 103 to 119. Each entry is an English source text
// translated through the "StringTable" context of the controls catalogue, so
// code refers to a message by its number in one place.
class StringTable
{
public:
    static QString Load(int nId);

    // Fills the "%d" fields of an entry from left to right. Translations are
    // data, so they never reach a printf-style formatter.
    static QString Format(int nId, const QList<qlonglong>& lstValues);
    static QString FormatText(const QString& strText, const QList<qlonglong>& lstValues);

    static bool IsChinese();
    static void SetChinese(bool bChinese);
    static bool IsChineseLocale(const QLocale& locale);

    static constexpr int kFirstId = 103;
    static constexpr int kLastId = 119;
};
