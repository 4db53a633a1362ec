#include "HistoryArchive.h"
#include "HistoryCombo.h"

#include <QLineEdit>
#include <QtTest>

// Builds a history whose entry 0 is the last of lstPushed.
static void Fill(CHistoryCombo& combo, const QStringList& lstPushed)
{
    for (const QString& str : lstPushed)
        combo.PushEntry(str);
}

static QStringList Numbered(const QString& strPrefix, int nCount)
{
    QStringList lst;
    for (int n = 0; n < nCount; ++n)
        lst << strPrefix + QString::number(n);
    return lst;
}

static QByteArray Store(CHistoryCombo& combo)
{
    QByteArray ba;
    QBuffer buffer(&ba);
    buffer.open(QIODevice::WriteOnly);
    CHistoryArchive archive(&buffer, CHistoryArchive::EMode::Store);
    if (!combo.ArchiveHistory(archive))
        return QByteArray("store failed");
    return ba;
}

static bool Load(CHistoryCombo& combo, QByteArray ba)
{
    QBuffer buffer(&ba);
    buffer.open(QIODevice::ReadOnly);
    CHistoryArchive archive(&buffer, CHistoryArchive::EMode::Load);
    return combo.ArchiveHistory(archive);
}

class TestHistoryCombo : public QObject
{
    Q_OBJECT

private slots:
    void pushEntry_data();
    void pushEntry();
    void limitDropsOldest();
    void importLines_data();
    void importLines();
    void exportLines();
    void emptyHistory();
    void archiveGoldenBytes();
    void archiveLoadNarrow();
    void archiveCurrentNotInList();
    void archiveRoundTripLengths_data();
    void archiveRoundTripLengths();
    void archiveCutAtEveryOffset();
    void archiveListPastCountField();
    void prefixSelection_data();
    void prefixSelection();
    void typingDoesNotInsert();
};

void TestHistoryCombo::pushEntry_data()
{
    QTest::addColumn<QStringList>("lstBefore");
    QTest::addColumn<QString>("strPush");
    QTest::addColumn<QStringList>("lstAfter");

    // lstBefore is given as pushed, oldest first.
    QTest::newRow("older duplicate in other case removed")
        << QStringList{"*idn?", "*RST", "*CLS"} << "*IDN?" << QStringList{"*IDN?", "*CLS", "*RST"};
    QTest::newRow("same as entry 0 keeps one copy")
        << QStringList{"*RST", "*CLS"} << "*CLS" << QStringList{"*CLS", "*RST"};
    QTest::newRow("new case replaces entry 0")
        << QStringList{"*RST", "*cls"} << "*CLS" << QStringList{"*CLS", "*RST"};
    QTest::newRow("blanks around removed")
        << QStringList{"*RST"} << "  *RST  " << QStringList{"*RST"};
    QTest::newRow("tabs are not blanks")
        << QStringList{"*RST"} << "\t*RST" << QStringList{"\t*RST", "*RST"};
    QTest::newRow("into empty list") << QStringList{} << "*TRG" << QStringList{"*TRG"};
    QTest::newRow("non-ASCII case-insensitive")
        << QStringList{"MESS:ÄNDERN"} << "mess:ändern" << QStringList{"mess:ändern"};
}

void TestHistoryCombo::pushEntry()
{
    QFETCH(QStringList, lstBefore);
    QFETCH(QString, strPush);
    QFETCH(QStringList, lstAfter);

    CHistoryCombo combo;
    Fill(combo, lstBefore);
    QCOMPARE(combo.PushEntry(strPush), 0);
    QCOMPARE(combo.Entries(), lstAfter);
    QCOMPARE(combo.currentIndex(), 0);
    QCOMPARE(combo.currentText(), lstAfter.first());
}

void TestHistoryCombo::limitDropsOldest()
{
    CHistoryCombo combo;
    Fill(combo, Numbered(QStringLiteral("cmd"), 101));
    QCOMPARE(combo.count(), 100);
    QCOMPARE(combo.itemText(0), QStringLiteral("cmd100"));
    QCOMPARE(combo.itemText(99), QStringLiteral("cmd1"));
    QVERIFY(combo.findText(QStringLiteral("cmd0"), Qt::MatchExactly) < 0);

    // A duplicate at the very end is removed before the limit cuts, so
    // nothing else is lost.
    combo.PushEntry(QStringLiteral("CMD1"));
    QCOMPARE(combo.count(), 100);
    QCOMPARE(combo.itemText(99), QStringLiteral("cmd2"));
}

