#include "CmdLineParser.h"

namespace {

int FindFirstOf(const QString& str, int nFrom, const QString& strChars)
{
    for (int n = nFrom; n < str.size(); ++n) {
        if (strChars.contains(str.at(n)))
            return n;
    }
    return -1;
}

} // namespace

CCmdLineParser::CCmdLineParser(const std::optional<QString>& strLine)
{
    ParseLine(strLine);
}

void CCmdLineParser::ParseLine(const std::optional<QString>& strLine)
{
    if (!strLine)
        return;
    m_strLastLine = *strLine;
    m_mapSwitches.clear();

    const QString& str = m_strLastLine;
    const int nSize = str.size();
    int p = 0;
    while (p < nSize) {
        const int nSwitch = FindFirstOf(str, p, QStringLiteral("-/"));
        if (nSwitch < 0)
            return;
        const int n = nSwitch + 1;
        if (n >= nSize)
            return;

        const int nSep = FindFirstOf(str, n, QStringLiteral(" :"));
        if (nSep < 0) {
            StoreSwitch(str.mid(n), QString());
            return;
        }
        const QString strName = str.mid(n, nSep - n);
        if (str.at(nSep) == QLatin1Char(' ') || nSep == nSize - 1) {
            StoreSwitch(strName, QString());
            p = nSep + 1;
            continue;
        }

        // A colon followed by a value; the value may hold colons of its own
        // (resource names do), so only a blank or a closing quote ends it.
        int v = nSep + 1;
        QChar chEnd = QLatin1Char(' ');
        if (str.at(v) == QLatin1Char('"')) {
            ++v;
            chEnd = QLatin1Char('"');
        }
        const int e = str.indexOf(chEnd, v);
        if (e < 0) {
            StoreSwitch(strName, str.mid(v));
            return;
        }
        StoreSwitch(strName, str.mid(v, e - v));
        p = e + 1;
    }
}

bool CCmdLineParser::HasSwitch(const QString& strName) const
{
    return m_mapSwitches.contains(strName.toLower());
}

std::optional<QString> CCmdLineParser::GetSwitchValue(const QString& strName) const
{
    const auto it = m_mapSwitches.constFind(strName.toLower());
    if (it == m_mapSwitches.constEnd())
        return std::nullopt;
    return *it;
}

void CCmdLineParser::StoreSwitch(const QString& strName, const QString& strValue)
{
    if (strName.isEmpty())
        return;
    const QString strKey = strName.toLower();
    if (!m_mapSwitches.contains(strKey))
        m_mapSwitches.insert(strKey, strValue);
}

QString CCmdLineParser::JoinArguments(const QStringList& lstArguments)
{
    QStringList lstParts;
    lstParts.reserve(lstArguments.size());
    for (const QString& strArg : lstArguments) {
        if (!strArg.contains(QLatin1Char(' ')) || strArg.contains(QLatin1Char('"'))) {
            lstParts << strArg;
            continue;
        }
        const bool bSwitch = strArg.startsWith(QLatin1Char('-')) || strArg.startsWith(QLatin1Char('/'));
        const int nColon = strArg.indexOf(QLatin1Char(':'));
        const int nBlank = strArg.indexOf(QLatin1Char(' '));
        if (bSwitch && nColon > 0 && nColon < nBlank)
            lstParts << strArg.left(nColon + 1) + QLatin1Char('"') + strArg.mid(nColon + 1) + QLatin1Char('"');
        else
            lstParts << QLatin1Char('"') + strArg + QLatin1Char('"');
    }
    return lstParts.join(QLatin1Char(' '));
}
