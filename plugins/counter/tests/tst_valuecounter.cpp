#include "ValueCounter.h"

#include <QtTest>

class TestValueCounter : public QObject
{
    Q_OBJECT

private slots:
    void count_data();
    void count();
};

// What the counter makes of an answer: its text, and the separators in it.
void TestValueCounter::count_data()
{
    QTest::addColumn<bool>("bAnswer");
    QTest::addColumn<QByteArray>("baBuffer");
    QTest::addColumn<int>("nLength");
    QTest::addColumn<QString>("strSeparator");
    QTest::addColumn<QString>("strText");
    QTest::addColumn<int>("nCount");

    QTest::newRow("values") << true << QByteArray("1.5,2.5,3.5") << 11 << "," << "1.5,2.5,3.5" << 2;
    QTest::newRow("line feed is no separator") << true << QByteArray("1,2,3\n") << 6 << "," << "1,2,3\n" << 2;
    QTest::newRow("first separator character only") << true << QByteArray("1;2,3;4") << 7 << ";," << "1;2,3;4" << 2;
    QTest::newRow("empty separator") << true << QByteArray("1,2,3") << 5 << "" << "1,2,3" << 0;
    QTest::newRow("space separator") << true << QByteArray("1 2 3") << 5 << " " << "1 2 3" << 2;
    QTest::newRow("quotes are not skipped") << true << QByteArray("\"a,b\",c") << 7 << "," << "\"a,b\",c" << 2;
    QTest::newRow("separator beyond Latin-1") << true << QByteArray("1,2") << 3 << QStringLiteral("\u20AC") << "1,2"
                                              << 0;
    QTest::newRow("no case folding") << true << QByteArray("aAa") << 3 << "A" << "aAa" << 1;
    QTest::newRow("before any read") << false << QByteArray() << 0 << "," << "" << 0;
    QTest::newRow("empty answer") << true << QByteArray("") << 0 << "," << "" << 0;
    // The reply buffer keeps the tail of a longer, earlier answer and has no
    // NUL after a failed or partial read.
    QTest::newRow("bounded by the length") << true << QByteArray("1,2,3,4,5,6") << 3 << "," << "1,2" << 1;
    QTest::newRow("cut at a NUL within") << true << QByteArray("1,2\0,3", 6) << 6 << "," << "1,2" << 1;
    QTest::newRow("negative length") << true << QByteArray("1,2") << -1 << "," << "" << 0;
    QTest::newRow("Latin-1 bytes") << true << QByteArray("\xB5V,\xE9") << 4 << "," << QStringLiteral("\u00B5V,\u00E9")
                                   << 1;
}

void TestValueCounter::count()
{
    QFETCH(bool, bAnswer);
    QFETCH(QByteArray, baBuffer);
    QFETCH(int, nLength);
    QFETCH(QString, strSeparator);
    QFETCH(QString, strText);
    QFETCH(int, nCount);

    // A copy without the array's own NUL, so a read past the length shows.
    const std::vector<char> lstBytes(baBuffer.begin(), baBuffer.end());
    const QLatin1String answer = CValueCounter::AnswerText(bAnswer ? lstBytes.data() : nullptr, nLength);
    QCOMPARE(answer.toString(), strText);
    // The answer as it arrived, and as the user may have edited it in the box.
    QCOMPARE(CValueCounter::CountSeparators(answer, strSeparator), qsizetype(nCount));
    QCOMPARE(CValueCounter::CountSeparators(strText, strSeparator), qsizetype(nCount));
}

QTEST_GUILESS_MAIN(TestValueCounter)
#include "tst_valuecounter.moc"