void TestHistoryCombo::importLines_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QStringList>("lstExpected");

    QTest::newRow("CR LF") << "*IDN?\r\n*RST\r\n" << QStringList{"*IDN?", "*RST"};
    QTest::newRow("mixed runs are one separator")
        << "\r\n\n*IDN?\n\r\r*RST\r*CLS" << QStringList{"*IDN?", "*RST", "*CLS"};
    QTest::newRow("not trimmed, duplicates kept")
        << " a \na\nA" << QStringList{" a ", "a", "A"};
    QTest::newRow("only breaks") << "\r\n\r\n" << QStringList{};
}

void TestHistoryCombo::importLines()
{
    QFETCH(QString, strText);
    QFETCH(QStringList, lstExpected);

    CHistoryCombo combo;
    Fill(combo, {QStringLiteral("old")});
    combo.ImportLines(strText);
    QCOMPARE(combo.Entries(), lstExpected);
}

void TestHistoryCombo::exportLines()
{
    CHistoryCombo combo;
    combo.ImportLines(QStringLiteral("keep"));
    combo.ImportLines(QString());
    QCOMPARE(combo.Entries(), QStringList{QStringLiteral("keep")});

    combo.ImportLines(Numbered(QStringLiteral("line"), 150).join(QLatin1Char('\n')));
    QCOMPARE(combo.count(), 150);
    combo.setEditText(QStringLiteral("typed"));
    QString strHistory;
    QCOMPARE(combo.ExportLines(strHistory), QStringLiteral("typed"));
    QCOMPARE(combo.count(), 100);
    const QStringList lstLines = strHistory.split(QStringLiteral("\r\n"));
    QCOMPARE(lstLines.size(), 100);
    QCOMPARE(lstLines.first(), QStringLiteral("typed"));
    QCOMPARE(lstLines.last(), QStringLiteral("line98"));
    QVERIFY(!strHistory.endsWith(QLatin1Char('\n')));

    // Export then import gives the same list back.
    CHistoryCombo other;
    other.ImportLines(strHistory);
    QCOMPARE(other.Entries(), combo.Entries());
}

void TestHistoryCombo::emptyHistory()
{
    CHistoryCombo combo;
    Fill(combo, {QStringLiteral("a"), QStringLiteral("b")});
    combo.setEditText(QStringLiteral("typing"));
    combo.EmptyHistory();
    QCOMPARE(combo.count(), 0);
    QCOMPARE(combo.currentText(), QString());
}

void TestHistoryCombo::archiveGoldenBytes()
{
    CHistoryCombo combo;
    Fill(combo, {QStringLiteral("*RST"), QStringLiteral("*IDN?")});
    combo.setEditText(QStringLiteral("*CLS"));

    const QByteArray baExpected = QByteArray::fromHex(
        "0300"
        "FFFEFF04" "2A0043004C005300"
        "FFFEFF05" "2A00490044004E003F00"
        "FFFEFF04" "2A00520053005400"
        "FFFEFF04" "2A0043004C005300");
    QCOMPARE(Store(combo).toHex(' '), baExpected.toHex(' '));

    CHistoryCombo loaded;
    QVERIFY(Load(loaded, baExpected));
    QCOMPARE(loaded.Entries(), (QStringList{"*CLS", "*IDN?", "*RST"}));
    QCOMPARE(loaded.currentIndex(), 0);
}

void TestHistoryCombo::archiveLoadNarrow()
{
    // Entries in the 8-bit form, current text in the wide form.
    const QByteArray ba = QByteArray::fromHex("0200" "05" "2A49444E3F" "03" "E96C61" "FFFEFF03" "C9004C004100");
    CHistoryCombo combo;
    Fill(combo, {QStringLiteral("replaced")});
    QVERIFY(Load(combo, ba));
    QCOMPARE(combo.Entries(), (QStringList{"*IDN?", QStringLiteral("\u00E9la")}));
    QCOMPARE(combo.currentIndex(), 1);
    QCOMPARE(combo.currentText(), QStringLiteral("\u00E9la"));
}

void TestHistoryCombo::archiveCurrentNotInList()
{
    CHistoryCombo source;
    Fill(source, {QStringLiteral("a")});
    QByteArray ba = Store(source);
    // Replace the stored current text by one that is not in the list.
    ba.chop(CHistoryArchive::EncodeWide(QStringLiteral("a")).size());
    ba += CHistoryArchive::EncodeWide(QStringLiteral("zzz"));

    CHistoryCombo combo;
    QVERIFY(Load(combo, ba));
    QCOMPARE(combo.Entries(), QStringList{QStringLiteral("a")});
    QCOMPARE(combo.currentIndex(), -1);
    QCOMPARE(combo.currentText(), QStringLiteral("zzz"));
}

