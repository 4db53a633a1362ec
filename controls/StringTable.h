#pragma once

#include <QList>
#include <QString>

class QLocale;

// The numbered user messages 103 to 119. Each entry is an English source text
// translated through the "StringTable" context of the controls catalogue, so
// code refers to a message by its number in one place.
class CStringTable
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

    // The entries by name; the numbers are the table's own.
    static constexpr int kSocketInitFailed = 103;
    static constexpr int kExitWhileConnected = 104;
    static constexpr int kStopRunningQuery = 105;
    static constexpr int kRunStatus = 106;
    static constexpr int kConnectFailed = 107;
    static constexpr int kDeleteAllCommands = 108;
    static constexpr int kHistoryFull = 109;
    static constexpr int kCommandsRunning = 110;
    static constexpr int kNotConnected = 111;
    static constexpr int kNoCommands = 112;
    static constexpr int kConnect = 113;
    static constexpr int kDisconnect = 114;
    static constexpr int kResourceEmpty = 115;
    static constexpr int kCommandLength = 116;
    static constexpr int kCommandList = 117;
    static constexpr int kCommandInput = 118;
    static constexpr int kHelpFailed = 119;

    static constexpr int kFirstId = 103;
    static constexpr int kLastId = 119;
};
