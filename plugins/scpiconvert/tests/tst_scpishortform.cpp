#include "ScpiShortForm.h"

#include <QtTest>

class TestScpiShortForm : public QObject
{
    Q_OBJECT

private slots:
    void convert_data();
    void convert();
};

void TestScpiShortForm::convert_data()
{
    QTest::addColumn<QString>("strLong");
    QTest::addColumn<QString>("strShort");

    QTest::newRow("query") << "MEASure:VOLTage:DC?" << "MEAS:VOLT:DC?";
    QTest::newRow("error queue") << "SYSTem:ERRor?" << "SYST:ERR?";
    QTest::newRow("common command") << "*IDN?" << "*IDN?";
    QTest::newRow("already short") << "MEASURE:VOLTAGE?" << "MEASURE:VOLTAGE?";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("leading colon") << ":SOURce:FREQuency?" << ":SOUR:FREQ?";
    // Lower case in a parameter is a value: 1e6 must not become 16.
    QTest::newRow("numeric suffix and parameter") << "SOURce1:FREQuency 1e6" << "SOUR1:FREQ 1e6";
    QTest::newRow("tab before the parameter") << "FREQuency\t1kHz" << "FREQ\t1kHz";
    QTest::newRow("character parameter") << "OUTPut:STATe on" << "OUTP:STAT on";
    QTest::newRow("non-decimal numeric") << "SOURce:VALue #Hff" << "SOUR:VAL #Hff";
    // Without an upper-case letter there is no long form to shorten.
    QTest::newRow("all lower case") << "meas:volt?" << "meas:volt?";
    QTest::newRow("lower-case mnemonic among long forms") << "meas:VOLTage?" << "meas:VOLT?";
    QTest::newRow("lower-case common command") << "*idn?" << "*idn?";
    QTest::newRow("non-ASCII letter kept") << QStringLiteral("MEAS\u00FCre:VOLT?") << QStringLiteral("MEAS\u00FC:VOLT?");
    QTest::newRow("message units") << "SOURce:FREQuency 1kHz;:OUTPut:STATe on" << "SOUR:FREQ 1kHz;:OUTP:STAT on";
    QTest::newRow("space after the separator") << "*RST; SYSTem:ERRor?" << "*RST; SYST:ERR?";
    QTest::newRow("leading white space") << "  MEASure?" << "  MEAS?";
    QTest::newRow("quoted separator") << "MMEMory:NAME \"data;FILE.txt\";*OPC?" << "MMEM:NAME \"data;FILE.txt\";*OPC?";
    QTest::newRow("doubled quote") << "DISPlay:TEXT 'it''s; Done'" << "DISP:TEXT 'it''s; Done'";
    QTest::newRow("unterminated string") << "DISPlay:TEXT \"abc;DEFine" << "DISP:TEXT \"abc;DEFine";
    QTest::newRow("definite block") << "MMEMory:DATA 'f',#15ab;cd;SYSTem:ERRor?"
                                    << "MMEM:DATA 'f',#15ab;cd;SYST:ERR?";
    QTest::newRow("block cut short") << "MMEMory:DATA #19abc;Def" << "MMEM:DATA #19abc;Def";
    QTest::newRow("indefinite block") << "MMEMory:DATA #0ab;cdEf" << "MMEM:DATA #0ab;cdEf";
    QTest::newRow("block header without length") << "DATA #1" << "DATA #1";
}

void TestScpiShortForm::convert()
{
    QFETCH(QString, strLong);
    QFETCH(QString, strShort);
    QCOMPARE(CScpiShortForm::Convert(strLong), strShort);
}

QTEST_GUILESS_MAIN(TestScpiShortForm)
#include "tst_scpishortform.moc"