void TestHistoryCombo::archiveRoundTripLengths_data()
{
    QTest::addColumn<int>("nLength");
    for (int n : {0, 1, 254, 255, 70000})
        QTest::newRow(qPrintable(QString::number(n))) << n;
}

void TestHistoryCombo::archiveRoundTripLengths()
{
    QFETCH(int, nLength);
    QString strLong(nLength, QChar(u'\u6307'));
    if (nLength > 1)
        strLong[nLength - 1] = QLatin1Char('?');

    CHistoryCombo combo;
    combo.ImportLines(QStringLiteral("first\nsecond"));
    combo.insertItem(1, strLong);
    combo.setCurrentIndex(0);

    CHistoryCombo loaded;
    QVERIFY(Load(loaded, Store(combo)));
    QCOMPARE(loaded.count(), 3);
    QCOMPARE(loaded.itemText(1).size(), nLength);
    QVERIFY(loaded.itemText(1) == strLong);
    QCOMPARE(loaded.Entries(), combo.Entries());
}

void TestHistoryCombo::archiveCutAtEveryOffset()
{
    const QStringList lstEntries{QStringLiteral("*IDN?"), QString(300, QLatin1Char('x')), QStringLiteral("\u6307\u4EE4")};
    CHistoryCombo source;
    source.ImportLines(lstEntries.join(QLatin1Char('\n')));
    source.setCurrentIndex(0);
    const QByteArray ba = Store(source);

    // Offsets at which each entry is complete.
    QList<int> lstEnds;
    int nEnd = 2;
    for (const QString& str : lstEntries)
        lstEnds << (nEnd += CHistoryArchive::EncodeWide(str).size());
    QCOMPARE(ba.size(), nEnd + CHistoryArchive::EncodeWide(lstEntries.first()).size());

    for (int nCut = 0; nCut < ba.size(); ++nCut) {
        CHistoryCombo combo;
        const bool bOk = Load(combo, ba.left(nCut));
        QVERIFY2(!bOk, qPrintable(QString::number(nCut)));
        int nComplete = 0;
        while (nComplete < lstEnds.size() && lstEnds.at(nComplete) <= nCut)
            ++nComplete;
        QCOMPARE(combo.Entries(), lstEntries.mid(0, nComplete));
    }
    CHistoryCombo whole;
    QVERIFY(Load(whole, ba));
    QCOMPARE(whole.Entries(), lstEntries);
    QCOMPARE(whole.currentIndex(), 0);
}

void TestHistoryCombo::archiveListPastCountField()
{
    // Only an import with an empty edit field can exceed the 16-bit count;
    // the file must still describe itself consistently.
    CHistoryCombo combo;
    combo.ImportLines(Numbered(QStringLiteral("l"), 70000).join(QLatin1Char('\n')));
    combo.setCurrentIndex(-1);
    combo.setEditText(QString());
    CHistoryCombo loaded;
    QVERIFY(Load(loaded, Store(combo)));
    QCOMPARE(loaded.count(), 65535);
    QCOMPARE(loaded.itemText(65534), QStringLiteral("l65534"));
    QCOMPARE(loaded.currentText(), QString());
}

void TestHistoryCombo::prefixSelection_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<int>("nIndex");
    QTest::addColumn<QString>("strShown");

    QTest::newRow("first matching prefix") << "*idn?" << 1 << "*IDN?;*OPT?";
    QTest::newRow("exact entry") << "gpib0::18::INSTR" << 3 << "GPIB0::18::INSTR";
    QTest::newRow("no match keeps text") << "TCPIP0::host::INSTR" << -1 << "TCPIP0::host::INSTR";
}

void TestHistoryCombo::prefixSelection()
{
    QFETCH(QString, strText);
    QFETCH(int, nIndex);
    QFETCH(QString, strShown);

    CHistoryCombo combo;
    combo.ImportLines(QStringLiteral("*RST\n*IDN?;*OPT?\n*IDN?\nGPIB0::18::INSTR"));
    combo.SelectPrefixOrSetText(strText);
    QCOMPARE(combo.currentIndex(), nIndex);
    QCOMPARE(combo.currentText(), strShown);
}

void TestHistoryCombo::typingDoesNotInsert()
{
    CHistoryCombo combo;
    combo.ImportLines(QStringLiteral("*IDN?"));
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));
    combo.lineEdit()->clear();
    QTest::keyClicks(combo.lineEdit(), QStringLiteral("*I"));
    QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
    // No completion to "*IDN?" and no entry added by the toolkit.
    QCOMPARE(combo.currentText(), QStringLiteral("*I"));
    QCOMPARE(combo.Entries(), QStringList{QStringLiteral("*IDN?")});
}

QTEST_MAIN(TestHistoryCombo)
#include "tst_historycombo.moc"
