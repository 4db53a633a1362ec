// The SCPI engine and IEEE 488.2 message exchange as a pure unit: no sockets,
// a CDevice fed with bytes and drained with Read().
#include "Device.h"
#include "InstrumentState.h"
#include "WireLog.h"

#include <QtTest>

#include <memory>
#include <string>

namespace {

const std::chrono::milliseconds kWait(5000);

std::string Bytes(const QByteArray& ba)
{
    return std::string(ba.constData(), static_cast<size_t>(ba.size()));
}

// Collects one whole response (up to and including its END byte).
QByteArray TakeResponse(CDevice& dev, std::chrono::milliseconds tWait = kWait)
{
    QByteArray baOut;
    for (;;) {
        CDevice::SReadResult r = dev.Read(4096, tWait);
        if (r.eStatus != CDevice::EReadStatus::Data)
            return baOut;
        baOut.append(r.strData.data(), static_cast<int>(r.strData.size()));
        if (r.bEnd)
            return baOut;
    }
}

QByteArray Query(CDevice& dev, const QByteArray& baMessage)
{
    dev.Write(Bytes(baMessage + "\n"), false);
    return TakeResponse(dev);
}

// For messages that produce no answer.
void Send(CDevice& dev, const QByteArray& baMessage)
{
    dev.Write(Bytes(baMessage + "\n"), false);
}

int FirstErrorCode(CDevice& dev)
{
    const QByteArray baError = Query(dev, "SYST:ERR?");
    return baError.left(baError.indexOf(',')).toInt();
}

} // namespace

class TestScpiEngine : public QObject
{
    Q_OBJECT

    std::shared_ptr<CInstrumentState> m_pState;
    std::unique_ptr<CDevice> m_pDev;

    CDevice& NewDevice(CDevice::EFraming eFraming = CDevice::EFraming::Stream,
                       CDevice::EResponseMode eMode = CDevice::EResponseMode::Queue)
    {
        m_pState = std::make_shared<CInstrumentState>();
        m_pDev = std::make_unique<CDevice>("t", m_pState, nullptr, eFraming, eMode);
        m_pDev->Write(Bytes("*CLS\n"), false); // clears the power-on bit
        return *m_pDev;
    }

private slots:
    void commandForms_data();
    void commandForms();
    void parameters_data();
    void parameters();
    void blockRoundTrip_data();
    void blockRoundTrip();
    void errorQueueOrderAndOverflow();
    void statusBits_data();
    void statusBits();
    void mavFollowsOutputAndDelay();
    void queryInterruptedAndUnterminated();
    void generatedAnswers_data();
    void generatedAnswers();
    void splitAnywhereGivesSameResult();
    void deviceClearDropsInputAndOutput();
    void hangupTextThenHungUp();
    void inputAndOutputStayBounded();
};

