#include "CountValNumPlugInDlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTranslator>
#include <QtTest>

#include <cstring>

class TestCountValNumPlugInDlg : public QObject
{
    Q_OBJECT

private slots:
    void userSession();
    void chineseCaptions();
};

// One window through what a user does with it; each step depends on what
// the earlier ones left in the boxes.
void TestCountValNumPlugInDlg::userSession()
{
    CCountValNumPlugInDlg dlg;
    dlg.show();
    auto* pValues = dlg.findChild<QPlainTextEdit*>(QStringLiteral("m_editValues"));
    auto* pSeparator = dlg.findChild<QLineEdit*>(QStringLiteral("m_editSeparator"));
    auto* pCount = dlg.findChild<QLabel*>(QStringLiteral("m_lblCount"));
    auto* pCalculate = dlg.findChild<QPushButton*>(QStringLiteral("m_btnCalculate"));
    auto fnLoad = [&](const char* pszAnswer) {
        dlg.LoadInput({nullptr, pszAnswer, pszAnswer ? std::int32_t(std::strlen(pszAnswer)) : 0, u"", 0});
    };
    auto fnType = [](QWidget* pBox, const QString& strText) {
        QTest::keyClick(pBox, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(pBox, Qt::Key_Delete);
        QTest::keyClicks(pBox, strText);
    };
    QCOMPARE(pSeparator->text(), QStringLiteral(","));
    QCOMPARE(pCount->text(), QStringLiteral("---"));

    fnLoad(nullptr);
    QCOMPARE(pValues->toPlainText(), QString());
    QCOMPARE(pCount->text(), QStringLiteral("0"));

    // The box takes what the platform's edit control would; the count
    // covers the whole answer.
    const QByteArray baLong = QByteArray("1,").repeated(20000);
    fnLoad(baLong.constData());
    QCOMPARE(pValues->toPlainText().size(), 32767);
    QCOMPARE(pCount->text(), QStringLiteral("20000"));

    fnLoad("1,2;3,4");
    QCOMPARE(pCount->text(), QStringLiteral("2"));
    fnType(pSeparator, QStringLiteral(";,"));
    QTest::mouseClick(pCalculate, Qt::LeftButton);
    QCOMPARE(pCount->text(), QStringLiteral("1"));

    // Return in a box presses the default button, Calculate.
    fnType(pValues, QStringLiteral("a;b;c;d"));
    QTest::keyClick(pSeparator, Qt::Key_Return);
    QCOMPARE(pCount->text(), QStringLiteral("3"));

    // A new answer replaces the edited text for good and is counted with
    // the separator the user left in the box.
    fnLoad("x;y,z");
    QCOMPARE(pValues->toPlainText(), QStringLiteral("x;y,z"));
    QVERIFY(!pValues->document()->isUndoAvailable());
    QCOMPARE(pCount->text(), QStringLiteral("1"));

    fnType(pSeparator, QString());
    QTest::mouseClick(pCalculate, Qt::LeftButton);
    QCOMPARE(pCount->text(), QStringLiteral("0"));

    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("m_btnExit")), Qt::LeftButton);
    QVERIFY(dlg.isHidden());
}

void TestCountValNumPlugInDlg::chineseCaptions()
{
    QTranslator translator;
    QVERIFY(translator.load(QLatin1String(CCountValNumPlugInDlg::kCataloguePath)));
    QCoreApplication::installTranslator(&translator);
    CCountValNumPlugInDlg dlg;
    QCoreApplication::removeTranslator(&translator);
    // The title is the same in both languages.
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Result Value Number Counter [ Plug In Demo ]"));
    QCOMPARE(dlg.findChild<QGroupBox*>(QStringLiteral("m_grpCounter"))->title(), QStringLiteral(" 计数器 "));
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("m_lblExplanation"))->text(),
             QStringLiteral("该组件用于计算返回的数据组数,默认分隔符为逗号 ','用户可以设置该分隔符."));
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("m_lblSeparator"))->text(), QStringLiteral("分隔符"));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("m_btnCalculate"))->text(), QStringLiteral("计算"));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("m_btnExit"))->text(), QStringLiteral("退出"));
}

QTEST_MAIN(TestCountValNumPlugInDlg)
#include "tst_countvalnumdlg.moc"
