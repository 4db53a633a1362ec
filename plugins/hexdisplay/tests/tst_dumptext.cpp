// Texts of the dump's cells and of the in-place edit, and the bytes that
// "Save As..." writes for an answer.
#include "AnswerSaveSpan.h"
#include "DumpLayout.h"
#include "DumpText.h"
#include "NumberText.h"

#include <QtTest>

class TestDumpText : public QObject
{
    Q_OBJECT

private slots:
    void valueCell_data();
    void valueCell();
    void readValue_data();
    void readValue();
    void numberFormat_data();
    void numberFormat();
    void numberParse_data();
    void numberParse();
    void accepts_data();
    void accepts();
    void saveSpan_data();
    void saveSpan();
};

void TestDumpText::valueCell_data()
{
    QTest::addColumn<int>("nKind");
    QTest::addColumn<quint32>("uValue");
    QTest::addColumn<int>("nBytes");
    QTest::addColumn<int>("nDigits");
    QTest::addColumn<QChar>("chPlaceholder");
    QTest::addColumn<QString>("strCell");

    const QChar chDot(u'.');
    QTest::newRow("hex 0x41") << int(kKindHex) << 0x41u << 1 << 2 << chDot << " 41 ";
    QTest::newRow("hex pads") << int(kKindHex) << 0x0Au << 1 << 2 << chDot << " 0A ";
    QTest::newRow("character A") << int(kKindAscii) << 0x41u << 1 << 1 << chDot << " A ";
    QTest::newRow("line feed as placeholder") << int(kKindAscii) << 0x0Au << 1 << 1 << chDot << " . ";
    QTest::newRow("line feed without placeholder") << int(kKindAscii) << 0x0Au << 1 << 1 << QChar() << " \n ";
    QTest::newRow("space is no control byte") << int(kKindAscii) << 0x20u << 1 << 1 << chDot << "   ";
    QTest::newRow("byte 0xE9 is U+00E9") << int(kKindAscii) << 0xE9u << 1 << 1 << chDot << QStringLiteral(" \u00E9 ");
    QTest::newRow("address of the first row") << int(kKindAddr) << 0u << 1 << 4 << chDot << " 0000 ";
    QTest::newRow("five address digits") << int(kKindAddr) << 0x12345u << 1 << 5 << chDot << " 12345 ";
    QTest::newRow("empty dump's address") << int(kKindAddr) << 0u << 1 << 12 << chDot << " 000000000000 ";
    QTest::newRow("decimal 200") << int(kKindDec) << 200u << 1 << 3 << chDot << " 200 ";
    QTest::newRow("decimal 5 right-aligned") << int(kKindDec) << 5u << 1 << 3 << chDot << "   5 ";
    QTest::newRow("decimal word") << int(kKindDec) << 65535u << 2 << 5 << chDot << " 65535 ";
    QTest::newRow("decimal word 7") << int(kKindDec) << 7u << 2 << 5 << chDot << "     7 ";
    QTest::newRow("octal 255") << int(kKindOct) << 255u << 1 << 3 << chDot << " 377 ";
    QTest::newRow("octal 8") << int(kKindOct) << 8u << 1 << 3 << chDot << "  10 ";
    QTest::newRow("octal word") << int(kKindOct) << 65535u << 2 << 6 << chDot << " 177777 ";
    QTest::newRow("binary byte") << int(kKindBin) << 0xA5u << 1 << 8 << chDot << " 10100101 ";
    QTest::newRow("binary word, high byte first") << int(kKindBin) << 0x1234u << 2 << 17 << chDot
                                                  << " 00010010-00110100 ";
    QTest::newRow("hex word") << int(kKindHex) << 0x1234u << 2 << 4 << chDot << " 1234 ";
    QTest::newRow("hex word pads") << int(kKindHex) << 0xABu << 2 << 4 << chDot << " 00AB ";
}