void TestScpiEngine::commandForms_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("error");

    const QByteArray baIdn = "VELQUIST,VELQSIM SCPI SIMULATOR,000001,1.0.0\n";
    QTest::newRow("common") << QByteArray("*IDN?") << baIdn << 0;
    QTest::newRow("common lower case") << QByteArray("*idn?") << baIdn << 0;
    QTest::newRow("white space around, NUL and CR") << QByteArray(" \t*IDN?\0\r", 9) << baIdn << 0;
    QTest::newRow("long form") << QByteArray("SYSTEM:VERSION?") << QByteArray("1999.0\n") << 0;
    QTest::newRow("short form mixed case") << QByteArray(":sYsT:vErS?") << QByteArray("1999.0\n") << 0;
    QTest::newRow("neither short nor long") << QByteArray("SYSTE:VERS?") << QByteArray() << -113;
    QTest::newRow("optional node given") << QByteArray("SYST:ERR:NEXT?") << QByteArray("0,\"No error\"\n") << 0;
    QTest::newRow("relative to previous node") << QByteArray("SYST:ERR?;VERS?")
                                               << QByteArray("0,\"No error\";1999.0\n") << 0;
    QTest::newRow("common keeps the path") << QByteArray("SYST:VERS?;*OPC?;VERS?")
                                           << QByteArray("1999.0;1;1999.0\n") << 0;
    QTest::newRow("colon resets the path") << QByteArray("SYST:ERR?;:SYST:VERS?")
                                           << QByteArray("0,\"No error\";1999.0\n") << 0;
    QTest::newRow("relative header not under path") << QByteArray("SYST:VERS?;SYST:VERS?")
                                                    << QByteArray("1999.0\n") << -113;
    QTest::newRow("all optional nodes") << QByteArray("SOUR:VOLT:LEV:IMM:AMPL 3;:VOLT?")
                                        << QByteArray("+3.00000000E+00\n") << 0;
    QTest::newRow("set then query in one message") << QByteArray("VOLT 2;VOLT?")
                                                   << QByteArray("+2.00000000E+00\n") << 0;
    QTest::newRow("undefined header") << QByteArray("FOO:BAR") << QByteArray() << -113;
    QTest::newRow("space inside common header") << QByteArray("*C LS") << QByteArray() << -113;
    QTest::newRow("error does not stop the message") << QByteArray("BOGUS;*OPC?") << QByteArray("1\n") << -113;
    QTest::newRow("query after *IDN?") << QByteArray("*IDN?;*OPC?") << baIdn << -440;
    QTest::newRow("go to local and remote") << QByteArray("&GTL\0;&GTR;*OPC?", 16) << QByteArray("1\n") << 0;
    QTest::newRow("header separator") << QByteArray("VOLT,5") << QByteArray() << -111;
    QTest::newRow("empty units") << QByteArray(";;*OPC?;") << QByteArray("1\n") << 0;
}

void TestScpiEngine::commandForms()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(int, error);
    CDevice& dev = NewDevice();
    dev.Write(Bytes(message + "\n"), false);
    if (!answer.isEmpty())
        QCOMPARE(TakeResponse(dev), answer);
    else
        QCOMPARE(dev.HasPendingOutput(), false);
    QCOMPARE(FirstErrorCode(dev), error);
}

void TestScpiEngine::parameters_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("error");

    QTest::newRow("exponent") << QByteArray("VOLT 1.5E+1;VOLT?") << QByteArray("+1.50000000E+01") << 0;
    QTest::newRow("spaced exponent") << QByteArray("VOLT 25 e -1;VOLT?") << QByteArray("+2.50000000E+00") << 0;
    QTest::newRow("milli suffix") << QByteArray("VOLT 250 mV;VOLT?") << QByteArray("+2.50000000E-01") << 0;
    QTest::newRow("suffix and exponent") << QByteArray("VOLT -2.5e-1V;VOLT?") << QByteArray("-2.50000000E-01") << 0;
    QTest::newRow("MA is mega, too big") << QByteArray("VOLT 1MAV") << QByteArray() << -222;
    QTest::newRow("MAX") << QByteArray("VOLT MAX;VOLT?") << QByteArray("+1.00000000E+02") << 0;
    QTest::newRow("out of range") << QByteArray("VOLT 1 kV") << QByteArray() << -222;
    QTest::newRow("wrong unit") << QByteArray("VOLT 5 A") << QByteArray() << -131;
    QTest::newRow("unknown character data") << QByteArray("VOLT ABC") << QByteArray() << -224;
    QTest::newRow("string for a number") << QByteArray("VOLT 'x'") << QByteArray() << -104;
    QTest::newRow("missing") << QByteArray("VOLT") << QByteArray() << -109;
    QTest::newRow("one too many") << QByteArray("VOLT 1,2") << QByteArray() << -108;
    QTest::newRow("exponent too large") << QByteArray("VOLT 1e999") << QByteArray() << -123;
    QTest::newRow("bad number") << QByteArray("VOLT 1.2.3") << QByteArray() << -121;
    QTest::newRow("hex integer") << QByteArray("*ESE #H24;*ESE?") << QByteArray("36") << 0;
    QTest::newRow("integer out of range") << QByteArray("*ESE 256") << QByteArray() << -222;
    QTest::newRow("suffix on a count") << QByteArray("*ESE 3V") << QByteArray() << -138;
    QTest::newRow("doubled single quote") << QByteArray("DISP:TEXT 'it''s';:DISP:TEXT?")
                                          << QByteArray("\"it's\"") << 0;
    QTest::newRow("doubled double quote") << QByteArray("DISP:TEXT \"say \"\"hi\"\"\";:DISP:TEXT?")
                                          << QByteArray("\"say \"\"hi\"\"\"") << 0;
    QTest::newRow("? ; , inside a string") << QByteArray("DISP:TEXT 'a?b;c,d';:DISP:TEXT?")
                                           << QByteArray("\"a?b;c,d\"") << 0;
    QTest::newRow("unterminated string") << QByteArray("DISP:TEXT 'abc") << QByteArray() << -151;
    QTest::newRow("string with LF ends the message") << QByteArray("DISP:TEXT 'a\n*OPC?")
                                                     << QByteArray("1") << -151;
}

