#include "term_scan.h"

#include <QtTest>

namespace {

// Feeds the stream in the given pieces and returns where each message ended (absolute offsets).
QList<int> message_ends(const QByteArray &stream, const QList<int> &cuts, char termchar)
{
    velq::term_scanner scanner;
    QList<int> ends;
    int start = 0;
    QList<int> bounds = cuts;
    bounds.append(stream.size());
    for (int bound : bounds) {
        int pos = start;
        while (pos < bound) {
            const auto *p = reinterpret_cast<const uint8_t *>(stream.constData()) + pos;
            const size_t end = scanner.scan(p, size_t(bound - pos), uint8_t(termchar));
            if (end == velq::term_scanner::npos)
                break;
            pos += int(end);
            ends.append(pos);
        }
        start = bound;
    }
    return ends;
}

} // namespace

class TestVisaTermScan : public QObject {
    Q_OBJECT

private slots:
    void findsMessageEnds_data();
    void findsMessageEnds();
};

void TestVisaTermScan::findsMessageEnds_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<char>("termchar");
    QTest::addColumn<QList<int>>("ends");

    const QByteArray block = QByteArray("#210") + QByteArray("a\nb\0c\n\0\n\nz", 10);
    const int n = int(block.size());
    QTest::newRow("plain line") << QByteArray("ACME,1,2\n") << '\n' << QList<int>{9};
    QTest::newRow("unfinished") << QByteArray("ACME,1,2") << '\n' << QList<int>{};
    QTest::newRow("two lines") << QByteArray("A\nBC\n") << '\n' << QList<int>{2, 5};
    QTest::newRow("other termchar") << QByteArray("A\nB\r") << '\r' << QList<int>{4};
    QTest::newRow("block with LF and NUL") << block + "\n" << '\n' << QList<int>{n + 1};
    QTest::newRow("block after header and comma") << QByteArray("DATA 1,") + block + "\n" << '\n'
                                                 << QList<int>{7 + n + 1};
    QTest::newRow("block then next message") << block + "\nX\n" << '\n' << QList<int>{n + 1, n + 3};
    QTest::newRow("line then block") << QByteArray("OK\n") + block + "\n" << '\n' << QList<int>{3, 3 + n + 1};
    QTest::newRow("nine-digit length") << QByteArray("#9000000003\n\n\n\n") << '\n' << QList<int>{15};
    QTest::newRow("empty definite block") << QByteArray("#10\n") << '\n' << QList<int>{4};
    QTest::newRow("indefinite block ends at LF") << QByteArray("#0ab\ncd\n") << '\n' << QList<int>{5, 8};
    QTest::newRow("hash then letter") << QByteArray("#A\nB\n") << '\n' << QList<int>{3, 5};
    QTest::newRow("length digit missing") << QByteArray("#3\nX\n") << '\n' << QList<int>{3, 5};
    QTest::newRow("length garbage") << QByteArray("#3x1\n") << '\n' << QList<int>{5};
    QTest::newRow("length cut by LF") << QByteArray("#31\n") << '\n' << QList<int>{4};
    QTest::newRow("hash inside word") << QByteArray("ITEM#12x\n") << '\n' << QList<int>{9};
    QTest::newRow("hash inside quotes") << QByteArray("\"no #12x\"\n") << '\n' << QList<int>{10};
    QTest::newRow("unbalanced quote still ends") << QByteArray("\"open\nnext\n") << '\n' << QList<int>{6, 11};
    QTest::newRow("blocks reset per message") << QByteArray("X#12\n\n#12\n\n\n") << '\n' << QList<int>{5, 6, 12};
}

void TestVisaTermScan::findsMessageEnds()
{
    QFETCH(QByteArray, stream);
    QFETCH(char, termchar);
    QFETCH(QList<int>, ends);

    QCOMPARE(message_ends(stream, {}, termchar), ends);
    // The state machine must give the same answer however the stream is cut.
    for (int cut = 1; cut < stream.size(); ++cut)
        QCOMPARE(message_ends(stream, {cut}, termchar), ends);
    QList<int> every_byte;
    for (int i = 1; i < stream.size(); ++i)
        every_byte.append(i);
    QCOMPARE(message_ends(stream, every_byte, termchar), ends);
}

QTEST_GUILESS_MAIN(TestVisaTermScan)
#include "tst_visa_term_scan.moc"