void TestDumpText::valueCell()
{
    QFETCH(int, nKind);
    QFETCH(quint32, uValue);
    QFETCH(int, nBytes);
    QFETCH(int, nDigits);
    QFETCH(QChar, chPlaceholder);
    QFETCH(QString, strCell);
    const QString strActual = CDumpText::ValueCell(nKind, uValue, nBytes, nDigits, chPlaceholder);
    QCOMPARE(strActual, strCell);
    // Cells overlap by their padding, so every one is exactly digits + 2 wide.
    QCOMPARE(strActual.size(), nDigits + 2);
}

void TestDumpText::readValue_data()
{
    QTest::addColumn<QByteArray>("baData");
    QTest::addColumn<quint32>("uStyle");
    QTest::addColumn<int>("nIndex");
    QTest::addColumn<quint32>("uValue");
    const QByteArray baWords("\x34\x12\xFF\x80\x07", 5);
    QTest::newRow("byte") << baWords << 0u << 3 << 0x80u;
    QTest::newRow("byte is unsigned") << baWords << 0u << 2 << 0xFFu;
    QTest::newRow("word, first byte high") << baWords << quint32(DCS_WORDS) << 0 << 0x3412u;
    QTest::newRow("word, first byte low") << baWords << quint32(DCS_WORDS | DCS_LITTLE_ENDIAN) << 0 << 0x1234u;
    QTest::newRow("second word little-endian") << baWords << quint32(DCS_WORDS | DCS_LITTLE_ENDIAN) << 1 << 0x80FFu;
    QTest::newRow("odd last byte is no word") << baWords << quint32(DCS_WORDS) << 2 << 0u;
    QTest::newRow("behind the end") << baWords << 0u << 5 << 0u;
    QTest::newRow("negative index") << baWords << 0u << -1 << 0u;
}

void TestDumpText::readValue()
{
    QFETCH(QByteArray, baData);
    QFETCH(quint32, uStyle);
    QFETCH(int, nIndex);
    QFETCH(quint32, uValue);
    const auto* pData = reinterpret_cast<const uchar*>(baData.constData());
    QCOMPARE(CDumpText::ReadValue(pData, baData.size(), nIndex, uStyle), uValue);
}

void TestDumpText::numberFormat_data()
{
    QTest::addColumn<quint32>("uValue");
    QTest::addColumn<int>("nBase");
    QTest::addColumn<int>("nMode");
    QTest::addColumn<quint32>("uBoundA");
    QTest::addColumn<quint32>("uBoundB");
    QTest::addColumn<QString>("strText");
    QTest::addColumn<int>("nMaxChars");

    QTest::newRow("byte hex") << 255u << int(CNumberText::kHexadecimal) << 1 << 0u << 0u << "FF" << 2;
    QTest::newRow("byte hex pads") << 10u << int(CNumberText::kHexadecimal) << 1 << 0u << 0u << "0A" << 2;
    QTest::newRow("byte decimal") << 7u << int(CNumberText::kDecimal) << 1 << 0u << 0u << "7" << 3;
    QTest::newRow("byte binary") << 5u << int(CNumberText::kBinary) << 1 << 0u << 0u << "00000101" << 8;
    QTest::newRow("byte octal") << 8u << int(CNumberText::kOctal) << 1 << 0u << 0u << "10" << 3;
    QTest::newRow("word decimal") << 65535u << int(CNumberText::kDecimal) << 2 << 0u << 0u << "65535" << 5;
    QTest::newRow("word hex") << 0xABu << int(CNumberText::kHexadecimal) << 2 << 0u << 0u << "00AB" << 4;
    QTest::newRow("word binary in two groups") << 0x1234u << int(CNumberText::kBinary) << 2 << 0u << 0u
                                               << "00010010-00110100" << 16;
    QTest::newRow("word octal") << 9u << int(CNumberText::kOctal) << 2 << 0u << 0u << "11" << 6;
    QTest::newRow("address of 100 values") << 10u << int(CNumberText::kHexadecimal) << 0 << 0u << 99u << "0A" << 2;
    QTest::newRow("bounds in either order") << 10u << int(CNumberText::kHexadecimal) << 0 << 99u << 0u << "0A" << 2;
    QTest::newRow("one-value address is empty") << 0u << int(CNumberText::kHexadecimal) << 0 << 0u << 0u << "" << 0;
    QTest::newRow("out of range takes the minimum") << 300u << int(CNumberText::kHexadecimal) << 0 << 16u << 99u
                                                    << "10" << 2;
    QTest::newRow("character") << 65u << int(CNumberText::kCharacter) << 1 << 0u << 0u << "A" << 1;
    QTest::newRow("control character") << 10u << int(CNumberText::kCharacter) << 1 << 0u << 0u << "." << 1;
}

