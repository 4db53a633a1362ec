#include "DialogResize.h"
#include "MainWindowAnchors.h"

#include <QPushButton>
#include <QtTest>

namespace
{
const ResizeAnchor kOddAnchors[] = {
    { 1009, RESIZE_SIZE_X | RESIZE_SIZE_Y },
    { 4242, RESIZE_SIZE_X },                 // no such control
    { -1, RESIZE_MOVE_X },                   // records nothing, ends nothing
    { 1022, RESIZE_MOVE_Y },
    { -1, 0 },
    { 1, RESIZE_MOVE_X },                    // past the end
};

class CTestDlg : public CDialogResize
{
public:
    CTestDlg(const ResizeAnchor* pAnchors, const QList<int>& lstIds, QSize sizeClient)
        : m_pAnchors(pAnchors)
    {
        resize(sizeClient);
        int nIndex = 0;
        for (int nId : lstIds)
        {
            auto* pCtrl = new QPushButton(QString::number(nId), this);
            SetControlId(pCtrl, nId);
            pCtrl->setGeometry(10 + (nIndex % 4) * 90, 10 + (nIndex / 4) * 40, 80, 30);
            ++nIndex;
        }
    }

    using CDialogResize::ApplyLayout;
    using CDialogResize::OnSize;

protected:
    const ResizeAnchor* GetResizeAnchors() const override { return m_pAnchors; }

private:
    const ResizeAnchor* m_pAnchors;
};

const QList<int> kCmdListIds = { 1029, 1009, 1030, 1010, 3, 1000, 1002, 1023, 1022, 1, 2 };
const QList<int> kMainIds = { 1005, 1026, 1017, 1019, 1004, 1002, 1021, 3,  1028, 1009, 1008, 1018,
                              7,    8,    9,    14,   12,   13,   11,   10, 1024, 1025, 1001, 1003 };

std::unique_ptr<CTestDlg> MakeDialog(const QString& strWindow, const QList<int>& lstExtraIds = {})
{
    const bool bMain = (strWindow == QLatin1String("main"));
    auto pDlg = std::make_unique<CTestDlg>(bMain ? kMainWindowResizeAnchors : kCmdListResizeAnchors,
                                           (bMain ? kMainIds : kCmdListIds) + lstExtraIds, QSize(420, 330));
    pDlg->InitResizing();
    return pDlg;
}

// Each control's rectangle as it must be for a client size, computed from
// the recording alone.
void VerifyLayout(CTestDlg& dlg, QSize sizeClient)
{
    const int nDx = sizeClient.width() - dlg.GetInitialClientSize().width();
    const int nDy = sizeClient.height() - dlg.GetInitialClientSize().height();
    for (const auto& data : dlg.GetResizeData())
    {
        QWidget* pCtrl = (data.m_uFlags & RESIZE_GRIPPER) ? dlg.GetSizeGrip() : dlg.GetDlgItem(data.m_nCtrlId);
        QVERIFY(pCtrl);
        QCOMPARE(pCtrl->geometry(), ResizeAnchoredRect(data.m_uFlags, data.m_rcInitial, data.m_rcInitial, nDx, nDy));
    }
}

void ShowAndWait(QWidget& wnd)
{
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
}
} // namespace

class TestDialogResize : public QObject
{
    Q_OBJECT

private slots:
    void growByHundredAndFifty_data();
    void growByHundredAndFifty();
    void neverSmallerThanInitial();
    void maximiseHidesGripAndRestoreShowsIt();
    void minimiseMovesNothing();
    void unknownAnchorsIgnored();
    void reinitialisingKeepsOneWorkingGrip();
    void noDriftAfterManyResizes_data();
    void noDriftAfterManyResizes();
};

