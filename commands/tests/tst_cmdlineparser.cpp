#include "CmdLineParser.h"

#include <QtTest>

using SwitchMap = QMap<QString, QString>;
Q_DECLARE_METATYPE(SwitchMap)

// Reads every stored switch back through the public interface, so a stray or
// missing switch shows up as a difference in the whole map.
static SwitchMap Collect(const CCmdLineParser& parser, const QStringList& lstProbe)
{
    SwitchMap map;
    for (const QString& strName : lstProbe) {
        const std::optional<QString> strValue = parser.GetSwitchValue(strName);
        if (strValue)
            map.insert(strName.toLower(), *strValue);
    }
    return map;
}

class TestCmdLineParser : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void caseInsensitiveLookup();
    void noneLeavesStateAlone();
    void reparseReplaces();
    void joinArguments_data();
    void joinArguments();
};

void TestCmdLineParser::parse_data()
{
    QTest::addColumn<QString>("strLine");
    QTest::addColumn<int>("nCount");
    QTest::addColumn<SwitchMap>("mapExpected");

    QTest::newRow("resource keeps its colons")
        << "-VISA:TCPIP0::192.168.1.5::INSTR -Timeout:3000" << 2
        << SwitchMap{{"visa", "TCPIP0::192.168.1.5::INSTR"}, {"timeout", "3000"}};
    QTest::newRow("blank ends the name, loose word ignored")
        << "-Timeout 3000" << 1 << SwitchMap{{"timeout", ""}};
    QTest::newRow("quoted value with blank")
        << "/Name:\"two words\" -x" << 2 << SwitchMap{{"name", "two words"}, {"x", ""}};
    QTest::newRow("first occurrence wins")
        << "-a:1 -A:2" << 1 << SwitchMap{{"a", "1"}};
    QTest::newRow("unclosed quote runs to the end")
        << "-x:\"open" << 1 << SwitchMap{{"x", "open"}};
    QTest::newRow("quote as last character") << "-x:\"" << 1 << SwitchMap{{"x", ""}};
    QTest::newRow("lone switch character") << "-" << 0 << SwitchMap{};
    QTest::newRow("two lone switch characters") << "- -" << 0 << SwitchMap{};
    QTest::newRow("empty line") << "" << 0 << SwitchMap{};
    QTest::newRow("no switch character") << "VISA:GPIB0 Timeout:5" << 0 << SwitchMap{};
    QTest::newRow("leading text ignored") << "junk -k:v" << 1 << SwitchMap{{"k", "v"}};
    QTest::newRow("colon as last character") << "-x:" << 1 << SwitchMap{{"x", ""}};
    QTest::newRow("colon then blank gives empty value")
        << "-x: -y:2" << 2 << SwitchMap{{"x", ""}, {"y", "2"}};
    QTest::newRow("empty name with value not stored")
        << "-:5 -k:v" << 1 << SwitchMap{{"k", "v"}};
    QTest::newRow("name to end of text") << "/Verbose" << 1 << SwitchMap{{"verbose", ""}};
    QTest::newRow("slash inside a value is not a switch")
        << "-path:a/b -n:1" << 2 << SwitchMap{{"path", "a/b"}, {"n", "1"}};
    QTest::newRow("hyphen inside a name does not split it")
        << "-a-b:1" << 1 << SwitchMap{{"a-b", "1"}};
    QTest::newRow("quoted value keeps hyphens and colons")
        << "-t:\"-x:1 /y\" -z" << 2 << SwitchMap{{"t", "-x:1 /y"}, {"z", ""}};
    QTest::newRow("switch right after a closing quote")
        << "-a:\"1\"-b:2" << 2 << SwitchMap{{"a", "1"}, {"b", "2"}};
    QTest::newRow("non-ASCII name lower-cased")
        << "-ÄBC:ü" << 1 << SwitchMap{{"äbc", "ü"}};
}

void TestCmdLineParser::parse()
{
    QFETCH(QString, strLine);
    QFETCH(int, nCount);
    QFETCH(SwitchMap, mapExpected);

    const CCmdLineParser parser(strLine);
    QCOMPARE(parser.GetLastLine(), strLine);
    QCOMPARE(parser.GetSwitchCount(), nCount);
    QStringList lstProbe = mapExpected.keys();
    lstProbe << "visa" << "timeout" << "x" << "a" << "" << "-";
    QCOMPARE(Collect(parser, lstProbe), mapExpected);
    for (auto it = mapExpected.cbegin(); it != mapExpected.cend(); ++it)
        QVERIFY(parser.HasSwitch(it.key()));
}

void TestCmdLineParser::caseInsensitiveLookup()
{
    const CCmdLineParser parser(QStringLiteral("/visa:GPIB0::5::INSTR /TIMEOUT:500"));
    for (const char* pszName : {"VISA", "visa", "Visa"})
        QCOMPARE(parser.GetSwitchValue(QLatin1String(pszName)).value_or("<none>"), QStringLiteral("GPIB0::5::INSTR"));
    QCOMPARE(parser.GetSwitchValue(QStringLiteral("Timeout")).value_or("<none>"), QStringLiteral("500"));
    QVERIFY(!parser.GetSwitchValue(QStringLiteral("missing")).has_value());
}

void TestCmdLineParser::noneLeavesStateAlone()
{
    CCmdLineParser parser(QStringLiteral("-k:v"));
    parser.ParseLine(std::nullopt);
    QCOMPARE(parser.GetLastLine(), QStringLiteral("-k:v"));
    QCOMPARE(parser.GetSwitchValue(QStringLiteral("k")).value_or("<none>"), QStringLiteral("v"));

    const CCmdLineParser empty(std::nullopt);
    QCOMPARE(empty.GetSwitchCount(), 0);
}

void TestCmdLineParser::reparseReplaces()
{
    CCmdLineParser parser(QStringLiteral("-a:1 -b:2"));
    parser.ParseLine(QStringLiteral("-a:3"));
    QCOMPARE(parser.GetSwitchCount(), 1);
    QCOMPARE(parser.GetSwitchValue(QStringLiteral("a")).value_or("<none>"), QStringLiteral("3"));
    QVERIFY(!parser.HasSwitch(QStringLiteral("b")));
}

void TestCmdLineParser::joinArguments_data()
{
    QTest::addColumn<QStringList>("lstArgs");
    QTest::addColumn<QString>("strName");
    QTest::addColumn<QString>("strValue");

    QTest::newRow("plain") << QStringList{"-VISA:GPIB0::18::INSTR", "-Timeout:5000"}
                           << "visa" << "GPIB0::18::INSTR";
    QTest::newRow("value with blanks")
        << QStringList{"-Name:two words", "-x"} << "name" << "two words";
    QTest::newRow("quoted loose argument keeps later switches")
        << QStringList{"a -b", "-k:v"} << "k" << "v";
}

void TestCmdLineParser::joinArguments()
{
    QFETCH(QStringList, lstArgs);
    QFETCH(QString, strName);
    QFETCH(QString, strValue);
    const CCmdLineParser parser(CCmdLineParser::JoinArguments(lstArgs));
    QCOMPARE(parser.GetSwitchValue(strName).value_or("<none>"), strValue);
}

QTEST_GUILESS_MAIN(TestCmdLineParser)
#include "tst_cmdlineparser.moc"
