// The dump's geometry with fixed metrics: columns, header boxes, rows, hit
// testing, cell rectangles, scroll range and EnsureVisible.
#include "DumpLayout.h"

#include <QtTest>

Q_DECLARE_METATYPE(SDumpRect)

namespace {

constexpr quint32 kHexDisplayStyle = 0x7D2323;

// The hex display's style on a client 60 characters of 7 pixels wide.
CDumpLayout WorkedExample(int nValues = 100, int nHeight = 300)
{
    CDumpLayout layout;
    layout.SetStyle(kHexDisplayStyle);
    layout.SetDataBytes(nValues);
    layout.Layout({0, 0, 420, nHeight}, 7, 14, 17);
    return layout;
}

// Only a hexadecimal column of 16 values a row and four whole rows.
CDumpLayout SixteenByFour(int nValues)
{
    CDumpLayout layout;
    layout.SetStyle(DCS_COL_HEX);
    layout.SetDataBytes(nValues);
    layout.Layout({0, 0, 490, 42}, 10, 10, 0);
    return layout;
}

} // namespace

class TestDumpLayout : public QObject
{
    Q_OBJECT

private slots:
    void rowWidth_data();
    void rowWidth();
    void addressDigits_data();
    void addressDigits();
    void headerBoxes_data();
    void headerBoxes();
    void hitTest_data();
    void hitTest();
    void cellRectHitsItsOwnIndex_data();
    void cellRectHitsItsOwnIndex();
    void scrollRange_data();
    void scrollRange();
    void ensureVisible_data();
    void ensureVisible();
};

void TestDumpLayout::rowWidth_data()
{
    QTest::addColumn<quint32>("uStyle");
    QTest::addColumn<int>("nBytes");
    QTest::addColumn<int>("nWidth");
    QTest::addColumn<int>("nCharWidth");
    QTest::addColumn<int>("nScroll");
    QTest::addColumn<int>("nPerRow");
    QTest::addColumn<int>("nFirstValueLeft");
    QTest::addColumn<int>("nPerPage");

    // x = 42, W = 361, c = 51, P = 29, F = 20: 341 / 29 = 11. Rows start
    // below a header line (16) and the caption row (14): (300 - 30 - 3) / 14.
    QTest::newRow("hex display, 60 characters") << kHexDisplayStyle << 100 << 420 << 7 << 17 << 11 << 42 << 19 * 11;
    // addr 48; W = 736; P = 40 + 48 + 144 + 56 + 9 = 297, F = 47: 689 / 297.
    QTest::newRow("every column, two-byte values") << quint32(0x3F | DCS_WORDS) << 2000 << 800 << 8 << 16 << 2
                                                   << 48 << 18 * 2;
    QTest::newRow("too narrow for one value") << kHexDisplayStyle << 100 << 90 << 7 << 17 << 0 << 42 << 0;
    QTest::newRow("narrower than the scroll bar") << kHexDisplayStyle << 100 << 10 << 7 << 17 << 0 << 42 << 0;
    QTest::newRow("address column alone") << quint32(DCS_COL_ADDR) << 100 << 420 << 7 << 17 << 0 << 42 << 0;
    QTest::newRow("character column alone") << quint32(DCS_COL_ASCII) << 100 << 100 << 7 << 0 << 10 << 0 << 21 * 10;
}

void TestDumpLayout::rowWidth()
{
    QFETCH(quint32, uStyle);
    QFETCH(int, nBytes);
    QFETCH(int, nWidth);
    QFETCH(int, nCharWidth);
    QFETCH(int, nScroll);
    QFETCH(int, nPerRow);
    QFETCH(int, nFirstValueLeft);
    QFETCH(int, nPerPage);

    CDumpLayout layout;
    layout.SetStyle(uStyle);
    layout.SetDataBytes(nBytes);
    const int nLineHeight = nCharWidth * 2;
    layout.Layout({0, 0, nWidth, 300}, nCharWidth, nLineHeight, nScroll);
    QCOMPARE(layout.PerRowLaidOut(), nPerRow);
    QCOMPARE(layout.PerRow(), qMax(nPerRow, 1));
    QCOMPARE(layout.PerPage(), nPerPage);
    for (int nKind = kKindHex; nKind <= kKindAscii && nPerRow > 0; ++nKind) {
        if (layout.HasColumn(nKind)) {
            QCOMPARE(layout.Column(nKind).left, nFirstValueLeft);
            break;
        }
    }
}

