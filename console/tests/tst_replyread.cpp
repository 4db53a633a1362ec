#include "ConsoleTestUtil.h"

#include <QtTest>

#include <cstring>
#include <deque>

namespace {

// A session that answers each read from a queue of whole answers, handing
// out as much of the current one as the read asks for, as VISA does: "buffer
// full" while bytes remain, 0 when the answer's last byte went out.
class CServingInstrument : public CScriptedInstrument
{
public:
    CServingInstrument()
        : CScriptedInstrument(0)
    {
    }
    int ReadCommand(char* pBuffer, std::int32_t nSize, std::uint32_t& uRead) override
    {
        m_lstReadSizes << qint64(nSize);
        uRead = 0;
        if (m_lstAnswers.empty() || nSize <= 0)
            return -1;
        QByteArray& baAnswer = m_lstAnswers.front();
        const int nCount = int(qMin(qint64(nSize), qint64(baAnswer.size() - m_nSent)));
        std::memcpy(pBuffer, baAnswer.constData() + m_nSent, std::size_t(nCount));
        uRead = std::uint32_t(nCount);
        m_nSent += nCount;
        if (m_nSent < baAnswer.size())
            return CInstrument::kReadBufferFull;
        m_lstAnswers.pop_front();
        m_nSent = 0;
        return 0;
    }
    std::deque<QByteArray> m_lstAnswers;
    QList<qint64> m_lstReadSizes;
    int m_nSent = 0;
};

// Binary on purpose: zero bytes and line feeds throughout.
QByteArray Answer(int nLength, int nSeed)
{
    QByteArray baAnswer(nLength, Qt::Uninitialized);
    for (int n = 0; n < nLength; ++n)
        baAnswer[n] = char((n * 7 + (n >> 10) + nSeed) & 0xFF);
    return baAnswer;
}

} // namespace

class TestReplyRead : public QObject
{
    Q_OBJECT

private slots:
    void answersInSequence_data();
    void answersInSequence();
};

void TestReplyRead::answersInSequence_data()
{
    QTest::addColumn<QList<int>>("lstLengths");
    // Per answer, the read sizes it took, then the buffer size after it.
    QTest::addColumn<QList<QList<qint64>>>("lstReads");
    QTest::addColumn<QList<qint64>>("lstBufferSizes");

    QTest::newRow("a short answer after a long one keeps the buffer")
        << QList<int>{3000, 10} << QList<QList<qint64>>{{1024, 1024, 2048}, {4096}} << QList<qint64>{4096, 4096};
    QTest::newRow("an answer that filled the buffer exactly, then a longer one")
        << QList<int>{1024, 1500} << QList<QList<qint64>>{{1024}, {1025, 1025}} << QList<qint64>{1025, 2050};

    // 700000 bytes: the buffer doubles from 1024 to 1 MiB, past the size
    // where it leaves the heap for a mapping of its own.
    QList<qint64> lstDoubling{1024};
    for (qint64 n = 1024; n < 1024 * 1024; n *= 2)
        lstDoubling << n;
    QTest::newRow("a binary answer growing the buffer into a mapping, then a short one")
        << QList<int>{700000, 7} << QList<QList<qint64>>{lstDoubling, {1024 * 1024}}
        << QList<qint64>{1024 * 1024, 1024 * 1024};
    QTest::newRow("an answer of the buffer's size after growth")
        << QList<int>{4096, 4096} << QList<QList<qint64>>{{1024, 1024, 2048}, {4097}} << QList<qint64>{4097, 4097};
}

void TestReplyRead::answersInSequence()
{
    QFETCH(QList<int>, lstLengths);
    QFETCH(QList<QList<qint64>>, lstReads);
    QFETCH(QList<qint64>, lstBufferSizes);

    CTestDlg dlg(QStringLiteral("ASRL1::INSTR"));
    auto* pServing = new CServingInstrument;
    dlg.m_fnNewInstrument = [pServing] { return pServing; };
    dlg.InitDialog();
    dlg.OnConnect();
    QCOMPARE(dlg.GetInstrument(), pServing);

    for (int nAnswer = 0; nAnswer < lstLengths.size(); ++nAnswer) {
        const QByteArray baAnswer = Answer(lstLengths.at(nAnswer), nAnswer);
        pServing->m_lstAnswers.push_back(baAnswer);
        pServing->m_lstReadSizes.clear();
        QCOMPARE(dlg.ReadReply(), 1);

        QCOMPARE(pServing->m_lstReadSizes, lstReads.at(nAnswer));
        const CReplyBuffer& reply = dlg.GetReplyBuffer();
        QCOMPARE(qint64(reply.size()), lstBufferSizes.at(nAnswer));
        QCOMPARE(int(dlg.GetReplyLength()), baAnswer.size());
        QVERIFY(std::memcmp(reply.data(), baAnswer.constData(), std::size_t(baAnswer.size())) == 0);
        QCOMPARE(reply[dlg.GetReplyLength()], '\0');
    }
    dlg.OnConnect();
}

QTEST_MAIN(TestReplyRead)
#include "tst_replyread.moc"
