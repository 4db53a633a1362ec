#include "NyEdit.h"
#include "NySysErrorDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QtTest>

class TestNySysErrorDlg : public QObject
{
    Q_OBJECT

private slots:
    void colours_data();
    void colours();
    void userCannotChangeOrClose_data();
    void userCannotChangeOrClose();
    void copyStillWorks();

private:
    // Shown modelessly: the checks run while the dialog is up.
    static std::unique_ptr<CNySysErrorDlg> Shown(const QString& strText)
    {
        auto pDlg = std::make_unique<CNySysErrorDlg>();
        pDlg->m_strErrors = strText;
        pDlg->show();
        if (!QTest::qWaitForWindowExposed(pDlg.get()))
            qFatal("dialog not shown");
        return pDlg;
    }
};

void TestNySysErrorDlg::colours_data()
{
    QTest::addColumn<bool>("bError");
    QTest::addColumn<QColor>("crText");
    QTest::newRow("errors: red") << true << QColor(255, 0, 0);
    QTest::newRow("no error: green") << false << QColor(0, 255, 0);
}

void TestNySysErrorDlg::colours()
{
    QFETCH(bool, bError);
    QFETCH(QColor, crText);
    CNySysErrorDlg dlg;
    // The other colour first: the second call must replace, not keep, it.
    dlg.SetErrorColor(!bError);
    dlg.SetErrorColor(bError);
    const CNyEdit& edit = dlg.ErrorBox();
    for (QPalette::ColorGroup eGroup : {QPalette::Active, QPalette::Inactive}) {
        QCOMPARE(edit.palette().color(eGroup, QPalette::Text), crText);
        QCOMPARE(edit.palette().color(eGroup, QPalette::Base), QColor(0, 0, 0));
    }
    QCOMPARE(edit.m_brBackground.color(), QColor(0, 0, 0));
    // What the viewport paints is what the palette says.
    dlg.m_strErrors = QStringLiteral("-113,\"Undefined header\"");
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QImage image = edit.viewport()->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() - 2, image.height() - 2), QColor(0, 0, 0));
}

void TestNySysErrorDlg::userCannotChangeOrClose_data()
{
    QTest::addColumn<QString>("strAction");
    QTest::newRow("typing") << "type";
    QTest::newRow("Backspace and Delete") << "delete";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("right click") << "menu";
}

void TestNySysErrorDlg::userCannotChangeOrClose()
{
    QFETCH(QString, strAction);
    const QString strText = QStringLiteral("0,\"No error\"");
    auto pDlg = Shown(strText);
    CNyEdit& edit = pDlg->ErrorBox();
    edit.setFocus();
    QCOMPARE(edit.toPlainText(), strText);
    if (strAction == QLatin1String("type")) {
        QTest::keyClicks(&edit, QStringLiteral("abc"));
    } else if (strAction == QLatin1String("delete")) {
        QTest::keyClick(&edit, Qt::Key_End);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QTest::keyClick(&edit, Qt::Key_Home);
        QTest::keyClick(&edit, Qt::Key_Delete);
    } else if (strAction == QLatin1String("escape")) {
        QTest::keyClick(&edit, Qt::Key_Escape);
    } else {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), edit.viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(edit.viewport(), &event);
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(!edit.findChild<QMenu*>());
    }
    QCOMPARE(edit.toPlainText(), strText);
    QVERIFY(pDlg->isVisible());
    QCOMPARE(pDlg->result(), 0);
}

void TestNySysErrorDlg::copyStillWorks()
{
    auto pDlg = Shown(QStringLiteral("-222,\"Data out of range\""));
    CNyEdit& edit = pDlg->ErrorBox();
    edit.setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("-222,\"Data out of range\""));
}

QTEST_MAIN(TestNySysErrorDlg)
#include "tst_nysyserrordlg.moc"