void TestDumpText::numberFormat()
{
    QFETCH(quint32, uValue);
    QFETCH(int, nBase);
    QFETCH(int, nMode);
    QFETCH(quint32, uBoundA);
    QFETCH(quint32, uBoundB);
    QFETCH(QString, strText);
    QFETCH(int, nMaxChars);
    const CNumberText::SRange range = CNumberText::RangeFor(nMode, uBoundA, uBoundB);
    const quint32 uClamped = uValue >= range.uMin && uValue <= range.uMax ? uValue : range.uMin;
    const int nMax = CNumberText::MaxChars(range.uMax, nBase);
    QCOMPARE(nMax, nMaxChars);
    QCOMPARE(CNumberText::Format(uClamped, nBase, nMax), strText);
    // What is shown reads back as the value (a control character shows as ".").
    if (nBase != CNumberText::kCharacter && !strText.isEmpty())
        QCOMPARE(CNumberText::Parse(strText, nBase), uClamped);
}

void TestDumpText::numberParse_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<int>("nBase");
    QTest::addColumn<quint32>("uValue");
    QTest::newRow("hex") << "FF" << int(CNumberText::kHexadecimal) << 255u;
    QTest::newRow("hex lower case") << "ffff" << int(CNumberText::kHexadecimal) << 65535u;
    QTest::newRow("leading blanks, trailing junk") << "  12x3" << int(CNumberText::kDecimal) << 12u;
    QTest::newRow("no digit") << "x" << int(CNumberText::kDecimal) << 0u;
    QTest::newRow("empty") << "" << int(CNumberText::kHexadecimal) << 0u;
    QTest::newRow("binary skips group separators") << "1111-0000" << int(CNumberText::kBinary) << 240u;
    QTest::newRow("octal stops at 8") << "178" << int(CNumberText::kOctal) << 15u;
    QTest::newRow("too large saturates") << "99999999999" << int(CNumberText::kDecimal) << 0xFFFFFFFFu;
    QTest::newRow("largest 32-bit hex") << "FFFFFFFF" << int(CNumberText::kHexadecimal) << 0xFFFFFFFFu;
    QTest::newRow("character") << "A" << int(CNumberText::kCharacter) << 65u;
    QTest::newRow("character modulo 256") << QStringLiteral("\u0141") << int(CNumberText::kCharacter) << 0x41u;
    QTest::newRow("empty character") << "" << int(CNumberText::kCharacter) << 0u;
}

void TestDumpText::numberParse()
{
    QFETCH(QString, strText);
    QFETCH(int, nBase);
    QFETCH(quint32, uValue);
    QCOMPARE(CNumberText::Parse(strText, nBase), uValue);
}

void TestDumpText::accepts_data()
{
    QTest::addColumn<QString>("strBase");
    QTest::addColumn<int>("nBase");
    QTest::addColumn<QString>("strAccepted");
    QTest::addColumn<QString>("strRejected");
    QTest::newRow("decimal") << "dec" << int(CNumberText::kDecimal) << "0123456789" << "aAfF-x ";
    QTest::newRow("hexadecimal, either case") << "hex" << int(CNumberText::kHexadecimal) << "09afAF" << "gG-x ";
    QTest::newRow("binary") << "bin" << int(CNumberText::kBinary) << "01" << "2a- ";
    QTest::newRow("octal") << "oct" << int(CNumberText::kOctal) << "01234567" << "89a";
    QTest::newRow("character takes anything") << "chr" << int(CNumberText::kCharacter) << "aZ!~ 9" << "";
}

