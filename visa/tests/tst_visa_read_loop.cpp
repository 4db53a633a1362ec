// Where a message ends, for every transport: the read loop against a scripted source whose chunks
// carry END, a termination stop by the peer, a restart or an error.

#include "transport/read_loop.h"

#include <QtTest>

using velq::read_loop;

namespace {

// One chunk a line: its bytes, then flags after '|': E = END on the last byte, T = the peer stopped
// at the termination character, R = restart. "!tmo" stands for a receive that times out.
class scripted_source : public velq::read_source {
public:
    explicit scripted_source(const QStringList &chunks) : m_chunks(chunks) {}

    ViStatus next_chunk(ViByte *dst, size_t cap, size_t, const velq::io_attrs &, const velq::tcp_deadline &,
                        velq::read_chunk *chunk) override
    {
        if (m_next >= m_chunks.size() || m_chunks.at(m_next) == "!tmo") {
            ++m_next;
            return VI_ERROR_TMO;
        }
        const QStringList parts = m_chunks.at(m_next).split('|');
        const QByteArray bytes = parts.at(0).toLatin1();
        const QString flags = parts.value(1);
        // The loop never asks for more than fits; a chunk larger than cap is split.
        const size_t len = std::min<size_t>(cap, size_t(bytes.size()));
        std::memcpy(dst, bytes.constData(), len);
        chunk->len = len;
        const bool whole = len == size_t(bytes.size());
        chunk->end = whole && flags.contains('E');
        chunk->term = whole && flags.contains('T');
        chunk->restart = flags.contains('R');
        if (whole)
            ++m_next;
        else
            m_chunks[m_next] = QString::fromLatin1(bytes.mid(int(len))) + (flags.isEmpty() ? "" : "|" + flags);
        return VI_SUCCESS;
    }

private:
    QStringList m_chunks;
    int m_next = 0;
};

QString status_name(ViStatus status)
{
    switch (status) {
    case VI_SUCCESS: return "END";
    case VI_SUCCESS_TERM_CHAR: return "TERM";
    case VI_SUCCESS_MAX_CNT: return "MAX";
    case VI_ERROR_TMO: return "TMO";
    default: return QString::number(status, 16);
    }
}

} // namespace

Q_DECLARE_METATYPE(read_loop::term_scan)

class TestVisaReadLoop : public QObject {
    Q_OBJECT

private slots:
    void readsEndWhereTheMessageEnds_data();
    void readsEndWhereTheMessageEnds();
};

void TestVisaReadLoop::readsEndWhereTheMessageEnds_data()
{
    QTest::addColumn<read_loop::term_scan>("scan");
    QTest::addColumn<bool>("termcharEn");
    QTest::addColumn<bool>("suppressEnd");
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QList<int>>("counts");   // one read each
    QTest::addColumn<QStringList>("expected"); // "STATUS:bytes" per read

    const auto plain = read_loop::term_scan::plain;
    const auto block = read_loop::term_scan::block_aware;
    const auto peer = read_loop::term_scan::by_peer;

    QTest::newRow("END over two chunks") << plain << false << false << QStringList{"ab", "cd|E"} << QList<int>{10}
                                         << QStringList{"END:abcd"};
    QTest::newRow("buffer fills, the rest comes next")
        << plain << false << false << QStringList{"abcdef|E"} << QList<int>{4, 4} << QStringList{"MAX:abcd", "END:ef"};
    QTest::newRow("END and termchar on the last byte: END wins")
        << plain << true << false << QStringList{"abc\n|E"} << QList<int>{10} << QStringList{"END:abc\n"};
    QTest::newRow("termchar mid-chunk keeps the rest and its END")
        << plain << true << false << QStringList{"a\nb\n|E"} << QList<int>{10, 10} << QStringList{"TERM:a\n", "END:b\n"};
    QTest::newRow("termchar in kept bytes") << plain << true << false << QStringList{"a\nb\nc|E"}
                                            << QList<int>{10, 10, 10}
                                            << QStringList{"TERM:a\n", "TERM:b\n", "END:c"};
    QTest::newRow("termchar off: line feeds are data")
        << plain << false << false << QStringList{"a\nb\n|E"} << QList<int>{10} << QStringList{"END:a\nb\n"};
    QTest::newRow("END suppressed: read on to the termchar")
        << plain << true << true << QStringList{"ab|E", "c\n|E"} << QList<int>{10} << QStringList{"TERM:abc\n"};
    QTest::newRow("block payload is not scanned")
        << block << true << false << QStringList{"#14a\nbc", "\n"} << QList<int>{20} << QStringList{"TERM:#14a\nbc\n"};
    QTest::newRow("plain scan stops inside a block")
        << plain << true << false << QStringList{"#14a\nbc\n"} << QList<int>{20} << QStringList{"TERM:#14a\n"};
    QTest::newRow("peer reports the termchar") << peer << true << false << QStringList{"ab\n|T"} << QList<int>{10}
                                               << QStringList{"TERM:ab\n"};
    QTest::newRow("peer termchar ignored when off")
        << peer << false << false << QStringList{"ab\n|T", "c|E"} << QList<int>{10} << QStringList{"END:ab\nc"};
    QTest::newRow("restart drops what was gathered")
        << plain << false << false << QStringList{"old", "|R", "new|E"} << QList<int>{10} << QStringList{"END:new"};
    QTest::newRow("time-out counts the bytes that came")
        << plain << true << false << QStringList{"par", "!tmo"} << QList<int>{10} << QStringList{"TMO:par"};
    QTest::newRow("zero count") << plain << false << false << QStringList{"a|E"} << QList<int>{0, 5}
                                << QStringList{"MAX:", "END:a"};
}

void TestVisaReadLoop::readsEndWhereTheMessageEnds()
{
    QFETCH(read_loop::term_scan, scan);
    QFETCH(bool, termcharEn);
    QFETCH(bool, suppressEnd);
    QFETCH(QStringList, chunks);
    QFETCH(QList<int>, counts);
    QFETCH(QStringList, expected);

    velq::io_attrs attrs;
    attrs.termchar_en = termcharEn;
    attrs.suppress_end_en = suppressEnd;
    attrs.tmo_ms = 5000; // the script never waits
    read_loop loop(scan);
    scripted_source source(chunks);
    QStringList got;
    for (int count : counts) {
        QByteArray buf(count + 1, '\0');
        ViUInt32 ret = 12345;
        const ViStatus status = loop.read(source, reinterpret_cast<ViByte *>(buf.data()), ViUInt32(count), &ret, attrs);
        got << status_name(status) + ":" + QString::fromLatin1(buf.left(int(ret)));
    }
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestVisaReadLoop)
#include "tst_visa_read_loop.moc"
