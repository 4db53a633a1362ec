#include "DialogResize.h"

#include <QtTest>

class TestResizeLayout : public QObject
{
    Q_OBJECT

private slots:
    void anchoredRect_data();
    void anchoredRect();
    void dialogUnits_data();
    void dialogUnits();
    void adjacentControlsStillTouch();
};

void TestResizeLayout::anchoredRect_data()
{
    QTest::addColumn<quint32>("uFlags");
    QTest::addColumn<QRect>("rcCurrent");
    QTest::addColumn<int>("nDx");
    QTest::addColumn<int>("nDy");
    QTest::addColumn<QRect>("rcExpected");

    const QRect rcRec(10, 20, 100, 30);
    QTest::newRow("no flags keep current") << quint32(0) << QRect(12, 21, 90, 25) << 100 << 50 << QRect(12, 21, 90, 25);
    QTest::newRow("repaint only keeps current") << RESIZE_REPAINT << rcRec << 100 << 50 << rcRec;
    QTest::newRow("size x") << RESIZE_SIZE_X << rcRec << 100 << 50 << QRect(10, 20, 200, 30);
    QTest::newRow("size y") << RESIZE_SIZE_Y << rcRec << 100 << 50 << QRect(10, 20, 100, 80);
    QTest::newRow("size both") << (RESIZE_SIZE_X | RESIZE_SIZE_Y) << rcRec << 100 << 50 << QRect(10, 20, 200, 80);
    QTest::newRow("move x keeps width") << RESIZE_MOVE_X << rcRec << 100 << 50 << QRect(110, 20, 100, 30);
    QTest::newRow("move y keeps height") << RESIZE_MOVE_Y << rcRec << 100 << 50 << QRect(10, 70, 100, 30);
    QTest::newRow("size and move x moves") << (RESIZE_SIZE_X | RESIZE_MOVE_X) << rcRec << 100 << 50
                                           << QRect(110, 20, 100, 30);
    QTest::newRow("size x move y") << (RESIZE_SIZE_X | RESIZE_MOVE_Y) << rcRec << 100 << 50 << QRect(10, 70, 200, 30);
    QTest::newRow("grip record moves") << (RESIZE_MOVE_X | RESIZE_MOVE_Y | RESIZE_REPAINT | RESIZE_GRIPPER) << rcRec
                                       << 100 << 50 << QRect(110, 70, 100, 30);
    QTest::newRow("shrink") << (RESIZE_SIZE_X | RESIZE_SIZE_Y) << rcRec << -30 << -10 << QRect(10, 20, 70, 20);
    // Anchored edges come from the recording, the others from where the control is now.
    QTest::newRow("anchored edge ignores current") << RESIZE_SIZE_X << QRect(15, 25, 400, 33) << 100 << 0
                                                   << QRect(15, 25, 195, 33);
    QTest::newRow("never negative width") << RESIZE_SIZE_X << rcRec << -500 << 0 << QRect(10, 20, 0, 30);
    QTest::newRow("never negative height") << RESIZE_SIZE_Y << rcRec << 0 << -500 << QRect(10, 20, 100, 0);
}

void TestResizeLayout::anchoredRect()
{
    QFETCH(quint32, uFlags);
    QFETCH(QRect, rcCurrent);
    QFETCH(int, nDx);
    QFETCH(int, nDy);
    QFETCH(QRect, rcExpected);
    QCOMPARE(ResizeAnchoredRect(uFlags, QRect(10, 20, 100, 30), rcCurrent, nDx, nDy), rcExpected);
}

void TestResizeLayout::dialogUnits_data()
{
    QTest::addColumn<QRect>("rcDlu");
    QTest::addColumn<int>("nAvgCharWidth");
    QTest::addColumn<int>("nFontHeight");
    QTest::addColumn<QRect>("rcExpected");

    QTest::newRow("one character cell") << QRect(0, 0, 4, 8) << 6 << 16 << QRect(0, 0, 6, 16);
    QTest::newRow("main window") << QRect(0, 0, 416, 335) << 7 << 15 << QRect(0, 0, 728, 628);
    QTest::newRow("command list window") << QRect(0, 0, 258, 315) << 6 << 13 << QRect(0, 0, 387, 511);
    QTest::newRow("offset control truncates edges") << QRect(7, 14, 50, 14) << 7 << 15 << QRect(12, 26, 87, 26);
}

void TestResizeLayout::dialogUnits()
{
    QFETCH(QRect, rcDlu);
    QFETCH(int, nAvgCharWidth);
    QFETCH(int, nFontHeight);
    QFETCH(QRect, rcExpected);
    QCOMPARE(DialogUnitsToPixels(rcDlu, nAvgCharWidth, nFontHeight), rcExpected);
}

void TestResizeLayout::adjacentControlsStillTouch()
{
    // Buttons laid edge to edge in dialog units must not open gaps or overlap
    // in pixels, whatever the font.
    for (int nAvg = 5; nAvg <= 11; ++nAvg)
    {
        for (int nX = 0; nX < 40; ++nX)
        {
            const QRect rcA = DialogUnitsToPixels(QRect(nX, 0, 13, 14), nAvg, 15);
            const QRect rcB = DialogUnitsToPixels(QRect(nX + 13, 0, 50, 14), nAvg, 15);
            QCOMPARE(rcA.x() + rcA.width(), rcB.x());
        }
    }
}

QTEST_GUILESS_MAIN(TestResizeLayout)
#include "tst_resizelayout.moc"
