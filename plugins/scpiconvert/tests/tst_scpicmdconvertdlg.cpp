#include "SCPICmdConvertDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

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
    auto* pLong = dlg.findChild<QLineEdit*>(QStringLiteral("m_editLongTerm"));
    auto* pShort = dlg.findChild<QLineEdit*>(QStringLiteral("m_editShortTerm"));
    auto fnClick = [&](const char* pszButton) {
        QTest::mouseClick(dlg.findChild<QPushButton*>(QLatin1String(pszButton)), Qt::LeftButton);
    };
    QClipboard* pClipboard = QApplication::clipboard();

    dlg.LoadInput({nullptr, nullptr, 0, u"SOURce1:FREQuency 1e6", 0});
    QCOMPARE(pShort->text(), QStringLiteral("SOUR1:FREQ 1e6"));

    pLong->selectAll();
    QTest::keyClicks(pLong, QStringLiteral("SYSTem:ERRor?"));
    QTest::keyClick(pLong, Qt::Key_Return);
    QCOMPARE(pShort->text(), QStringLiteral("SYST:ERR?"));

    pClipboard->setText(QStringLiteral("MEASure:VOLTage:DC?"));
    fnClick("m_btnPaste");
    QCOMPARE(pLong->text(), QStringLiteral("MEASure:VOLTage:DC?"));
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
    dlg.LoadInput({nullptr, nullptr, 0, u"", 0});
    QCOMPARE(pLong->text(), QString());
    QCOMPARE(pShort->text(), QString());

    fnClick("m_btnCancel");
    QVERIFY(dlg.isHidden());
}

QTEST_MAIN(TestSCPICmdConvertDlg)
#include "tst_scpicmdconvertdlg.moc"
