#include "CommandCodec.h"

#include <QTime>
#include <QtTest>

class TestCommandCodec : public QObject
{
    Q_OBJECT

private slots:
    void isQuery_data();
    void isQuery();
    void wireBytes_data();
    void wireBytes();
    void timePrefix_data();
    void timePrefix();
    void widenAnswer_data();
    void widenAnswer();
    void decodeUtf8OrLatin1_data();
    void decodeUtf8OrLatin1();
};

void TestCommandCodec::isQuery_data()
{
    QTest::addColumn<QString>("strCommand");
    QTest::addColumn<bool>("bQuery");
    QTest::newRow("*IDN?") << "*IDN?" << true;
    QTest::newRow("? first only") << "?ABC" << false;
    QTest::newRow("? first and later") << "?AB?" << true;
    QTest::newRow("no ?") << "*RST" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("? inside double quotes") << "DISP:TEXT \"Ready?\"" << false;
    QTest::newRow("? inside single quotes") << "MMEM:NAME 'a?b'" << false;
    QTest::newRow("doubled quote stays inside") << "DISP:TEXT \"say \"\"go?\"\"\"" << false;
    QTest::newRow("other quote inside a string") << "DISP:TEXT \"it's ok?\"" << false;
    QTest::newRow("query after a string") << "DISP:TEXT \"Ready?\";*OPC?" << true;
    QTest::newRow("unterminated string") << "DISP:TEXT \"Ready?" << false;
    QTest::newRow("? in block data") << "MMEM:DATA \"f.bin\",#15ab?de" << false;
    QTest::newRow("query after block data") << "MMEM:DATA \"f\",#13a?b;*OPC?" << true;
    QTest::newRow("block data with quote bytes") << "TRAC:DATA #14\"?'x;SYST:ERR?" << true;
    QTest::newRow("block longer than the text") << "TRAC:DATA #19ab?" << false;
    QTest::newRow("indefinite-length block") << "TRAC:DATA #0ab?c" << false;
    QTest::newRow("non-decimal number is no block") << "*ESE #H1F;*ESE?" << true;
    QTest::newRow("header without enough digits") << "X #2a?" << true;
    QTest::newRow("? before a block") << "TRAC? #15ab?de" << true;
}

void TestCommandCodec::isQuery()
{
    QFETCH(QString, strCommand);
    QFETCH(bool, bQuery);
    QCOMPARE(CCommandCodec::IsQuery(strCommand), bQuery);
}

void TestCommandCodec::wireBytes_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<int>("nCount");
    QTest::addColumn<bool>("bCR");
    QTest::addColumn<bool>("bLF");
    QTest::addColumn<bool>("bOk");
    QTest::addColumn<QByteArray>("baSent");

    // The instrument-facing cases (terminators, long and unconvertible
    // commands) are checked on the wire against the simulator.
    QTest::newRow("fixed command sends its zero") << "*IDN?" << 6 << false << true << true
                                                  << QByteArray("*IDN?\0\n", 7);
    QTest::newRow("Latin-1 widest") << QString(QChar(0xFF)) << 1 << false << false << true << QByteArray("\xff");
    QTest::newRow("beyond Latin-1 fails") << QString(QChar(0x100)) << 1 << false << true << false << QByteArray();
    const QString strLong(5000, QLatin1Char('A'));
    QTest::newRow("buffer grows to the text") << strLong << 5000 << true << true << true
                                              << QByteArray(5000, 'A') + "\r\n";
    // Past the initial 2049 bytes, the zero byte of a fixed command and both
    // terminators still fit.
    QTest::newRow("long text with its zero, CR and LF")
        << strLong << 5001 << true << true << true << QByteArray(5000, 'A') + QByteArray("\0\r\n", 3);
}