void TestScpiEngine::parameters()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(int, error);
    CDevice& dev = NewDevice();
    dev.Write(Bytes(message + "\n"), false);
    if (!answer.isEmpty())
        QCOMPARE(TakeResponse(dev), answer + "\n");
    QCOMPARE(FirstErrorCode(dev), error);
}

void TestScpiEngine::blockRoundTrip_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("uploadForm");
    QTest::addColumn<bool>("endFraming");

    QByteArray baRamp;
    for (int i = 0; i < 300; ++i)
        baRamp.append(static_cast<char>(i & 0xff));
    const QByteArray baTricky("\0\n'\";#15\n", 10);
    for (bool bEnd : {false, true}) {
        const char* pszFraming = bEnd ? "END" : "LF";
        QTest::addRow("empty, %s", pszFraming) << QByteArray() << false << bEnd;
        QTest::addRow("ramp with LF and NUL, %s", pszFraming) << baRamp << false << bEnd;
        QTest::addRow("quotes and LF, %s", pszFraming) << baTricky << false << bEnd;
        QTest::addRow("upload form, %s", pszFraming) << baTricky << true << bEnd;
        QTest::addRow("upload form ramp, %s", pszFraming) << baRamp << true << bEnd;
    }
}

void TestScpiEngine::blockRoundTrip()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, uploadForm);
    QFETCH(bool, endFraming);
    CDevice& dev = NewDevice(endFraming ? CDevice::EFraming::EndFlag : CDevice::EFraming::Stream);
    const QByteArray baHeader = "#" + QByteArray::number(QByteArray::number(payload.size()).size())
                                + QByteArray::number(payload.size());
    const QByteArray baMessage = uploadForm ? "MMEM:DATA 'up.bin," + baHeader + payload + "'"
                                            : "MMEM:DATA 'up.bin'," + baHeader + payload;
    dev.Write(Bytes(baMessage + (endFraming ? "" : "\n")), endFraming);
    dev.Write(Bytes("MMEM:DATA? 'up.bin'\n"), endFraming);
    QCOMPARE(TakeResponse(dev), baHeader + payload + "\n");
    QCOMPARE(FirstErrorCode(dev), 0);
}

void TestScpiEngine::errorQueueOrderAndOverflow()
{
    CDevice& dev = NewDevice();
    Send(dev, "VOLT");  // -109
    Send(dev, "FOO");   // -113
    QCOMPARE(Query(dev, "SYST:ERR:COUN?"), QByteArray("2\n"));
    QCOMPARE(Query(dev, "SYST:ERR?"), QByteArray("-109,\"Missing parameter\"\n"));
    QCOMPARE(Query(dev, "SYST:ERR?"), QByteArray("-113,\"Undefined header\"\n"));
    QCOMPARE(Query(dev, "SYST:ERR?"), QByteArray("0,\"No error\"\n"));

    for (int i = 0; i < 25; ++i)
        Send(dev, "FOO");
    for (int i = 0; i < 19; ++i)
        QCOMPARE(FirstErrorCode(dev), -113);
    QCOMPARE(Query(dev, "SYST:ERR?"), QByteArray("-350,\"Queue overflow\"\n"));
    QCOMPARE(FirstErrorCode(dev), 0);

    Send(dev, "FOO");
    Send(dev, "*CLS");
    QCOMPARE(FirstErrorCode(dev), 0);
}

