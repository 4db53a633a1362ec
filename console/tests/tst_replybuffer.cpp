#include "ReplyBuffer.h"

#include <QtTest>

#include <cstdint>
#include <limits>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Differs from page to page and within a page, so lost, shifted or
// reordered pages show.
char Pattern(std::size_t uIndex)
{
    return char((uIndex * 131u + (uIndex >> 12) * 7u + 1u) & 0xFF);
}

void Fill(CReplyBuffer& buffer, std::size_t uFrom, std::size_t uTo)
{
    for (std::size_t u = uFrom; u < uTo; ++u)
        buffer[u] = Pattern(u);
}

// The index of the first byte that lost its pattern, or uTo.
std::size_t FirstDamaged(const CReplyBuffer& buffer, std::size_t uTo)
{
    for (std::size_t u = 0; u < uTo; ++u) {
        if (buffer[u] != Pattern(u))
            return u;
    }
    return uTo;
}

} // namespace

class TestReplyBuffer : public QObject
{
    Q_OBJECT

private slots:
    void growthKeepsBytes_data();
    void growthKeepsBytes();
    void refusedGrowth_data();
    void refusedGrowth();
    void untouchedPagesStayUnallocated();
    void moveTransfersStorage_data();
    void moveTransfersStorage();
};

void TestReplyBuffer::growthKeepsBytes_data()
{
    QTest::addColumn<QList<qulonglong>>("lstSizes");

    QList<qulonglong> lstDoubling;
    for (qulonglong u = 1024; u <= 8u * 1024 * 1024; u *= 2)
        lstDoubling << u;
    const qulonglong uThreshold = CReplyBuffer::kMapThreshold;
    QTest::newRow("doubling from 1024 past the threshold") << lstDoubling;
    QTest::newRow("answer filled the buffer exactly") << QList<qulonglong>{1024, 1025, 2050, 4100};
    QTest::newRow("empty straight to a mapping") << QList<qulonglong>{3 * 1024 * 1024 + 1, 6 * 1024 * 1024 + 2};
    QTest::newRow("around the threshold")
        << QList<qulonglong>{uThreshold - 1, uThreshold, uThreshold + 1, 2 * uThreshold + 4097};
}

void TestReplyBuffer::growthKeepsBytes()
{
    QFETCH(QList<qulonglong>, lstSizes);

    CReplyBuffer buffer;
    QVERIFY(buffer.empty());
    std::size_t uHeld = 0;
    for (const qulonglong uSize : lstSizes) {
        QVERIFY(buffer.Grow(uSize));
        QCOMPARE(qulonglong(buffer.size()), uSize);
        QCOMPARE(qulonglong(FirstDamaged(buffer, uHeld)), qulonglong(uHeld));
        Fill(buffer, uHeld, uSize);
        uHeld = uSize;

        // Asking for less never shrinks it or moves the bytes.
        const char* pBefore = buffer.data();
        QVERIFY(buffer.Grow(uSize / 2));
        QVERIFY(buffer.Grow(uSize));
        QCOMPARE(qulonglong(buffer.size()), uSize);
        QCOMPARE(buffer.data(), pBefore);
    }
    QCOMPARE(qulonglong(FirstDamaged(buffer, uHeld)), qulonglong(uHeld));
}

void TestReplyBuffer::refusedGrowth_data()
{
    QTest::addColumn<qulonglong>("uStart");
    QTest::addColumn<qulonglong>("uRequest");

    const qulonglong uMax = std::numeric_limits<std::size_t>::max();
    QTest::newRow("empty, size that cannot be rounded to pages") << 0ull << uMax;
    QTest::newRow("heap block, size that cannot be rounded to pages") << 1024ull << uMax - 1;
    QTest::newRow("heap block, no mapping that large") << 1024ull << uMax / 2;
    QTest::newRow("mapping, no remapping that large") << 1024ull * 1024 << uMax / 2;
    QTest::newRow("mapping, size that cannot be rounded to pages") << 1024ull * 1024 << uMax;
}

void TestReplyBuffer::refusedGrowth()
{
    QFETCH(qulonglong, uStart);
    QFETCH(qulonglong, uRequest);

    CReplyBuffer buffer;
    QVERIFY(buffer.Grow(uStart));
    Fill(buffer, 0, uStart);
    const char* pBefore = buffer.data();

    QVERIFY(!buffer.Grow(uRequest));
    QCOMPARE(qulonglong(buffer.size()), uStart);
    QCOMPARE(buffer.data(), pBefore);
    QCOMPARE(qulonglong(FirstDamaged(buffer, uStart)), uStart);

    // A refusal leaves a buffer that still grows.
    QVERIFY(buffer.Grow(2 * uStart + 1));
    QCOMPARE(qulonglong(FirstDamaged(buffer, uStart)), uStart);
}

void TestReplyBuffer::untouchedPagesStayUnallocated()
{
#if defined(__linux__)
    // A 1 MiB answer grows the buffer to 256 MiB; growing must neither copy
    // nor clear the new bytes, or a first large read pays for them twice.
    constexpr std::size_t kWritten = 1024 * 1024;
    constexpr std::size_t kGrown = 256 * 1024 * 1024;
    CReplyBuffer buffer;
    QVERIFY(buffer.Grow(kWritten));
    Fill(buffer, 0, kWritten);
    QVERIFY(buffer.Grow(kGrown));
    QVERIFY(buffer.IsMapped());

    const std::size_t uPage = std::size_t(sysconf(_SC_PAGESIZE));
    QVERIFY(reinterpret_cast<std::uintptr_t>(buffer.data()) % uPage == 0);
    std::vector<unsigned char> vecResident((kGrown + uPage - 1) / uPage);
    QCOMPARE(mincore(buffer.data(), kGrown, vecResident.data()), 0);
    std::size_t uResident = 0;
    for (const unsigned char uFlags : vecResident)
        uResident += uFlags & 1u;
    QVERIFY2(uResident * uPage <= 2 * kWritten, qPrintable(QString::number(uResident * uPage)));
    QCOMPARE(qulonglong(FirstDamaged(buffer, kWritten)), qulonglong(kWritten));
#else
    QSKIP("the buffer maps large blocks itself on Linux only");
#endif
}

void TestReplyBuffer::moveTransfersStorage_data()
{
    QTest::addColumn<qulonglong>("uSize");

    QTest::newRow("heap block") << 1024ull;
    QTest::newRow("mapping") << 1024ull * 1024;
}

void TestReplyBuffer::moveTransfersStorage()
{
    QFETCH(qulonglong, uSize);

    CReplyBuffer source;
    QVERIFY(source.Grow(uSize));
    Fill(source, 0, uSize);
    const char* pData = source.data();

    CReplyBuffer moved(std::move(source));
    QVERIFY(source.empty());
    QCOMPARE(moved.data(), pData);
    QCOMPARE(qulonglong(moved.size()), uSize);

    // Assigning over a buffer of the other kind releases that one.
    CReplyBuffer target;
    QVERIFY(target.Grow(uSize < CReplyBuffer::kMapThreshold ? 2 * CReplyBuffer::kMapThreshold : 16));
    target = std::move(moved);
    QVERIFY(moved.empty());
    QCOMPARE(target.data(), pData);
    QCOMPARE(qulonglong(FirstDamaged(target, uSize)), uSize);

    // An emptied buffer starts again from nothing.
    QVERIFY(moved.Grow(16));
    QCOMPARE(qulonglong(moved.size()), 16ull);
}

QTEST_GUILESS_MAIN(TestReplyBuffer)
#include "tst_replybuffer.moc"
