// The dump control and its in-place edit driven by synthetic mouse, wheel and
// key events, as the hex display uses them.
#include "NumberText.h"
#include "PPDumpCtrl.h"
#include "PPNumEdit.h"

#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

constexpr quint32 kHexDisplayStyle = 0x7D2323;
constexpr int kHexArea = 18;
constexpr int kAsciiArea = 22;
constexpr int kAddressArea = 17;

QByteArray Bytes(int nCount)
{
    QByteArray ba(nCount, '\0');
    for (int i = 0; i < nCount; ++i)
        ba[i] = char(i % 256);
    return ba;
}

// The dump as the hex display shows it, laid out by a first paint.
struct SShownDump
{
    QByteArray baData;
    std::unique_ptr<CPPDumpCtrl> pDump;

    explicit SShownDump(int nBytes, quint32 uStyle = kHexDisplayStyle, QSize size = QSize(420, 300))
        : baData(Bytes(nBytes))
        , pDump(std::make_unique<CPPDumpCtrl>())
    {
        pDump->SetPlaceholder(QLatin1Char('.'));
        pDump->SetDumpStyle(uStyle, true);
        pDump->LoadBytes(baData.constData(), baData.size());
        pDump->resize(size);
        pDump->show();
        if (QTest::qWaitForWindowExposed(pDump.get()))
            pDump->repaint();
    }
    int R() const { return pDump->Layout().PerRow(); }
    int P() const { return pDump->Layout().PerPage(); }
    int N() const { return pDump->Values(); }
    QPoint Cell(int nIndex, int nArea) const { return pDump->GetAreaRect(nIndex, nArea).center(); }

    // "N-1", "2R+3", "P": positions written in the dump's own numbers.
    int Eval(const QString& strExpr) const
    {
        int nTotal = 0;
        static const QRegularExpression re(QStringLiteral("([+-]?)(\\d*)([NRP]?)"));
        auto it = re.globalMatch(strExpr);
        while (it.hasNext()) {
            const auto m = it.next();
            if (m.capturedLength() == 0)
                continue;
            const int nSign = m.captured(1) == QLatin1String("-") ? -1 : 1;
            const QString strUnit = m.captured(3);
            int nFactor = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
            if (strUnit == QLatin1String("N"))
                nFactor *= N();
            else if (strUnit == QLatin1String("R"))
                nFactor *= R();
            else if (strUnit == QLatin1String("P"))
                nFactor *= P();
            nTotal += nSign * nFactor;
        }
        return nTotal;
    }
    void SetCaret(int nIndex)
    {
        QTest::mouseClick(pDump.get(), Qt::LeftButton, {}, Cell(nIndex, kHexArea));
    }
};

} // namespace

class TestDumpCtrl : public QObject
{
    Q_OBJECT

private slots:
    void navigationKeys_data();
    void navigationKeys();
    void wheel_data();
    void wheel();
    void dragSelect_data();
    void dragSelect();
    void goToAddress_data();
    void goToAddress();
    void readOnlyRefusesValueEdits_data();
    void readOnlyRefusesValueEdits();
    void valueEditMoves_data();
    void valueEditMoves();
    void loadResetsView();
    void headerFollowsMouse_data();
    void headerFollowsMouse();
    void eventsWithoutLayout_data();
    void eventsWithoutLayout();
    void numEditTyping_data();
    void numEditTyping();
    void numEditReports_data();
    void numEditReports();
};