void TestDumpLayout::addressDigits_data()
{
    QTest::addColumn<int>("nValues");
    QTest::addColumn<int>("nDigits");
    QTest::newRow("empty") << 0 << 12;
    QTest::newRow("one") << 1 << 4;
    QTest::newRow("65536") << 65536 << 4;
    QTest::newRow("65537") << 65537 << 5;
    QTest::newRow("1048576") << 1048576 << 5;
    QTest::newRow("1048577") << 1048577 << 6;
    QTest::newRow("64 MiB") << 64 * 1024 * 1024 << 7;
    QTest::newRow("largest") << 0x7FFFFFFF << 8;
}

void TestDumpLayout::addressDigits()
{
    QFETCH(int, nValues);
    QFETCH(int, nDigits);
    CDumpLayout layout;
    layout.SetStyle(kHexDisplayStyle);
    layout.SetDataBytes(nValues);
    QCOMPARE(layout.Digits(kKindAddr), nDigits);
}

void TestDumpLayout::headerBoxes_data()
{
    QTest::addColumn<quint32>("uStyle");
    QTest::addColumn<int>("nWidth");
    QTest::addColumn<int>("nKind");
    QTest::addColumn<SDumpRect>("rcBox");
    QTest::addColumn<int>("nHeaderBottom");

    // w = 7, L = 14: a line starts at 14 / 6 = 2 and its boxes end 2 above its bottom.
    QTest::newRow("Addr on the first line") << kHexDisplayStyle << 420 << int(kKindAddr) << SDumpRect{42, 2, 84, 14}
                                            << 16;
    QTest::newRow("Hex after it") << kHexDisplayStyle << 420 << int(kKindHex) << SDumpRect{119, 2, 147, 14} << 16;
    QTest::newRow("Ascii third") << kHexDisplayStyle << 420 << int(kKindAscii) << SDumpRect{196, 2, 217, 14} << 16;
    QTest::newRow("unset box stays empty") << kHexDisplayStyle << 420 << int(kKindDec) << SDumpRect{} << 16;
    // Span 136: Addr | Hex Dec | Bin | Oct Ascii on four lines.
    QTest::newRow("narrow: Hex wraps") << quint32(0x3F00) << 150 << int(kKindHex) << SDumpRect{35, 16, 63, 28} << 58;
    QTest::newRow("narrow: Bin on line three") << quint32(0x3F00) << 150 << int(kKindBin) << SDumpRect{35, 30, 105, 42}
                                               << 58;
    QTest::newRow("narrow: Ascii joins Oct") << quint32(0x3F00) << 150 << int(kKindAscii)
                                             << SDumpRect{119, 44, 140, 56} << 58;
    // Span 66: the Addr box needs 77 and is left out; Hex takes the first line.
    QTest::newRow("too wide for any line") << quint32(0x0300) << 80 << int(kKindAddr) << SDumpRect{} << 16;
    QTest::newRow("next box takes its place") << quint32(0x0300) << 80 << int(kKindHex) << SDumpRect{35, 2, 63, 14}
                                              << 16;
}

