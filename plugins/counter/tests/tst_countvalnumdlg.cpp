#include "CountValNumPlugInDlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTranslator>
#include <QtTest>

#include <cstring>

namespace {

template <typename T>
T* Child(const QWidget& dlg, const char* pszName)
{
    T* pChild = dlg.findChild<T*>(QLatin1String(pszName));
    if (!pChild)
        qFatal("missing control %s", pszName);
    return pChild;
}

void Load(CCountValNumPlugInDlg& dlg, const char* pszAnswer)
{
    const PlugInInput input{nullptr, pszAnswer, pszAnswer ? std::int32_t(std::strlen(pszAnswer)) : 0, u"", 0};
    dlg.LoadInput(input);
}

void Type(QWidget* pBox, const QString& strText)
{
    pBox->setFocus();
    QTest::keyClick(pBox, Qt::Key_A, Qt::ControlModifier);
    if (strText.isEmpty())
        QTest::keyClick(pBox, Qt::Key_Delete);
    else
        QTest::keyClicks(pBox, strText);
}

} // namespace

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
    auto* pValues = Child<QPlainTextEdit>(dlg, "m_editValues");
    auto* pSeparator = Child<QLineEdit>(dlg, "m_editSeparator");
    auto* pCount = Child<QLabel>(dlg, "m_lblCount");
    auto* pCalculate = Child<QPushButton>(dlg, "m_btnCalculate");
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Result Value Number Counter [ Plug In Demo ]"));
    QCOMPARE(pSeparator->text(), QStringLiteral(","));
    QCOMPARE(pCount->text(), QStringLiteral("---"));
    QVERIFY(pCalculate->isDefault());

    Load(dlg, nullptr);
    QCOMPARE(pValues->toPlainText(), QString());
    QCOMPARE(pCount->text(), QStringLiteral("0"));

    Load(dlg, "1,2;3,4");
    QCOMPARE(pValues->toPlainText(), QStringLiteral("1,2;3,4"));
    QCOMPARE(pCount->text(), QStringLiteral("2"));

    Type(pSeparator, QStringLiteral(";,"));
    QTest::mouseClick(pCalculate, Qt::LeftButton);
    QCOMPARE(pCount->text(), QStringLiteral("1"));

    Type(pValues, QStringLiteral("a;b;c;d"));
    QTest::keyClick(pSeparator, Qt::Key_Return);
    QCOMPARE(pCount->text(), QStringLiteral("3"));

    // A new answer replaces the edited text and is counted with the
    // separator the user left in the box.
    Load(dlg, "x;y,z");
    QCOMPARE(pValues->toPlainText(), QStringLiteral("x;y,z"));
    QCOMPARE(pValues->document()->isUndoAvailable(), false);
    QCOMPARE(pCount->text(), QStringLiteral("1"));

    Type(pSeparator, QString());
    QTest::mouseClick(pCalculate, Qt::LeftButton);
    QCOMPARE(pCount->text(), QStringLiteral("0"));

    QTest::mouseClick(Child<QPushButton>(dlg, "m_btnExit"), Qt::LeftButton);
    QVERIFY(dlg.isHidden());
    QCOMPARE(pValues->toPlainText(), QStringLiteral("x;y,z"));
}

void TestCountValNumPlugInDlg::chineseCaptions()
{
    QTranslator translator;
    QVERIFY(translator.load(QLatin1String(CCountValNumPlugInDlg::kCataloguePath)));
    QCoreApplication::installTranslator(&translator);
    CCountValNumPlugInDlg dlg;
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Result Value Number Counter [ Plug In Demo ]"));
    QCOMPARE(Child<QGroupBox>(dlg, "m_grpCounter")->title(), QStringLiteral(" 计数器 "));
    QCOMPARE(Child<QLabel>(dlg, "m_lblExplanation")->text(),
             QStringLiteral("该组件用于计算返回的数据组数,默认分隔符为逗号 ','用户可以设置该分隔符."));
    QCOMPARE(Child<QLabel>(dlg, "m_lblSeparator")->text(), QStringLiteral("分隔符"));
    QCOMPARE(Child<QPushButton>(dlg, "m_btnCalculate")->text(), QStringLiteral("计算"));
    QCOMPARE(Child<QPushButton>(dlg, "m_btnExit")->text(), QStringLiteral("退出"));
    QCOMPARE(Child<QLabel>(dlg, "m_lblCount")->text(), QStringLiteral("---"));
}

QTEST_MAIN(TestCountValNumPlugInDlg)
#include "tst_countvalnumdlg.moc"