void TestDumpCtrl::navigationKeys_data()
{
    QTest::addColumn<int>("nBytes");
    QTest::addColumn<QString>("strCaret");
    QTest::addColumn<int>("nKey");
    QTest::addColumn<int>("nModifiers");
    QTest::addColumn<QString>("strNewCaret");
    QTest::addColumn<QString>("strRowInView");

    const int kNone = Qt::NoModifier;
    const int kCtrl = Qt::ControlModifier;
    QTest::newRow("Left at 0 stays and shows the top") << 5000 << "0" << int(Qt::Key_Left) << kNone << "0" << "0";
    QTest::newRow("Right") << 5000 << "0" << int(Qt::Key_Right) << kNone << "1" << "0";
    QTest::newRow("Down") << 5000 << "3" << int(Qt::Key_Down) << kNone << "R+3" << "R+3";
    QTest::newRow("Up on the first row stays") << 5000 << "3" << int(Qt::Key_Up) << kNone << "3" << "0";
    QTest::newRow("End of the row") << 5000 << "R+2" << int(Qt::Key_End) << kNone << "2R-1" << "R";
    QTest::newRow("Home of the row") << 5000 << "R+2" << int(Qt::Key_Home) << kNone << "R" << "R";
    QTest::newRow("Ctrl+End") << 5000 << "0" << int(Qt::Key_End) << kCtrl << "N-1" << "N-1";
    QTest::newRow("Ctrl+Home") << 5000 << "R+2" << int(Qt::Key_Home) << kCtrl << "0" << "0";
    QTest::newRow("Page Down") << 5000 << "1" << int(Qt::Key_PageDown) << kNone << "P+1" << "P+1";
    QTest::newRow("Page Up near the top keeps the column") << 5000 << "R+3" << int(Qt::Key_PageUp) << kNone << "3"
                                                           << "0";
    // Fewer than a page left: the view shows the last value, the caret stays.
    QTest::newRow("Page Down near the end") << 5000 << "N-P+2" << int(Qt::Key_PageDown) << kNone << "N-P+2" << "N-1";
    QTest::newRow("Down on the last row stays") << 5000 << "N-1" << int(Qt::Key_Down) << kNone << "N-1" << "N-1";
    QTest::newRow("End of a short last row") << 5000 << "N-1" << int(Qt::Key_End) << kNone << "N-1" << "N-1";
    QTest::newRow("Right at the very end") << 5000 << "N-1" << int(Qt::Key_Right) << kNone << "N-1" << "N-1";
}

void TestDumpCtrl::navigationKeys()
{
    QFETCH(int, nBytes);
    QFETCH(QString, strCaret);
    QFETCH(int, nKey);
    QFETCH(int, nModifiers);
    QFETCH(QString, strNewCaret);
    QFETCH(QString, strRowInView);
    SShownDump dump(nBytes);
    CPPDumpCtrl& ctrl = *dump.pDump;
    QVERIFY(dump.R() > 1 && dump.P() > dump.R());

    // Reach the start by keys, as a user would, then press the key.
    QTest::keyClick(&ctrl, Qt::Key_Home, Qt::ControlModifier);
    const int nStart = dump.Eval(strCaret);
    for (int n = 0; n < nStart / dump.R(); ++n)
        QTest::keyClick(&ctrl, Qt::Key_Down);
    for (int n = 0; n < nStart % dump.R(); ++n)
        QTest::keyClick(&ctrl, Qt::Key_Right);
    QCOMPARE(ctrl.SelStart(), nStart);

    QTest::keyClick(&ctrl, Qt::Key(nKey), Qt::KeyboardModifiers(nModifiers));
    QCOMPARE(ctrl.SelStart(), dump.Eval(strNewCaret));
    QCOMPARE(ctrl.SelEnd(), ctrl.SelStart());
    const int nShown = dump.Eval(strRowInView);
    QVERIFY2(ctrl.Top() <= nShown && nShown < ctrl.Top() + dump.P(),
             qPrintable(QStringLiteral("top %1, page %2, wanted %3").arg(ctrl.Top()).arg(dump.P()).arg(nShown)));
    QCOMPARE(ctrl.Top() % dump.R(), 0);
    QCOMPARE(ctrl.ScrollBar()->value(), ctrl.Top() / dump.R());
}