void TestScpiEngine::statusBits_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("esr");
    QTest::addColumn<int>("stb");

    QTest::newRow("nothing") << QByteArray("*OPC?") << QByteArray("0") << 0;
    QTest::newRow("*OPC sets bit 0") << QByteArray("*OPC") << QByteArray("1") << 0;
    QTest::newRow("command error, EAV") << QByteArray("FOO") << QByteArray("32") << 0x04;
    QTest::newRow("execution error") << QByteArray("VOLT 1e6") << QByteArray("16") << 0x04;
    QTest::newRow("query error") << QByteArray("*IDN?;*OPC?") << QByteArray("4") << 0x04;
    QTest::newRow("ESB with ESE") << QByteArray("*ESE 32;FOO") << QByteArray("32") << 0x24;
    QTest::newRow("MSS with SRE") << QByteArray("*ESE 32;*SRE 32;FOO") << QByteArray("32") << 0x64;
    QTest::newRow("SRE bit 6 ignored") << QByteArray("*SRE 64;FOO") << QByteArray("32") << 0x04;
}

void TestScpiEngine::statusBits()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, esr);
    QFETCH(int, stb);
    CDevice& dev = NewDevice();
    dev.Write(Bytes(setup + "\n"), false);
    while (dev.HasPendingOutput())
        TakeResponse(dev);
    QCOMPARE(int(dev.StatusByte()), stb);
    QCOMPARE(Query(dev, "*STB?"), QByteArray::number(stb) + "\n");
    // *ESR? reads and clears; ESB goes with it.
    QCOMPARE(Query(dev, "*ESR?"), esr + "\n");
    QCOMPARE(Query(dev, "*ESR?"), QByteArray("0\n"));
    QCOMPARE(int(dev.StatusByte()) & 0x20, 0);
}

void TestScpiEngine::mavFollowsOutputAndDelay()
{
    CDevice& dev = NewDevice();
    QCOMPARE(int(dev.StatusByte()) & 0x10, 0);
    dev.Write(Bytes("*OPC?\n"), false);
    QCOMPARE(int(dev.StatusByte()) & 0x10, 0x10);
    QCOMPARE(Query(dev, "*STB?"), QByteArray("1\n")); // queued: *OPC? answer first
    QCOMPARE(TakeResponse(dev), QByteArray("16\n")); // MAV was set while "1" waited
    QCOMPARE(int(dev.StatusByte()) & 0x10, 0);

    // A delayed answer is not available (no MAV) until its time has come. Timed from before
    // the write, so that a loaded machine, however slow, cannot make the delay look short.
    QElapsedTimer timer;
    timer.start();
    dev.Write(Bytes("TEST:DEL 400;*OPC?\n"), false);
    QCOMPARE(int(dev.StatusByte()) & 0x10, 0);
    QCOMPARE(dev.HasPendingOutput(), true);
    QCOMPARE(dev.Read(10, std::chrono::milliseconds(20)).eStatus, CDevice::EReadStatus::TimedOut);
    QCOMPARE(TakeResponse(dev), QByteArray("1\n"));
    // The delay applies to one answer only.
    QCOMPARE(Query(dev, "*OPC?"), QByteArray("1\n"));
    QVERIFY(timer.elapsed() >= 400);
}

