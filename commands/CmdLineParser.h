#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Splits a command line into switches introduced by '-' or '/', each with an
// optional value written name:value. Names are case-insensitive; the first
// occurrence of a name wins.
class CCmdLineParser
{
public:
    CCmdLineParser() = default;
    explicit CCmdLineParser(const std::optional<QString>& strLine);
    virtual ~CCmdLineParser() = default;

    void ParseLine(const std::optional<QString>& strLine);
    bool HasSwitch(const QString& strName) const;
    std::optional<QString> GetSwitchValue(const QString& strName) const;

    QString GetLastLine() const { return m_strLastLine; }
    int GetSwitchCount() const { return m_mapSwitches.size(); }

    // Rebuilds one command line from separate program arguments. The shell
    // has already removed the quotes, so a value holding blanks is quoted
    // again; otherwise "-Name:two words" would lose its second word.
    static QString JoinArguments(const QStringList& lstArguments);

private:
    void StoreSwitch(const QString& strName, const QString& strValue);

    QString m_strLastLine;
    QMap<QString, QString> m_mapSwitches;
};