void TestDialogResize::growByHundredAndFifty_data()
{
    QTest::addColumn<QString>("strWindow");
    QTest::addColumn<int>("nCtrlId");
    QTest::addColumn<QRect>("rcDelta"); // change of x, y, width, height

    const QRect rcGrow(0, 0, 100, 50), rcMove(100, 50, 0, 0), rcStay(0, 0, 0, 0);
    QTest::newRow("list: list view grows") << "cmdlist" << 1009 << rcGrow;
    QTest::newRow("list: input edit grows") << "cmdlist" << 1030 << rcGrow;
    QTest::newRow("list: file path wider, down") << "cmdlist" << 1010 << QRect(0, 50, 100, 0);
    QTest::newRow("list: status wider, down") << "cmdlist" << 1023 << QRect(0, 50, 100, 0);
    QTest::newRow("list: Parse moves") << "cmdlist" << 3 << rcMove;
    QTest::newRow("list: OK moves") << "cmdlist" << 1 << rcMove;
    QTest::newRow("list: Cancel moves") << "cmdlist" << 2 << rcMove;
    QTest::newRow("list: Run All down only") << "cmdlist" << 1022 << QRect(0, 50, 0, 0);
    QTest::newRow("list: Open File stays") << "cmdlist" << 1000 << rcStay;
    QTest::newRow("list: Save As stays") << "cmdlist" << 1002 << rcStay;
    QTest::newRow("list: Input toggle stays") << "cmdlist" << 1029 << rcStay;
    QTest::newRow("list: grip moves") << "cmdlist" << ID_SIZE_GRIP << rcMove;

    for (int nId : { 1005, 1026, 1017 })
        QTest::addRow("main: %d grows", nId) << "main" << nId << rcGrow;
    for (int nId : { 1019, 1004, 1002, 1021 })
        QTest::addRow("main: %d wider", nId) << "main" << nId << QRect(0, 0, 100, 0);
    for (int nId : { 3, 1028, 1009, 1008, 1018, 7, 8, 9, 14, 12, 13, 11, 10, 1024, 1025 })
        QTest::addRow("main: %d right", nId) << "main" << nId << QRect(100, 0, 0, 0);
    QTest::newRow("main: footer down") << "main" << 1001 << QRect(0, 50, 0, 0);
    QTest::newRow("main: timeout stays") << "main" << 1003 << rcStay;
    QTest::newRow("main: grip moves") << "main" << ID_SIZE_GRIP << rcMove;
}

void TestDialogResize::growByHundredAndFifty()
{
    QFETCH(QString, strWindow);
    QFETCH(int, nCtrlId);
    QFETCH(QRect, rcDelta);

    auto pDlg = MakeDialog(strWindow);
    ShowAndWait(*pDlg);
    QWidget* pCtrl = pDlg->GetDlgItem(nCtrlId);
    QVERIFY(pCtrl);
    const QRect rcBefore = pCtrl->geometry();
    const QSize sizeTarget = pDlg->size() + QSize(100, 50);

    pDlg->resize(sizeTarget);
    QTRY_COMPARE(pDlg->size(), sizeTarget);
    const QRect rcExpected(rcBefore.x() + rcDelta.x(), rcBefore.y() + rcDelta.y(), rcBefore.width() + rcDelta.width(),
                           rcBefore.height() + rcDelta.height());
    QTRY_COMPARE(pCtrl->geometry(), rcExpected);
}

void TestDialogResize::neverSmallerThanInitial()
{
    auto pDlg = MakeDialog(QStringLiteral("main"));
    ShowAndWait(*pDlg);
    const QSize sizeInitial = pDlg->size();
    QCOMPARE(pDlg->GetInitialClientSize(), sizeInitial);
    QVERIFY(pDlg->GetMinWindowSize().width() >= sizeInitial.width());
    QVERIFY(pDlg->GetMinWindowSize().height() >= sizeInitial.height());

    pDlg->resize(sizeInitial - QSize(100, 50));
    QTest::qWait(50);
    QCOMPARE(pDlg->size(), sizeInitial);
    pDlg->resize(sizeInitial.width() + 30, sizeInitial.height() - 50);
    QTRY_COMPARE(pDlg->size(), QSize(sizeInitial.width() + 30, sizeInitial.height()));
    VerifyLayout(*pDlg, pDlg->size());
}

void TestDialogResize::maximiseHidesGripAndRestoreShowsIt()
{
    auto pDlg = MakeDialog(QStringLiteral("cmdlist"));
    ShowAndWait(*pDlg);
    const QSize sizeNormal = pDlg->size();
    QSizeGrip* pGrip = pDlg->GetSizeGrip();
    QVERIFY(!pGrip->isHidden());

    pDlg->showMaximized();
    QTRY_VERIFY(pDlg->isMaximized());
    QTRY_VERIFY(pGrip->isHidden());
    QTRY_VERIFY(pDlg->size() != sizeNormal);
    VerifyLayout(*pDlg, pDlg->size());

    pDlg->showNormal();
    QTRY_VERIFY(!pDlg->isMaximized());
    QTRY_VERIFY(!pGrip->isHidden());
    QTRY_COMPARE(pDlg->size(), sizeNormal);
    VerifyLayout(*pDlg, sizeNormal);
}