void TestScpiEngine::queryInterruptedAndUnterminated()
{
    CDevice& dev = NewDevice(CDevice::EFraming::EndFlag, CDevice::EResponseMode::Interrupt);
    uint32_t uInterruptTag = 0;
    dev.SetInterruptHandler([&](uint32_t uTag) { uInterruptTag = uTag; });
    dev.Write(Bytes("*IDN?"), true, 10);
    dev.Write(Bytes("*OPC?"), true, 12);
    CDevice::SReadResult r = dev.Read(100, kWait);
    QCOMPARE(QByteArray::fromStdString(r.strData), QByteArray("1\n"));
    QCOMPARE(r.uTag, 12u);
    QVERIFY(r.bEnd);
    QCOMPARE(uInterruptTag, 12u);
    dev.Write(Bytes("SYST:ERR?"), true);
    QCOMPARE(TakeResponse(dev), QByteArray("-410,\"Query INTERRUPTED\"\n"));

    // Addressed to talk with nothing queued: -420, then a time-out.
    dev.Write(Bytes("*CLS"), true);
    QCOMPARE(dev.Read(100, std::chrono::milliseconds(10), true).eStatus, CDevice::EReadStatus::TimedOut);
    dev.Write(Bytes("SYST:ERR?"), true);
    QCOMPARE(TakeResponse(dev), QByteArray("-420,\"Query UNTERMINATED\"\n"));
    // An answer still being delayed counts as coming: no -420.
    dev.Write(Bytes("TEST:DEL 50;*OPC?"), true);
    QCOMPARE(TakeResponse(dev), QByteArray("1\n"));
    dev.Write(Bytes("SYST:ERR?"), true);
    QCOMPARE(TakeResponse(dev), QByteArray("0,\"No error\"\n"));
}

void TestScpiEngine::generatedAnswers_data()
{
    QTest::addColumn<bool>("block");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("piece");
    // Pieces larger than the pattern tables the answers are copied from, as well as small ones.
    for (int nPiece : {1000, 100000}) {
        for (int nLength : {0, 1, 62, 63, 256, 70000, 200003}) {
            QTest::addRow("text %d in pieces of %d", nLength, nPiece) << false << nLength << nPiece;
            QTest::addRow("block %d in pieces of %d", nLength, nPiece) << true << nLength << nPiece;
        }
    }
}

void TestScpiEngine::generatedAnswers()
{
    QFETCH(bool, block);
    QFETCH(int, length);
    QFETCH(int, piece);
    CDevice& dev = NewDevice();
    dev.Write(Bytes((block ? "TEST:BLOC? " : "test:text? ") + QByteArray::number(length) + "\n"), false);
    QByteArray baAll;
    int nEnds = 0;
    for (;;) {
        CDevice::SReadResult r = dev.Read(static_cast<size_t>(piece), kWait);
        QCOMPARE(r.eStatus, CDevice::EReadStatus::Data);
        QVERIFY(r.strData.size() <= static_cast<size_t>(piece));
        baAll.append(r.strData.data(), static_cast<int>(r.strData.size()));
        nEnds += r.bEnd ? 1 : 0;
        if (r.bEnd)
            break;
    }
    QCOMPARE(nEnds, 1);
    QVERIFY(baAll.endsWith('\n'));
    baAll.chop(1);
    if (block) {
        const QByteArray baHeader = "#" + QByteArray::number(QByteArray::number(length).size())
                                    + QByteArray::number(length);
        QVERIFY(baAll.startsWith(baHeader));
        baAll.remove(0, baHeader.size());
        QCOMPARE(baAll.size(), length);
        for (int i = 0; i < length; ++i)
            QCOMPARE(static_cast<unsigned char>(baAll[i]), static_cast<unsigned char>(i % 256));
    } else {
        static const QByteArray baPattern = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        QCOMPARE(baAll.size(), length);
        for (int i = 0; i < length; ++i)
            QCOMPARE(baAll[i], baPattern[i % baPattern.size()]);
    }
}

