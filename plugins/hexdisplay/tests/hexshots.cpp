// A developer tool, never run by ctest: PNGs of the hex display window with a
// text and a binary answer, at its template size and enlarged, in the
// language of the environment (LANGUAGE=zh_CN LANG=zh_CN.UTF-8 for Chinese).
//   velq_hexshots <output folder>
#include "HexDisplayDlg.h"
#include "PPDumpCtrl.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QtTest>

namespace {

QByteArray BinaryAnswer()
{
    QByteArray ba("#41000");
    for (int i = 0; i < 1000; ++i)
        ba += char(i % 256);
    return ba + '\n';
}

} // namespace

int main(int nArgc, char** ppArgv)
{
    QApplication app(nArgc, ppArgv);
    const QString strFolder = nArgc > 1 ? QString::fromLocal8Bit(ppArgv[1]) : QDir::currentPath();
    QDir().mkpath(strFolder);
    const bool bChinese = CHexDisplayDlg::IsChineseLocale();
    if (bChinese)
        CHexDisplayDlg::InstallTranslator(app);
    const QString strLang = bChinese ? QStringLiteral("zh") : QStringLiteral("en");

    const QByteArray baText("VELQUIST,VELQSIM SCPI SIMULATOR,000001,1.0.0\n");
    const QByteArray baBinary = BinaryAnswer();
    for (const auto& [strName, baAnswer] : {std::pair{QStringLiteral("text"), baText},
                                            std::pair{QStringLiteral("binary"), baBinary}}) {
        for (const bool bLarge : {false, true}) {
            CHexDisplayDlg dlg;
            dlg.LoadAnswer(baAnswer.constData(), baAnswer.size());
            if (bLarge)
                dlg.resize(1100, 760);
            dlg.show();
            if (!QTest::qWaitForWindowExposed(&dlg))
                qWarning("window not exposed");
            CPPDumpCtrl* pDump = dlg.DumpCtrl();
            pDump->setFocus();
            QApplication::processEvents();
            // A selection dragged over a few values and the mouse resting on one.
            const QRect rcFrom = pDump->GetAreaRect(3, 18);
            const QRect rcTo = pDump->GetAreaRect(qMin(pDump->Values() - 1, 20), 18);
            QTest::mousePress(pDump, Qt::LeftButton, {}, rcFrom.center());
            QTest::mouseMove(pDump, rcTo.center());
            QTest::mouseRelease(pDump, Qt::LeftButton, {}, rcTo.center());
            QTest::mouseMove(pDump, pDump->GetAreaRect(qMin(pDump->Values() - 1, 30), 22).center());
            QApplication::processEvents();
            const QString strFile = QStringLiteral("%1/hexdisplay-%2-%3-%4.png")
                                        .arg(strFolder, strLang, strName, bLarge ? QStringLiteral("large")
                                                                                 : QStringLiteral("small"));
            dlg.grab().save(strFile);
            qInfo("%s", qPrintable(strFile));
            if (bLarge || strName != QLatin1String("binary"))
                continue;
            // The go-to-address edit open on the third row, with an index too large.
            const QPoint ptAddress = pDump->GetAreaRect(2 * pDump->Layout().PerRow(), 17).center();
            QTest::mouseMove(pDump, ptAddress);
            QTest::mouseDClick(pDump, Qt::LeftButton, {}, ptAddress);
            QApplication::processEvents();
            const QString strEdit = QStringLiteral("%1/hexdisplay-%2-address-edit.png").arg(strFolder, strLang);
            dlg.grab().save(strEdit);
            if (QWidget* pEdit = pDump->findChild<QWidget*>(QStringLiteral("1"))) {
                QTest::keyClicks(pEdit, QStringLiteral("FFF"));
                QApplication::processEvents();
                dlg.grab().save(QStringLiteral("%1/hexdisplay-%2-address-edit-bad.png").arg(strFolder, strLang));
            }
            qInfo("%s", qPrintable(strEdit));
        }
    }
    // The control on its own with every column, header box and two-byte values.
    const QByteArray baBinary2 = BinaryAnswer();
    CPPDumpCtrl dump;
    dump.SetPlaceholder(QLatin1Char('.'));
    dump.SetDumpStyle(0x7F3F3F & ~0x080000u, true);
    dump.LoadBytes(baBinary2.constData(), baBinary2.size());
    dump.resize(1100, 360);
    dump.show();
    if (!QTest::qWaitForWindowExposed(&dump))
        qWarning("dump not exposed");
    QTest::mouseMove(&dump, dump.GetAreaRect(5, 19).center());
    QApplication::processEvents();
    const QString strAll = QStringLiteral("%1/hexdisplay-%2-every-column.png").arg(strFolder, strLang);
    dump.grab().save(strAll);
    qInfo("%s", qPrintable(strAll));
    return 0;
}