void TestCommandCodec::wireBytes()
{
    QFETCH(QString, strText);
    QFETCH(int, nCount);
    QFETCH(bool, bCR);
    QFETCH(bool, bLF);
    QFETCH(bool, bOk);
    QFETCH(QByteArray, baSent);

    std::vector<char> vecBuffer(2049, '\x55');
    QCOMPARE(CCommandCodec::ToLatin1(strText, vecBuffer), bOk);
    if (!bOk)
        return;
    QVERIFY(vecBuffer.size() >= std::size_t(nCount) + 3);
    const int nSend = CCommandCodec::AppendTerminators(vecBuffer, nCount, bCR, bLF);
    QCOMPARE(QByteArray(vecBuffer.data(), nSend), baSent);
    QCOMPARE(vecBuffer.at(std::size_t(nSend)), '\0');
}

void TestCommandCodec::timePrefix_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("strPrefix");
    QTest::newRow("blank padded") << QTime(9, 5, 3, 42) << " 9: 5: 3  42 ";
    QTest::newRow("two digits") << QTime(14, 5, 3, 42) << "14: 5: 3  42 ";
    QTest::newRow("all wide") << QTime(23, 59, 59, 999) << "23:59:59 999 ";
    QTest::newRow("midnight") << QTime(0, 0, 0, 0) << " 0: 0: 0   0 ";
}

void TestCommandCodec::timePrefix()
{
    QFETCH(QTime, time);
    QFETCH(QString, strPrefix);
    QCOMPARE(CCommandCodec::TimePrefix(time), strPrefix);
}

void TestCommandCodec::widenAnswer_data()
{
    QTest::addColumn<QByteArray>("baAnswer");
    QTest::addColumn<int>("nMax");
    QTest::addColumn<QString>("strText");
    QTest::newRow("up to the first zero") << QByteArray("#13\0\1\2", 6) << 100 << "#13";
    QTest::newRow("high bytes widen") << QByteArray("\xb5V\xe9") << 100 << QString::fromUtf8("\u00b5V\u00e9");
    QTest::newRow("cut at the limit") << QByteArray(50, 'x') << 10 << QString(10, QLatin1Char('x'));
    QTest::newRow("zero behind the limit") << QByteArray("abcdef\0", 7) << 3 << "abc";
}

void TestCommandCodec::widenAnswer()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(int, nMax);
    QFETCH(QString, strText);
    QCOMPARE(CCommandCodec::WidenAnswer(baAnswer.constData(), std::size_t(baAnswer.size()), nMax), strText);
}

void TestCommandCodec::decodeUtf8OrLatin1_data()
{
    QTest::addColumn<QByteArray>("baBytes");
    QTest::addColumn<QString>("strText");
    QTest::newRow("ASCII") << QByteArray("*IDN?\r\n") << "*IDN?\r\n";
    QTest::newRow("UTF-8") << QByteArray("SOUR:VOLT 5\xce\xa9 \xe6\x8c\x87") << QString::fromUtf8("SOUR:VOLT 5\u03a9 \u6307");
    QTest::newRow("Latin-1 byte") << QByteArray("MEAS \xb5V") << QString::fromUtf8("MEAS \u00b5V");
    QTest::newRow("both in one file") << QByteArray("\xe9\n\xc3\xa9") << QString::fromUtf8("\u00e9\n\u00e9");
    QTest::newRow("sequence cut by the end") << QByteArray("A\xe6\x8c") << QString::fromUtf8("A\u00e6\u008c");
    QTest::newRow("overlong form") << QByteArray("\xc0\xaf") << QString::fromUtf8("\u00c0\u00af");
    QTest::newRow("surrogate form") << QByteArray("\xed\xa0\x80") << QString::fromUtf8("\u00ed\u00a0\u0080");
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << QString::fromUtf8("\U0001F600");
    QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80")
                                    << QString::fromUtf8("\u00f4\u0090\u0080\u0080");
}

void TestCommandCodec::decodeUtf8OrLatin1()
{
    QFETCH(QByteArray, baBytes);
    QFETCH(QString, strText);
    QCOMPARE(CCommandCodec::DecodeUtf8OrLatin1(baBytes), strText);
}

QTEST_GUILESS_MAIN(TestCommandCodec)
#include "tst_commandcodec.moc"