void TestScpiEngine::splitAnywhereGivesSameResult()
{
    const QByteArray baMessages = QByteArray("MMEM:DATA 'p',#14\n\0;\n;*OPC?\n*IDN?\r\nVOLT 3;VOLT?\nMMEM:DATA? 'p'\n", 63);
    CDevice& whole = NewDevice();
    whole.Write(Bytes(baMessages), false);
    QByteArray baExpected;
    while (whole.HasPendingOutput())
        baExpected += TakeResponse(whole);
    static const char kExpected[] = "1\nVELQUIST,VELQSIM SCPI SIMULATOR,000001,1.0.0\n+3.00000000E+00\n#14\n\0;\n\n";
    QCOMPARE(baExpected, QByteArray(kExpected, sizeof kExpected - 1));

    CDevice& bytewise = NewDevice();
    for (char c : baMessages)
        bytewise.Write(&c, 1, false);
    QByteArray baGot;
    while (bytewise.HasPendingOutput())
        baGot += TakeResponse(bytewise);
    QCOMPARE(baGot, baExpected);
}

void TestScpiEngine::deviceClearDropsInputAndOutput()
{
    CDevice& dev = NewDevice();
    dev.Write(Bytes("*OPC?\nFOO\n*ID"), false);
    dev.Clear();
    QCOMPARE(dev.HasPendingOutput(), false);
    // The partial "*ID" is gone: the next message parses on its own.
    Send(dev, "N?");
    QCOMPARE(dev.HasPendingOutput(), false);
    QCOMPARE(FirstErrorCode(dev), -113); // from FOO: the error queue survives
    QCOMPARE(FirstErrorCode(dev), -113); // from "N?"
}

void TestScpiEngine::hangupTextThenHungUp()
{
    CDevice& dev = NewDevice();
    dev.Write(Bytes("TEST:HANG 5\n*OPC?\n"), false);
    CDevice::SReadResult r = dev.Read(100, kWait);
    QCOMPARE(r.eStatus, CDevice::EReadStatus::Data);
    QCOMPARE(r.strData.size(), size_t(5));
    QVERIFY(!r.bEnd);
    QCOMPARE(dev.Read(100, kWait).eStatus, CDevice::EReadStatus::HungUp);
    QVERIFY(dev.HangupRequested());
}

void TestScpiEngine::inputAndOutputStayBounded()
{
    CDevice& dev = NewDevice();
    // A message that never ends is dropped with -363 once past the input
    // limit; the exchange carries on with the next message.
    const std::string strChunk(1024 * 1024, 'A');
    for (int i = 0; i < 130; ++i)
        dev.Write(strChunk, false);
    QCOMPARE(Query(dev, "\n*OPC?"), QByteArray("1\n"));
    QCOMPARE(FirstErrorCode(dev), -363);
    QCOMPARE(FirstErrorCode(dev), 0);

    // A peer that never reads makes the device report a backlog.
    for (int i = 0; i < 1100; ++i)
        Send(dev, "*OPC?");
    QVERIFY(dev.OutputBacklogged());
    for (int i = 0; i < 100; ++i)
        QCOMPARE(TakeResponse(dev), QByteArray("1\n"));
    QVERIFY(!dev.OutputBacklogged());

    // One short message asking for the same stored file again and again: the
    // answer stops before it holds more than the mass memory, and says so.
    dev.Clear();
    const uint64_t uFile = 64ull * 1024 * 1024;
    QVERIFY(m_pState->StoreFile("f", std::string(uFile, 'x')));
    Send(dev, "MMEM:DATA? 'f';DATA? 'f';DATA? 'f';DATA? 'f';DATA? 'f';DATA? 'f'");
    uint64_t uAnswer = 0;
    for (;;) {
        const CDevice::SReadResult r = dev.Read(8 * 1024 * 1024, kWait);
        QCOMPARE(r.eStatus, CDevice::EReadStatus::Data);
        uAnswer += r.strData.size();
        if (r.bEnd)
            break;
    }
    const uint64_t uBlock = std::string("#8").size() + 8 + uFile;
    QCOMPARE(uAnswer, 4 * uBlock + 3 + 1);
    QCOMPARE(FirstErrorCode(dev), -225);
    QCOMPARE(FirstErrorCode(dev), -225);
    QCOMPARE(FirstErrorCode(dev), 0);
}

QTEST_GUILESS_MAIN(TestScpiEngine)
#include "tst_scpiengine.moc"
