#include "SCPICmdConvertDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

template <typename T>
T* Child(const QWidget& dlg, const char* pszName)
{
    T* pChild = dlg.findChild<T*>(QLatin1String(pszName));
    if (!pChild)
        qFatal("missing control %s", pszName);
    return pChild;
}

} // namespace

class TestSCPICmdConvertDlg : public QObject
{
    Q_OBJECT

private slots:
    void userSession();
};

void TestSCPICmdConvertDlg::userSession()
{
    CSCPICmdConvertDlg dlg;
    dlg.show();
    auto* pLong = Child<QLineEdit>(dlg, "m_editLongTerm");
    auto* pShort = Child<QLineEdit>(dlg, "m_editShortTerm");
    auto fnClick = [&](const char* pszButton) {
        QTest::mouseClick(Child<QPushButton>(dlg, pszButton), Qt::LeftButton);
    };
    QCOMPARE(dlg.windowTitle(), QStringLiteral("SCPI Remote Commands Convertor"));
    QVERIFY(pShort->isReadOnly());
    QVERIFY(Child<QPushButton>(dlg, "m_btnConvert")->isDefault());

    const PlugInInput input{nullptr, nullptr, 0, u"SOURce1:FREQuency 1e6", 0};
    dlg.LoadInput(input);
    QCOMPARE(pLong->text(), QStringLiteral("SOURce1:FREQuency 1e6"));
    QCOMPARE(pShort->text(), QStringLiteral("SOUR1:FREQ 1e6"));

    pLong->setFocus();
    pLong->selectAll();
    QTest::keyClicks(pLong, QStringLiteral("SYSTem:ERRor?"));
    fnClick("m_btnConvert");
    QCOMPARE(pShort->text(), QStringLiteral("SYST:ERR?"));

    QClipboard* pClipboard = QApplication::clipboard();
    pClipboard->setText(QStringLiteral("MEASure:VOLTage:DC?"));
    fnClick("m_btnPaste");
    QCOMPARE(pLong->text(), QStringLiteral("MEASure:VOLTage:DC?"));
    QCOMPARE(pShort->text(), QStringLiteral("MEAS:VOLT:DC?"));
    pClipboard->clear();
    fnClick("m_btnCopy");
    QCOMPARE(pClipboard->text(), QStringLiteral("MEAS:VOLT:DC?"));
    QCOMPARE(pShort->selectedText(), QStringLiteral("MEAS:VOLT:DC?"));

    // Nothing to paste: the long form the user has stays.
    pClipboard->clear();
    fnClick("m_btnPaste");
    QCOMPARE(pLong->text(), QStringLiteral("MEASure:VOLTage:DC?"));
    QCOMPARE(pShort->text(), QStringLiteral("MEAS:VOLT:DC?"));

    // The console's command replaces whatever the user typed.
    const PlugInInput empty{nullptr, nullptr, 0, u"", 0};
    dlg.LoadInput(empty);
    QCOMPARE(pLong->text(), QString());
    QCOMPARE(pShort->text(), QString());

    fnClick("m_btnCancel");
    QVERIFY(dlg.isHidden());
}

QTEST_MAIN(TestSCPICmdConvertDlg)
#include "tst_scpicmdconvertdlg.moc"