void TestDumpText::accepts()
{
    QFETCH(int, nBase);
    QFETCH(QString, strAccepted);
    QFETCH(QString, strRejected);
    for (const QChar ch : strAccepted)
        QVERIFY2(CNumberText::Accepts(ch, nBase), qPrintable(QString(ch)));
    for (const QChar ch : strRejected)
        QVERIFY2(!CNumberText::Accepts(ch, nBase), qPrintable(QString(ch)));
}

void TestDumpText::saveSpan_data()
{
    QTest::addColumn<QByteArray>("baAnswer");
    QTest::addColumn<bool>("bIgnoreHeader");
    QTest::addColumn<QByteArray>("baSaved");

    QTest::newRow("block without header") << QByteArray("#15HELLO\n") << true << QByteArray("HELLO");
    QTest::newRow("block with header") << QByteArray("#15HELLO\n") << false << QByteArray("#15HELLO");
    QTest::newRow("indefinite block") << QByteArray("#0DATA\n") << true << QByteArray("DATA");
    QTest::newRow("text") << QByteArray("1.2345E+00\n") << true << QByteArray("1.2345E+00");
    QTest::newRow("one line feed") << QByteArray("\n") << true << QByteArray();
    // Answers read to their end without a terminator keep every byte.
    QTest::newRow("one byte, no terminator") << QByteArray("7") << true << QByteArray("7");
    QTest::newRow("text without terminator") << QByteArray("1.5") << false << QByteArray("1.5");
    QTest::newRow("block without terminator") << QByteArray("#15HELLO") << true << QByteArray("HELLO");
    QTest::newRow("block ending in a line feed byte") << QByteArray("#13AB\n") << true << QByteArray("AB\n");
    QTest::newRow("block, then the terminator") << QByteArray("#13AB\n\n") << true << QByteArray("AB\n");
    QTest::newRow("block data is cut at its length") << QByteArray("#12ABCD\n") << true << QByteArray("AB");
    QTest::newRow("block shorter than stated") << QByteArray("#19ABC\n") << true << QByteArray("ABC");
    QTest::newRow("empty definite block") << QByteArray("#10\n") << true << QByteArray();
    QTest::newRow("long header") << QByteArray("#210") + QByteArray(10, 'x') + "\n" << true << QByteArray(10, 'x');
    QTest::newRow("binary data with zero bytes") << QByteArray("#14\0\n\0\xFF\n", 8) << true
                                                 << QByteArray("\0\n\0\xFF", 4);
    // Malformed headers are saved as they came, never read past.
    QTest::newRow("hash alone") << QByteArray("#") << true << QByteArray("#");
    QTest::newRow("hash and terminator") << QByteArray("#\n") << true << QByteArray("#");
    QTest::newRow("letter after hash") << QByteArray("#A12\n") << true << QByteArray("#A12");
    QTest::newRow("header longer than the answer") << QByteArray("#9123\n") << true << QByteArray("#9123");
    QTest::newRow("letter among the length digits") << QByteArray("#2X5HELLO\n") << true << QByteArray("#2X5HELLO");
    QTest::newRow("hash and a digit only") << QByteArray("#5") << true << QByteArray("#5");
    QTest::newRow("indefinite, nothing after") << QByteArray("#0\n") << true << QByteArray();
    QTest::newRow("empty") << QByteArray() << true << QByteArray();
}

void TestDumpText::saveSpan()
{
    QFETCH(QByteArray, baAnswer);
    QFETCH(bool, bIgnoreHeader);
    QFETCH(QByteArray, baSaved);
    const SSaveSpan span = CAnswerSaveSpan::Compute(baAnswer.constData(), baAnswer.size(), bIgnoreHeader);
    QVERIFY(span.nOffset >= 0 && span.nCount >= 0);
    QVERIFY(span.nOffset + span.nCount <= baAnswer.size());
    QCOMPARE(baAnswer.mid(span.nOffset, span.nCount), baSaved);
}

QTEST_GUILESS_MAIN(TestDumpText)
#include "tst_dumptext.moc"