void TestDumpCtrl::wheel_data()
{
    QTest::addColumn<QList<int>>("lstDeltas");
    QTest::addColumn<bool>("bOnBar");
    QTest::addColumn<int>("nRowsDown");
    QTest::newRow("one notch down") << QList<int>{-120} << false << 1;
    QTest::newRow("three notches down") << QList<int>{-120, -120, -120} << false << 3;
    QTest::newRow("down and back up") << QList<int>{-120, -120, 120} << false << 1;
    QTest::newRow("up at the top") << QList<int>{120} << false << 0;
    QTest::newRow("half a notch does nothing") << QList<int>{-60} << false << 0;
    QTest::newRow("two halves make a notch") << QList<int>{-60, -60} << false << 1;
    QTest::newRow("one notch over the scroll bar") << QList<int>{-120} << true << 1;
}

void TestDumpCtrl::wheel()
{
    QFETCH(QList<int>, lstDeltas);
    QFETCH(bool, bOnBar);
    QFETCH(int, nRowsDown);
    SShownDump dump(5000);
    CPPDumpCtrl& ctrl = *dump.pDump;
    QWidget* pTarget = bOnBar ? static_cast<QWidget*>(ctrl.ScrollBar()) : &ctrl;
    QVERIFY(pTarget->isVisible());
    const QPointF pt = bOnBar ? QPointF(5, 30) : QPointF(dump.Cell(0, kHexArea));
    for (const int nDelta : lstDeltas) {
        QWheelEvent ev(pt, pTarget->mapToGlobal(pt), QPoint(), QPoint(0, nDelta), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(pTarget, &ev);
    }
    QCOMPARE(ctrl.Top(), nRowsDown * dump.R());
    QCOMPARE(ctrl.SelStart(), 0);
}

void TestDumpCtrl::dragSelect_data()
{
    QTest::addColumn<quint32>("uStyle");
    QTest::addColumn<int>("nFrom");
    QTest::addColumn<int>("nFromArea");
    QTest::addColumn<int>("nTo");
    QTest::addColumn<int>("nToArea");
    QTest::addColumn<int>("nSelStart");
    QTest::addColumn<int>("nSelEnd");
    QTest::newRow("hex forward to the character column") << kHexDisplayStyle << 5 << kHexArea << 40 << kAsciiArea
                                                         << 5 << 40;
    QTest::newRow("backward") << kHexDisplayStyle << 40 << kHexArea << 5 << kAsciiArea << 5 << 40;
    QTest::newRow("onto the address column keeps the range") << kHexDisplayStyle << 30 << kHexArea << 0
                                                             << kAddressArea << 30 << 30;
    QTest::newRow("without drag selection") << (kHexDisplayStyle & ~DCS_DRAGSELECT) << 5 << kHexArea << 40
                                            << kHexArea << 5 << 5;
}

void TestDumpCtrl::dragSelect()
{
    QFETCH(quint32, uStyle);
    QFETCH(int, nFrom);
    QFETCH(int, nFromArea);
    QFETCH(int, nTo);
    QFETCH(int, nToArea);
    QFETCH(int, nSelStart);
    QFETCH(int, nSelEnd);
    SShownDump dump(1000, uStyle);
    CPPDumpCtrl& ctrl = *dump.pDump;
    QTest::mouseMove(&ctrl, dump.Cell(nFrom, nFromArea));
    QTest::mousePress(&ctrl, Qt::LeftButton, {}, dump.Cell(nFrom, nFromArea));
    QTest::mouseMove(&ctrl, dump.Cell(nTo, nToArea));
    QTest::mouseRelease(&ctrl, Qt::LeftButton, {}, dump.Cell(nTo, nToArea));
    QCOMPARE(ctrl.SelStart(), nSelStart);
    QCOMPARE(ctrl.SelEnd(), nSelEnd);
    // After the release, moving no longer selects.
    QTest::mouseMove(&ctrl, dump.Cell(nFrom + 1, kHexArea));
    QCOMPARE(ctrl.SelEnd(), nSelEnd);
}

void TestDumpCtrl::goToAddress_data()
{
    QTest::addColumn<bool>("bFromEnd");
    QTest::addColumn<QString>("strTyped");
    QTest::addColumn<bool>("bInRange");
    QTest::addColumn<int>("nCaret");

    // 1000 values: three hexadecimal address digits, 0 to 3E7.
    QTest::newRow("the last value") << false << "3E7" << true << 999;
    QTest::newRow("lower case") << false << "1ff" << true << 0x1FF;
    QTest::newRow("back up from the end") << true << "005" << true << 5;
    QTest::newRow("beyond the last value") << false << "3E8" << false << -1;
    QTest::newRow("unchanged text only closes") << false << "" << true << -1;
}

void TestDumpCtrl::goToAddress()
{
    QFETCH(bool, bFromEnd);
    QFETCH(QString, strTyped);
    QFETCH(bool, bInRange);
    QFETCH(int, nCaret);
    SShownDump dump(1000);
    CPPDumpCtrl& ctrl = *dump.pDump;
    if (bFromEnd) {
        QTest::keyClick(&ctrl, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(ctrl.Top() > 0);
    }
    const int nCaretBefore = ctrl.SelStart();
    const int nRowFirst = ctrl.Top() + 2 * dump.R();
    const QPoint ptAddress = dump.Cell(nRowFirst, kAddressArea);
    QTest::mouseMove(&ctrl, ptAddress);
    QTest::mouseDClick(&ctrl, Qt::LeftButton, {}, ptAddress);
    CPPNumEdit* pEdit = ctrl.Edit();
    QVERIFY(pEdit);
    QCOMPARE(pEdit->text(), QString::number(nRowFirst, 16).toUpper().rightJustified(3, QLatin1Char('0')));
    QCOMPARE(ctrl.SelStart(), nCaretBefore);

    if (!strTyped.isEmpty())
        QTest::keyClicks(pEdit, strTyped);
    QCOMPARE(pEdit->InRangeFlag(), bInRange);
    QCOMPARE(pEdit->palette().color(QPalette::Base), bInRange ? QColor(255, 255, 0) : QColor(255, 0, 0));
    QTest::keyClick(pEdit, Qt::Key_Return);
    if (!bInRange) {
        // Enter is refused; Escape still closes.
        QCOMPARE(ctrl.Edit(), pEdit);
        QTest::keyClick(pEdit, Qt::Key_Escape);
        QVERIFY(!ctrl.Edit());
        QCOMPARE(ctrl.SelStart(), nCaretBefore);
        return;
    }
    QVERIFY(!ctrl.Edit());
    QCOMPARE(ctrl.SelStart(), nCaret < 0 ? nCaretBefore : nCaret);
    if (nCaret >= 0) {
        // Moving down, the target's row becomes the bottom row; up, the top row.
        QVERIFY(ctrl.Top() <= nCaret && nCaret < ctrl.Top() + dump.P());
        if (bFromEnd)
            QCOMPARE(ctrl.Top(), nCaret - nCaret % dump.R());
        else
            QVERIFY(nCaret >= ctrl.Top() + dump.P() - dump.R());
    }
}

void TestDumpCtrl::readOnlyRefusesValueEdits_data()
{
    QTest::addColumn<int>("nKey");
    QTest::addColumn<int>("nModifiers");
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("Ctrl+H") << int(Qt::Key_H) << int(Qt::ControlModifier);
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << int(Qt::ControlModifier);
    QTest::newRow("double-click on a value") << 0 << 0;
}

void TestDumpCtrl::readOnlyRefusesValueEdits()
{
    QFETCH(int, nKey);
    QFETCH(int, nModifiers);
    SShownDump dump(1000);
    CPPDumpCtrl& ctrl = *dump.pDump;
    if (nKey == 0) {
        QTest::mouseMove(&ctrl, dump.Cell(25, kHexArea));
        QTest::mouseDClick(&ctrl, Qt::LeftButton, {}, dump.Cell(25, kHexArea));
        QCOMPARE(ctrl.SelStart(), 25);
    } else {
        QKeyEvent ev(QEvent::KeyPress, nKey, Qt::KeyboardModifiers(nModifiers));
        QApplication::sendEvent(&ctrl, &ev);
        // Swallowed, so the dialog's default button never sees Enter.
        QVERIFY(ev.isAccepted());
    }
    QVERIFY(!ctrl.Edit());
}

void TestDumpCtrl::valueEditMoves_data()
{
    QTest::addColumn<int>("nMoveKey");
    QTest::addColumn<int>("nModifiers");
    QTest::addColumn<QString>("strCaret");
    QTest::addColumn<int>("nArea");
    QTest::newRow("Down") << int(Qt::Key_Down) << int(Qt::NoModifier) << "R+1" << kHexArea;
    QTest::newRow("Up at the top") << int(Qt::Key_Up) << int(Qt::NoModifier) << "1" << kHexArea;
    QTest::newRow("Ctrl+Right") << int(Qt::Key_Right) << int(Qt::ControlModifier) << "2" << kHexArea;
    QTest::newRow("Ctrl+End of the row") << int(Qt::Key_End) << int(Qt::ControlModifier) << "R-1" << kHexArea;
    QTest::newRow("Tab to the next kind") << int(Qt::Key_Tab) << int(Qt::NoModifier) << "1" << 19;
    QTest::newRow("Shift+Tab wraps to the character column") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << "1"
                                                             << kAsciiArea;
    QTest::newRow("Ctrl+D edits in the Dec header box") << int(Qt::Key_D) << int(Qt::ControlModifier) << "1" << 3;
}

void TestDumpCtrl::valueEditMoves()
{
    QFETCH(int, nMoveKey);
    QFETCH(int, nModifiers);
    QFETCH(QString, strCaret);
    QFETCH(int, nArea);
    // A writable dump with every column and header box.
    SShownDump dump(1000, 0x753F3F, QSize(2000, 400));
    CPPDumpCtrl& ctrl = *dump.pDump;
    QVERIFY(dump.R() > 2);
    const int nEditAt = 1;
    QTest::mouseMove(&ctrl, dump.Cell(nEditAt, kHexArea));
    QTest::mouseDClick(&ctrl, Qt::LeftButton, {}, dump.Cell(nEditAt, kHexArea));
    QVERIFY(ctrl.Edit());
    QCOMPARE(ctrl.Edit()->text(), QStringLiteral("01"));
    QTest::keyClick(ctrl.Edit(), Qt::Key(nMoveKey), Qt::KeyboardModifiers(nModifiers));
    const int nExpected = dump.Eval(strCaret);
    QCOMPARE(ctrl.SelStart(), nExpected);
    QVERIFY(ctrl.Edit());
    QCOMPARE(ctrl.EditArea(), nArea);
    QCOMPARE(ctrl.EditIndex(), nExpected);
    // The data are never written, whatever is typed and committed.
    const QByteArray baBefore = dump.baData;
    QTest::keyClicks(ctrl.Edit(), QStringLiteral("7"));
    QTest::keyClick(ctrl.Edit(), Qt::Key_Return);
    QCOMPARE(dump.baData, baBefore);
}

void TestDumpCtrl::loadResetsView()
{
    SShownDump dump(5000);
    CPPDumpCtrl& ctrl = *dump.pDump;
    QTest::keyClick(&ctrl, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(ctrl.Top() > 0);
    const QByteArray baOther = Bytes(3001);
    ctrl.LoadBytes(baOther.constData(), baOther.size());
    QCOMPARE(ctrl.SelStart(), 0);
    QCOMPARE(ctrl.SelEnd(), 0);
    QCOMPARE(ctrl.Top(), 0);
    QCOMPARE(ctrl.Values(), 3001);
    const QByteArray baLarge = Bytes(70001);
    ctrl.LoadBytes(baLarge.constData(), baLarge.size());
    ctrl.repaint();
    // A fifth address digit: the range follows the new row width.
    QCOMPARE(ctrl.Layout().Digits(1), 5);
    QCOMPARE(ctrl.ScrollBar()->maximum(), ctrl.Layout().ScrollMax());
    ctrl.LoadBytes(baOther.constData(), baOther.size());
    // Two-byte values halve the count, leave an odd last byte out and start
    // at the top again.
    ctrl.SetDumpStyle(kHexDisplayStyle | DCS_WORDS, true);
    QCOMPARE(ctrl.Values(), 1500);
    QCOMPARE(ctrl.Top(), 0);
}

void TestDumpCtrl::headerFollowsMouse_data()
{
    QTest::addColumn<QString>("strWhere");
    QTest::addColumn<int>("nShown");
    // The caret is on 7.
    QTest::newRow("over a hex value") << "hex" << 40;
    QTest::newRow("over a character") << "ascii" << 40;
    QTest::newRow("over the address: its row") << "address" << 33;
    QTest::newRow("over the header bar") << "header" << 7;
    QTest::newRow("over the caption row") << "caption" << 7;
    QTest::newRow("outside the window") << "leave" << 7;
}

void TestDumpCtrl::headerFollowsMouse()
{
    QFETCH(QString, strWhere);
    QFETCH(int, nShown);
    SShownDump dump(1000);
    CPPDumpCtrl& ctrl = *dump.pDump;
    QVERIFY(dump.R() > 7 && 40 % dump.R() > 0);
    dump.SetCaret(7);
    const int nAddressRow = 40 - 40 % dump.R();
    if (strWhere == QLatin1String("address"))
        nShown = nAddressRow;
    QTest::mouseMove(&ctrl, dump.Cell(40, kHexArea));
    QPoint pt;
    if (strWhere == QLatin1String("hex"))
        pt = dump.Cell(40, kHexArea);
    else if (strWhere == QLatin1String("ascii"))
        pt = dump.Cell(40, kAsciiArea);
    else if (strWhere == QLatin1String("address"))
        pt = dump.Cell(nAddressRow, kAddressArea);
    else if (strWhere == QLatin1String("header"))
        pt = ctrl.GetAreaRect(-1, 2).center();
    else if (strWhere == QLatin1String("caption"))
        pt = QPoint(dump.Cell(0, kHexArea).x(), ctrl.Layout().CaptionTop() + 2);
    if (strWhere == QLatin1String("leave")) {
        QEvent ev(QEvent::Leave);
        QApplication::sendEvent(&ctrl, &ev);
    } else {
        QTest::mouseMove(&ctrl, pt);
    }
    QCOMPARE(ctrl.HeaderIndex(), nShown);
}

void TestDumpCtrl::eventsWithoutLayout_data()
{
    QTest::addColumn<bool>("bShown");
    QTest::addColumn<int>("nWidth");
    QTest::addColumn<int>("nBytes");
    QTest::newRow("never painted") << false << 420 << 100;
    QTest::newRow("too narrow for one value") << true << 60 << 100;
    QTest::newRow("no height") << true << 0 << 100;
    QTest::newRow("empty dump") << true << 420 << 0;
}

void TestDumpCtrl::eventsWithoutLayout()
{
    QFETCH(bool, bShown);
    QFETCH(int, nWidth);
    QFETCH(int, nBytes);
    const QByteArray baData = Bytes(nBytes);
    CPPDumpCtrl ctrl;
    ctrl.SetDumpStyle(kHexDisplayStyle, true);
    ctrl.LoadBytes(baData.constData(), baData.size());
    ctrl.resize(nWidth, nWidth == 0 ? 0 : 200);
    if (bShown) {
        ctrl.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ctrl) || nWidth == 0);
        ctrl.repaint();
    }
    for (const int nKey : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Return})
        QTest::keyClick(&ctrl, Qt::Key(nKey));
    QTest::keyClick(&ctrl, Qt::Key_End, Qt::ControlModifier);
    for (const QPoint& pt : {QPoint(5, 5), QPoint(50, 60), QPoint(10, 100)}) {
        QTest::mouseMove(&ctrl, pt);
        QTest::mouseClick(&ctrl, Qt::LeftButton, {}, pt);
        QTest::mouseDClick(&ctrl, Qt::LeftButton, {}, pt);
        QWheelEvent ev(pt, ctrl.mapToGlobal(pt), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(&ctrl, &ev);
    }
    const QPoint ptAddrBox = ctrl.GetAreaRect(-1, 1).center();
    QTest::mouseMove(&ctrl, ptAddrBox);
    QTest::mouseDClick(&ctrl, Qt::LeftButton, {}, ptAddrBox);
    // An empty dump has nothing to go to or edit, and nothing moves.
    if (nBytes == 0) {
        QVERIFY(!ctrl.Edit());
        QCOMPARE(ctrl.SelStart(), 0);
        QCOMPARE(ctrl.Top(), 0);
        return;
    }
    QVERIFY(ctrl.SelStart() >= 0 && ctrl.SelStart() < ctrl.Values());
    QVERIFY(ctrl.Top() >= 0 && ctrl.Top() < ctrl.Values());
    // Keys step by one value a row while no row width exists.
    QTest::keyClick(&ctrl, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&ctrl, Qt::Key_Down);
    QCOMPARE(ctrl.SelStart(), ctrl.Layout().PerRow());
}

void TestDumpCtrl::numEditTyping_data()
{
    QTest::addColumn<int>("nBase");
    QTest::addColumn<int>("nMode");
    QTest::addColumn<quint32>("uMax");
    QTest::addColumn<quint32>("uValue");
    QTest::addColumn<bool>("bSelectAll");
    QTest::addColumn<QString>("strTyped");
    QTest::addColumn<QString>("strText");
    QTest::addColumn<bool>("bInRange");

    const int kHex = CNumberText::kHexadecimal;
    QTest::newRow("third hex digit dropped") << kHex << 1 << 0u << 255u << false << "1" << "FF" << true;
    QTest::newRow("typing over a selection") << kHex << 1 << 0u << 255u << true << "1a" << "1A" << true;
    QTest::newRow("lower case becomes upper") << kHex << 2 << 0u << 0u << true << "beef" << "BEEF" << true;
    QTest::newRow("decimal drops letters") << int(CNumberText::kDecimal) << 1 << 0u << 0u << true << "1a2f"
                                           << "12" << true;
    QTest::newRow("decimal above the byte range") << int(CNumberText::kDecimal) << 1 << 0u << 0u << true << "256"
                                                  << "256" << false;
    QTest::newRow("binary takes 0 and 1") << int(CNumberText::kBinary) << 1 << 0u << 0u << true << "10201"
                                          << "1001" << true;
    QTest::newRow("octal stops at 7") << int(CNumberText::kOctal) << 1 << 0u << 0u << true << "1789" << "17" << true;
    QTest::newRow("address beyond 99") << kHex << 0 << 99u << 10u << true << "64" << "64" << false;
    QTest::newRow("one-value address takes nothing") << kHex << 0 << 0u << 0u << true << "1" << "" << true;
    QTest::newRow("character shows a dot for 10") << int(CNumberText::kCharacter) << 1 << 0u << 10u << false << "x"
                                                  << "." << true;
    QTest::newRow("character replaced over a selection") << int(CNumberText::kCharacter) << 1 << 0u << 10u << true
                                                         << "x" << "x" << true;
}

void TestDumpCtrl::numEditTyping()
{
    QFETCH(int, nBase);
    QFETCH(int, nMode);
    QFETCH(quint32, uMax);
    QFETCH(quint32, uValue);
    QFETCH(bool, bSelectAll);
    QFETCH(QString, strTyped);
    QFETCH(QString, strText);
    QFETCH(bool, bInRange);
    CPPNumEdit edit;
    edit.SetNumber(uValue, nBase, nMode, 0, uMax);
    edit.show();
    edit.setFocus();
    if (bSelectAll)
        edit.selectAll();
    else
        edit.end(false);
    QTest::keyClicks(&edit, strTyped);
    QCOMPARE(edit.text(), strText);
    QCOMPARE(edit.InRangeFlag(), bInRange);
    QCOMPARE(edit.palette().color(QPalette::Base) == QColor(255, 0, 0), !bInRange);
}

void TestDumpCtrl::numEditReports_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<int>("nCursor");
    QTest::addColumn<int>("nKey");
    QTest::addColumn<int>("nModifiers");
    QTest::addColumn<int>("nCode");
    QTest::addColumn<int>("nFirst");

    const int kNone = Qt::NoModifier;
    const int kCtrl = Qt::ControlModifier;
    QTest::newRow("Enter") << "12" << 2 << int(Qt::Key_Return) << kNone << 1127 << 1;
    QTest::newRow("Escape") << "12" << 2 << int(Qt::Key_Escape) << kNone << 1126 << 0;
    QTest::newRow("Tab") << "12" << 2 << int(Qt::Key_Tab) << kNone << 1128 << 10;
    QTest::newRow("Shift+Tab") << "12" << 2 << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 1128 << 11;
    QTest::newRow("Left at position 0") << "12" << 0 << int(Qt::Key_Left) << kNone << 1128 << 6;
    QTest::newRow("Left mid-text moves the cursor") << "12" << 1 << int(Qt::Key_Left) << kNone << 0 << 0;
    QTest::newRow("Right at the end") << "12" << 2 << int(Qt::Key_Right) << kNone << 1128 << 7;
    QTest::newRow("Ctrl+Right mid-text") << "12" << 1 << int(Qt::Key_Right) << kCtrl << 1128 << 7;
    QTest::newRow("Home") << "12" << 2 << int(Qt::Key_Home) << kNone << 0 << 0;
    QTest::newRow("Ctrl+Home") << "12" << 2 << int(Qt::Key_Home) << kCtrl << 1128 << 4;
    QTest::newRow("Page Down") << "12" << 2 << int(Qt::Key_PageDown) << kNone << 1128 << 13;
    QTest::newRow("Up") << "12" << 2 << int(Qt::Key_Up) << kNone << 1128 << 8;
    QTest::newRow("Ctrl+H") << "12" << 2 << int(Qt::Key_H) << kCtrl << 1129 << 14;
    QTest::newRow("Ctrl+A") << "12" << 2 << int(Qt::Key_A) << kCtrl << 1129 << 18;
    // Out of range only Escape is reported.
    QTest::newRow("Enter out of range") << "999" << 3 << int(Qt::Key_Return) << kNone << 0 << 0;
    QTest::newRow("Down out of range") << "999" << 3 << int(Qt::Key_Down) << kNone << 0 << 0;
    QTest::newRow("Ctrl+B out of range") << "999" << 3 << int(Qt::Key_B) << kCtrl << 0 << 0;
    QTest::newRow("Escape out of range") << "999" << 3 << int(Qt::Key_Escape) << kNone << 1126 << 0;
}

void TestDumpCtrl::numEditReports()
{
    QFETCH(QString, strText);
    QFETCH(int, nCursor);
    QFETCH(int, nKey);
    QFETCH(int, nModifiers);
    QFETCH(int, nCode);
    QFETCH(int, nFirst);
    CPPNumEdit edit;
    edit.SetNumber(0, CNumberText::kDecimal, 1, 0, 0);
    edit.setText(strText);
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(nCursor);
    QSignalSpy spy(&edit, &CPPNumEdit::EditReport);
    QTest::keyClick(&edit, Qt::Key(nKey), Qt::KeyboardModifiers(nModifiers));
    if (nCode == 0) {
        QCOMPARE(spy.count(), 0);
        return;
    }
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), nCode);
    QCOMPARE(spy.at(0).at(1).toInt(), nFirst);
    QCOMPARE(spy.at(0).at(2).toUInt(), strText.toUInt());
}

QTEST_MAIN(TestDumpCtrl)
#include "tst_dumpctrl.moc"
