#include "CmdFileParser.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// Every result until the end as one string each: "skip", "end", or the
// command and description in brackets.
QStringList ReadAll(const QString& strPath)
{
    CCmdFileParser parser(strPath);
    if (!parser.IsOpen())
        return {QStringLiteral("not open")};
    QStringList lstResults;
    QString strCommand = QStringLiteral("stale");
    QString strDescription = QStringLiteral("stale");
    // Bounded, so a parser that never reports the end fails instead of hanging.
    for (int n = 0; n < 100000; ++n) {
        const int nResult = parser.GetNextCommand(strCommand, strDescription);
        if (nResult == CMDFILE_COMMAND) {
            lstResults << QStringLiteral("[%1][%2]").arg(strCommand, strDescription);
        } else {
            lstResults << (nResult == CMDFILE_END ? QStringLiteral("end") : QStringLiteral("skip"));
            if (nResult == CMDFILE_END)
                break;
        }
    }
    return lstResults;
}

} // namespace

class TestCmdFileParser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void parse_data();
    void parse();
    void notOpened_data();
    void notOpened();

private:
    QString Write(const QString& strName, const QByteArray& baBytes)
    {
        const QString strPath = m_dir.filePath(strName);
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(baBytes) != baBytes.size())
            qFatal("cannot write %s", qPrintable(strPath));
        return strPath;
    }

    QTemporaryDir m_dir;
};

void TestCmdFileParser::parse_data()
{
    QTest::addColumn<QByteArray>("baFile");
    QTest::addColumn<QStringList>("lstResults");

    QTest::newRow("the documented example")
        << QByteArray(";  power supply check\n\n*RST\nVOLT 5|set 5 V\nMEAS:VOLT?|read back|volts\n ;not a comment\n"
                      "|only a note\n")
        << QStringList{"skip", "skip", "[*RST][]", "[VOLT 5][set 5 V]", "[MEAS:VOLT?][read back|volts]",
                       "[ ;not a comment][]", "[][only a note]", "end"};
    QTest::newRow("last line without a line feed") << QByteArray("*CLS\n*RST")
                                                   << QStringList{"[*CLS][]", "[*RST][]", "end"};
    QTest::newRow("comment as the unterminated last line") << QByteArray("*CLS\n;done")
                                                           << QStringList{"[*CLS][]", "end"};
    QTest::newRow("only comments") << QByteArray(";a\n;b\n") << QStringList{"skip", "skip", "end"};
    QTest::newRow("empty file") << QByteArray() << QStringList{"end"};
    QTest::newRow("empty line at the end") << QByteArray("A\n\n") << QStringList{"[A][]", "skip", "end"};
    QTest::newRow("bar at the end and bar alone") << QByteArray("a|\n|\n") << QStringList{"[a][]", "[][]", "end"};
    QTest::newRow("blanks are a command") << QByteArray("   \n") << QStringList{"[   ][]", "end"};
    QTest::newRow("blanks around the bar stay") << QByteArray(" A | d \n") << QStringList{"[ A ][ d ]", "end"};
    QTest::newRow("stray CR inside a line") << QByteArray("*R\rST\n") << QStringList{"[*RST][]", "end"};
    QTest::newRow("CR alone ends no line") << QByteArray("A\rB\r") << QStringList{"[AB][]", "end"};
    QTest::newRow("CR only line is empty") << QByteArray("\r\nA\n") << QStringList{"skip", "[A][]", "end"};
    QTest::newRow("byte order mark dropped") << QByteArray("\xEF\xBB\xBF*IDN?\n") << QStringList{"[*IDN?][]", "end"};
    QTest::newRow("byte order mark before a comment") << QByteArray("\xEF\xBB\xBF;x\n") << QStringList{"skip", "end"};
    QTest::newRow("UTF-8 text") << QByteArray("DISP:TEXT \"25\xC2\xB0\x43\"|\xE7\x94\xB5\xE5\x8E\x8B\n")
                                << QStringList{QString::fromUtf8("[DISP:TEXT \"25\u00B0C\"][\u7535\u538B]"), "end"};
    QTest::newRow("Latin-1 bytes that are not UTF-8") << QByteArray("DISP:TEXT \"25\xB0\x43\"|\xE9t\xE9\n")
                                                      << QStringList{QString::fromUtf8("[DISP:TEXT \"25\u00B0C\"][\u00E9t\u00E9]"), "end"};
    QTest::newRow("overlong and surrogate forms are bytes") << QByteArray("\xC0\xAF|\xED\xA0\x80\n")
                                                            << QStringList{QString::fromUtf8("[\u00C0\u00AF][\u00ED\u00A0\u0080]"), "end"};
    QTest::newRow("four-byte sequence") << QByteArray("\xF0\x9F\x94\x8C\n")
                                        << QStringList{QString::fromUtf8("[\U0001F50C][]"), "end"};
    const QByteArray baLong = "TRAC:DATA " + QByteArray(100000, '7');
    QTest::newRow("a line of 100 000 characters")
        << QByteArray(baLong + "|wave\n*OPC?")
        << QStringList{QStringLiteral("[%1][wave]").arg(QString::fromLatin1(baLong)), "[*OPC?][]", "end"};
    // Lines that straddle the parser's read chunks.
    QByteArray baMany;
    QStringList lstMany;
    for (int n = 0; n < 20000; ++n) {
        baMany += "VOLT " + QByteArray::number(n) + "\n";
        lstMany << QStringLiteral("[VOLT %1][]").arg(n);
    }
    QTest::newRow("20 000 lines") << baMany << (lstMany << "end");
}

void TestCmdFileParser::parse()
{
    QFETCH(QByteArray, baFile);
    QFETCH(QStringList, lstResults);

    QCOMPARE(ReadAll(Write(QStringLiteral("lf.scmd"), baFile)), lstResults);
    // The same file written with CR LF line ends reads the same.
    QByteArray baCrLf = baFile;
    baCrLf.replace("\n", "\r\n");
    QCOMPARE(ReadAll(Write(QStringLiteral("crlf.scmd"), baCrLf)), lstResults);
}

void TestCmdFileParser::notOpened_data()
{
    QTest::addColumn<QString>("strName");
    QTest::newRow("empty path") << "";
    QTest::newRow("missing file") << "missing.scmd";
    QTest::newRow("a folder") << ".";
    QTest::newRow("a FIFO nobody writes") << "fifo.scmd";
}

void TestCmdFileParser::notOpened()
{
    QFETCH(QString, strName);
    const QString strPath = strName.isEmpty() ? QString() : m_dir.filePath(strName);
    if (strName == QLatin1String("fifo.scmd"))
        QCOMPARE(::mkfifo(QFile::encodeName(strPath).constData(), 0600), 0);
    CCmdFileParser parser(strPath);
    QVERIFY(!parser.IsOpen());
}

QTEST_GUILESS_MAIN(TestCmdFileParser)
#include "tst_cmdfileparser.moc"