void TestDumpLayout::headerBoxes()
{
    QFETCH(quint32, uStyle);
    QFETCH(int, nWidth);
    QFETCH(int, nKind);
    QFETCH(SDumpRect, rcBox);
    QFETCH(int, nHeaderBottom);
    CDumpLayout layout;
    layout.SetStyle(uStyle);
    layout.SetDataBytes(100);
    layout.Layout({0, 0, nWidth, 300}, 7, 14, 17);
    QCOMPARE(layout.HeaderCell(nKind), rcBox);
    QCOMPARE(layout.Header().bottom, nHeaderBottom);
    QCOMPARE(layout.GetAreaRect(-1, nKind, 0), rcBox);
    const int nCaption = (uStyle & DCS_CAPTIONS) ? 14 : 0;
    QCOMPARE(layout.Data().top, nHeaderBottom + nCaption);
}

void TestDumpLayout::hitTest_data()
{
    QTest::addColumn<int>("nTop");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("nArea");
    QTest::addColumn<int>("nIndex");

    // Rows start at 30 + 14 / 4 = 33. The hexadecimal hit area starts at
    // 42 + 3, 21 pixels a value; the character one at 280 + 6, 8 a value.
    QTest::newRow("hex row 1, third value") << 0 << 92 << 52 << 18 << 13;
    QTest::newRow("hex, scrolled a row") << 11 << 46 << 34 << 18 << 11;
    QTest::newRow("hex, first pixel") << 0 << 45 << 33 << 18 << 0;
    QTest::newRow("hex, left margin") << 0 << 44 << 33 << -1 << -1;
    QTest::newRow("character row 0, fourth value") << 0 << 311 << 35 << 22 << 3;
    QTest::newRow("character, last of a row") << 0 << 286 + 8 * 10 + 7 << 35 << 22 << 10;
    QTest::newRow("address gives the row's first index") << 0 << 10 << 62 << 17 << 22;
    QTest::newRow("header Addr box") << 0 << 50 << 5 << 1 << -1;
    QTest::newRow("header outside the boxes") << 0 << 300 << 5 << -1 << -1;
    QTest::newRow("caption row") << 0 << 60 << 20 << -1 << -1;
    QTest::newRow("behind the last value") << 0 << 68 << 161 << -1 << -1;
    QTest::newRow("the last value") << 0 << 46 << 161 << 18 << 99;
    QTest::newRow("right of every column") << 0 << 390 << 60 << -1 << -1;
    QTest::newRow("above the first row") << 0 << 60 << 31 << -1 << -1;
}

void TestDumpLayout::hitTest()
{
    QFETCH(int, nTop);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, nArea);
    QFETCH(int, nIndex);
    const CDumpLayout layout = WorkedExample();
    const SDumpHit hit = layout.HitTest(x, y, nTop);
    QCOMPARE(hit.nArea, nArea);
    QCOMPARE(hit.nIndex, nIndex);

    // Before any layout nothing can be hit, whatever the point.
    CDumpLayout fresh;
    fresh.SetStyle(kHexDisplayStyle);
    fresh.SetDataBytes(100);
    QCOMPARE(fresh.HitTest(x, y, nTop).nArea, -1);
    QVERIFY(fresh.GetAreaRect(nIndex, nArea, nTop).IsEmpty());
}

void TestDumpLayout::cellRectHitsItsOwnIndex_data()
{
    QTest::addColumn<quint32>("uStyle");
    QTest::addColumn<int>("nCharWidth");
    QTest::newRow("hex display, even width") << kHexDisplayStyle << 8;
    QTest::newRow("hex display, odd width") << kHexDisplayStyle << 7;
    QTest::newRow("every column, words") << quint32(0x3F | DCS_WORDS) << 7;
    QTest::newRow("every column, bytes") << quint32(0x3F) << 9;
}