void TestDialogResize::minimiseMovesNothing()
{
    auto pDlg = MakeDialog(QStringLiteral("cmdlist"));
    ShowAndWait(*pDlg);
    const QSize sizeGrown = pDlg->size() + QSize(60, 40);
    pDlg->resize(sizeGrown);
    QTRY_COMPARE(pDlg->size(), sizeGrown);
    VerifyLayout(*pDlg, sizeGrown);

    // A minimised window reports an empty client area; nothing may collapse into it.
    pDlg->OnSize(CDialogResize::kSizeMinimized, 0, 0);
    VerifyLayout(*pDlg, sizeGrown);
    QVERIFY(!pDlg->GetSizeGrip()->isHidden());

    pDlg->showMinimized();
    QTest::qWait(50);
    VerifyLayout(*pDlg, pDlg->size());

    pDlg->OnSize(CDialogResize::kSizeRestored, sizeGrown.width() + 10, sizeGrown.height() + 20);
    VerifyLayout(*pDlg, sizeGrown + QSize(10, 20));
}

void TestDialogResize::unknownAnchorsIgnored()
{
    CTestDlg dlg(kOddAnchors, { 1009, 1022, 1 }, QSize(400, 300));
    dlg.InitResizing();
    QList<int> lstRecorded;
    for (const auto& data : dlg.GetResizeData())
        lstRecorded << data.m_nCtrlId;
    QCOMPARE(lstRecorded, QList<int>({ ID_SIZE_GRIP, 1009, 1022 }));

    const QRect rcOk = dlg.GetDlgItem(1)->geometry();
    dlg.ApplyLayout(500, 400);
    QCOMPARE(dlg.GetDlgItem(1)->geometry(), rcOk);
    VerifyLayout(dlg, QSize(500, 400));

    // A window built without one of the table's controls still lays out the rest.
    auto pPartial = std::make_unique<CTestDlg>(kCmdListResizeAnchors, QList<int>{ 1009, 1, 1022 }, QSize(400, 300));
    pPartial->InitResizing();
    QCOMPARE(pPartial->GetResizeData().size(), 4);
}

void TestDialogResize::reinitialisingKeepsOneWorkingGrip()
{
    auto pDlg = MakeDialog(QStringLiteral("cmdlist"));
    pDlg->InitResizing();
    QCOMPARE(pDlg->findChildren<QSizeGrip*>().size(), 1);
    QVERIFY(pDlg->HasSizeGrip());
    QCOMPARE(pDlg->GetResizeData().first().m_nCtrlId, ID_SIZE_GRIP);
    pDlg->ApplyLayout(pDlg->width() + 40, pDlg->height() + 30);
    VerifyLayout(*pDlg, pDlg->size() + QSize(40, 30));
}

void TestDialogResize::noDriftAfterManyResizes_data()
{
    QTest::addColumn<QString>("strWindow");
    QTest::newRow("command list window") << "cmdlist";
    QTest::newRow("main window") << "main";
}

void TestDialogResize::noDriftAfterManyResizes()
{
    QFETCH(QString, strWindow);
    auto pDlg = MakeDialog(strWindow);
    const QSize sizeInitial = pDlg->size();
    QVector<QRect> lstInitial;
    for (const auto& data : pDlg->GetResizeData())
        lstInitial << data.m_rcInitial;

    // Sizes far below the initial one clamp controls to nothing on the way;
    // a layout computed from the previous one would never get them back.
    quint32 uSeed = 12345;
    for (int i = 0; i < 500; ++i)
    {
        uSeed = uSeed * 1103515245u + 12345u;
        const QSize sizeClient(int((uSeed >> 8) % 900) + 1, int((uSeed >> 16) % 700) + 1);
        pDlg->ApplyLayout(sizeClient.width(), sizeClient.height());
        if (i % 50 == 0)
            VerifyLayout(*pDlg, sizeClient);
    }
    pDlg->ApplyLayout(sizeInitial.width(), sizeInitial.height());
    const auto& aData = pDlg->GetResizeData();
    for (int i = 0; i < aData.size(); ++i)
    {
        QWidget* pCtrl = (aData[i].m_uFlags & RESIZE_GRIPPER) ? pDlg->GetSizeGrip() : pDlg->GetDlgItem(aData[i].m_nCtrlId);
        QCOMPARE(pCtrl->geometry(), lstInitial[i]);
    }
}

QTEST_MAIN(TestDialogResize)
#include "tst_dialogresize.moc"