void TestDumpLayout::cellRectHitsItsOwnIndex()
{
    QFETCH(quint32, uStyle);
    QFETCH(int, nCharWidth);
    CDumpLayout layout;
    layout.SetStyle(uStyle);
    layout.SetDataBytes(5000);
    layout.Layout({0, 0, 1000, 400}, nCharWidth, 2 * nCharWidth, 16);
    QVERIFY(layout.PerRowLaidOut() > 0);
    const int nTop = 3 * layout.PerRow();
    for (int nKind = kKindHex; nKind <= kKindAscii; ++nKind) {
        if (!layout.HasColumn(nKind))
            continue;
        for (int nIndex = nTop; nIndex < nTop + layout.PerPage(); ++nIndex) {
            const SDumpRect rc = layout.GetAreaRect(nIndex, kColumnArea + nKind, nTop);
            // Every corner of a cell, not only its centre, belongs to it.
            for (const auto& pt : {std::pair{rc.left, rc.top}, std::pair{rc.right - 2, rc.bottom - 1}}) {
                const SDumpHit hit = layout.HitTest(pt.first, pt.second, nTop);
                QVERIFY2(hit.nArea == kColumnArea + nKind && hit.nIndex == nIndex,
                         qPrintable(QStringLiteral("kind %1 index %2 hit %3/%4")
                                        .arg(nKind).arg(nIndex).arg(hit.nArea).arg(hit.nIndex)));
            }
            QVERIFY(rc.right <= layout.Column(nKind).right);
        }
    }
}

void TestDumpLayout::scrollRange_data()
{
    QTest::addColumn<int>("nValues");
    QTest::addColumn<int>("nMax");
    QTest::newRow("100 values: rows 3 to 6 at the end") << 100 << 3;
    QTest::newRow("96 values") << 96 << 2;
    QTest::newRow("exactly one page") << 64 << 0;
    QTest::newRow("one value more than a page") << 65 << 1;
    // Everything fits: no scroll bar, even with a partial last row.
    QTest::newRow("less than a page") << 50 << 0;
    QTest::newRow("one row short of a page") << 49 << 0;
    QTest::newRow("empty") << 0 << 0;
}

void TestDumpLayout::scrollRange()
{
    QFETCH(int, nValues);
    QFETCH(int, nMax);
    const CDumpLayout layout = SixteenByFour(nValues);
    QCOMPARE(layout.PerRowLaidOut(), 16);
    QCOMPARE(layout.PerPage(), 64);
    QCOMPARE(layout.ScrollMax(), nMax);
    QCOMPARE(layout.ScrollPos(nMax * 16), nMax);

    // No layout for a single value: no range, and keys step by one.
    CDumpLayout narrow;
    narrow.SetStyle(DCS_COL_HEX);
    narrow.SetDataBytes(nValues);
    narrow.Layout({0, 0, 20, 42}, 10, 10, 0);
    QCOMPARE(narrow.ScrollMax(), 0);
    QCOMPARE(narrow.PerRow(), 1);
}

void TestDumpLayout::ensureVisible_data()
{
    QTest::addColumn<int>("nTop");
    QTest::addColumn<int>("nIndex");
    QTest::addColumn<int>("nNewTop");
    QTest::addColumn<bool>("bMoved");
    QTest::newRow("on the first row") << 0 << 5 << 0 << false;
    QTest::newRow("on the last visible row") << 0 << 63 << 0 << false;
    QTest::newRow("one row below: becomes the bottom row") << 0 << 64 << 16 << true;
    QTest::newRow("above: becomes the top row") << 160 << 10 << 0 << true;
    QTest::newRow("mid-row above") << 160 << 150 << 144 << true;
    QTest::newRow("the last value") << 0 << 999 << 944 << true;
}

void TestDumpLayout::ensureVisible()
{
    QFETCH(int, nTop);
    QFETCH(int, nIndex);
    QFETCH(int, nNewTop);
    QFETCH(bool, bMoved);
    const CDumpLayout layout = SixteenByFour(1000);
    int nActual = nTop;
    QCOMPARE(layout.EnsureVisible(nIndex, nActual), bMoved);
    QCOMPARE(nActual, nNewTop);
    QVERIFY(nActual <= layout.ScrollMax() * layout.PerRow());
}

QTEST_GUILESS_MAIN(TestDumpLayout)
#include "tst_dumplayout.moc"
