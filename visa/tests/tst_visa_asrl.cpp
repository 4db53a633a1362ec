// The serial transport through the exported C API, against a pseudo-terminal whose master side the
// test drives as the instrument.

#include "visa.h"

#include <QtTest>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// The instrument's end of a pty pair; the session opens the slave by its path.
class pty_peer {
public:
    pty_peer()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_path = ::ptsname(m_master);
        // Never blocks the test: a flood must stop once nobody reads the other end.
        if (m_master >= 0)
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        termios t{};
        if (m_master >= 0 && ::tcgetattr(m_master, &t) == 0) {
            cfmakeraw(&t);
            ::tcsetattr(m_master, TCSANOW, &t);
        }
    }
    ~pty_peer() { hang_up(); }
    bool ok() const { return m_master >= 0 && !m_path.isEmpty(); }
    QByteArray resource() const { return "ASRL" + m_path + "::INSTR"; }
    void send(const QByteArray &data) const { QCOMPARE(::write(m_master, data.constData(), data.size()), data.size()); }
    // What the session wrote, gathered until want bytes came or a quiet second passed.
    QByteArray receive(int want) const
    {
        QByteArray got;
        while (got.size() < want) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 1000) != 1)
                break;
            char buf[256];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, static_cast<int>(n));
        }
        return got;
    }
    // Writes what the pty takes within 50 ms, for a sender that must not block once nobody reads.
    void offer(const QByteArray &data) const
    {
        pollfd p{m_master, POLLOUT, 0};
        if (::poll(&p, 1, 50) == 1)
            (void)::write(m_master, data.constData(), data.size());
    }
    void hang_up()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QByteArray m_path;
};

struct session {
    ViSession rm = VI_NULL;
    ViSession vi = VI_NULL;
    ViStatus open_status = VI_ERROR_SYSTEM_ERROR;
    explicit session(const QByteArray &name)
    {
        viOpenDefaultRM(&rm);
        open_status = viOpen(rm, name.constData(), VI_NULL, 2000, &vi);
    }
    ~session() { viClose(rm); }
};

} // namespace

class TestVisaAsrl : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readEnds_data();
    void readEnds();
    void endOut_data();
    void endOut();
    void defaultsReadBack();
    void setAttribute_data();
    void setAttribute();
    void xonXoffRefusesFlowBytesInData();
    void clearFlushesInput();
    void statusByteAndTrigger_data();
    void statusByteAndTrigger();
    void openFails_data();
    void openFails();
    void secondOpenIsBusy();
    void hangUpMidReadEnds();
    void endlessDataStopsAtCount();

private:
    std::unique_ptr<pty_peer> m_peer;
};

void TestVisaAsrl::init()
{
    m_peer = std::make_unique<pty_peer>();
    if (!m_peer->ok())
        QFAIL("no pseudo-terminal");
}

void TestVisaAsrl::readEnds_data()
{
    QTest::addColumn<int>("endIn");
    QTest::addColumn<bool>("termcharEn");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("cnt");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second"); // the next read, with the same settings

    const int ok = VI_SUCCESS;
    QTest::newRow("termchar-is-end") << 2 << false << QByteArray("ABC\nDEF\n") << 64 << ok << QByteArray("ABC\n")
                                     << QByteArray("DEF\n");
    QTest::newRow("block-holding-lf") << 2 << false << QByteArray("#16a\nb\nc\n\n1\n") << 64 << ok
                                      << QByteArray("#16a\nb\nc\n\n") << QByteArray("1\n");
    QTest::newRow("full-buffer") << 2 << false << QByteArray("ABCDEF\n") << 3 << int(VI_SUCCESS_MAX_CNT)
                                 << QByteArray("ABC") << QByteArray("DEF");
    QTest::newRow("none-with-termchar") << 0 << true << QByteArray("AB\nCD\n") << 64 << int(VI_SUCCESS_TERM_CHAR)
                                        << QByteArray("AB\n") << QByteArray("CD\n");
    QTest::newRow("none-counts-only") << 0 << false << QByteArray("AB\nCD\n") << 3 << int(VI_SUCCESS_MAX_CNT)
                                      << QByteArray("AB\n") << QByteArray("CD\n");
    QTest::newRow("last-bit") << 1 << false << QByteArray("AB\xC3xy\xE1") << 64 << ok << QByteArray("AB\xC3")
                              << QByteArray("xy\xE1");
}

void TestVisaAsrl::readEnds()
{
    QFETCH(int, endIn);
    QFETCH(bool, termcharEn);
    QFETCH(QByteArray, sent);
    QFETCH(int, cnt);
    QFETCH(int, status);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_ASRL_END_IN, endIn), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TERMCHAR_EN, termcharEn ? VI_TRUE : VI_FALSE), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, 10000), VI_SUCCESS);
    m_peer->send(sent);
    QByteArray buf(cnt, '\0');
    ViUInt32 got = 0;
    QCOMPARE(viRead(s.vi, reinterpret_cast<ViBuf>(buf.data()), cnt, &got), ViStatus(status));
    QCOMPARE(buf.left(int(got)), first);
    // The remainder must not be lost: it is the start of the next message.
    got = 0;
    const ViStatus st = viRead(s.vi, reinterpret_cast<ViBuf>(buf.data()), cnt, &got);
    QVERIFY2(st >= VI_SUCCESS, qPrintable(QString::number(st, 16)));
    QCOMPARE(buf.left(int(got)), second);
}

void TestVisaAsrl::endOut_data()
{
    QTest::addColumn<int>("endOut");
    QTest::addColumn<bool>("sendEnd");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("onWire");

    QTest::newRow("none") << 0 << true << QByteArray("*IDN?\n") << QByteArray("*IDN?\n");
    QTest::newRow("termchar-appended") << 2 << true << QByteArray("*IDN?") << QByteArray("*IDN?\n");
    QTest::newRow("termchar-without-end") << 2 << false << QByteArray("*IDN?") << QByteArray("*IDN?");
    QTest::newRow("last-bit") << 1 << true << QByteArray("AB") << QByteArray("A\xC2");
    QTest::newRow("break-after-data") << 3 << true << QByteArray("AB\n") << QByteArray("AB\n");
}

void TestVisaAsrl::endOut()
{
    QFETCH(int, endOut);
    QFETCH(bool, sendEnd);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, onWire);
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_ASRL_END_OUT, endOut), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_SEND_END_EN, sendEnd ? VI_TRUE : VI_FALSE), VI_SUCCESS);
    ViUInt32 done = 0;
    QCOMPARE(viWrite(s.vi, reinterpret_cast<ViConstBuf>(written.constData()), written.size(), &done), VI_SUCCESS);
    QCOMPARE(int(done), written.size());
    QCOMPARE(m_peer->receive(onWire.size() + 1), onWire);
}

void TestVisaAsrl::defaultsReadBack()
{
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    ViUInt32 baud = 0;
    ViUInt16 bits = 0, parity = 9, stop = 0, flow = 9, endIn = 0, endOut = 9, intf = 0;
    ViUInt8 termchar = 0;
    ViBoolean termEn = VI_TRUE;
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_BAUD, &baud), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_DATA_BITS, &bits), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_PARITY, &parity), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_STOP_BITS, &stop), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_FLOW_CNTRL, &flow), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_END_IN, &endIn), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_END_OUT, &endOut), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TERMCHAR, &termchar), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TERMCHAR_EN, &termEn), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_INTF_TYPE, &intf), VI_SUCCESS);
    QCOMPARE(baud, ViUInt32(9600));
    QCOMPARE(bits, ViUInt16(8));
    QCOMPARE(parity, ViUInt16(VI_ASRL_PAR_NONE));
    QCOMPARE(stop, ViUInt16(VI_ASRL_STOP_ONE));
    QCOMPARE(flow, ViUInt16(VI_ASRL_FLOW_NONE));
    QCOMPARE(endIn, ViUInt16(VI_ASRL_END_TERMCHAR));
    QCOMPARE(endOut, ViUInt16(VI_ASRL_END_NONE));
    QCOMPARE(termchar, ViUInt8('\n'));
    QCOMPARE(termEn, ViBoolean(VI_FALSE));
    QCOMPARE(intf, ViUInt16(VI_INTF_ASRL));
    ViInt16 cts = 0;
    // A pty has no modem lines: the state is unknown, not made up.
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_CTS_STATE, &cts), VI_SUCCESS);
    QCOMPARE(cts, ViInt16(VI_STATE_UNKNOWN));
}

void TestVisaAsrl::setAttribute_data()
{
    QTest::addColumn<uint>("attr");
    QTest::addColumn<qulonglong>("value");
    QTest::addColumn<int>("status");
    QTest::addColumn<qulonglong>("readBack"); // what the attribute holds afterwards

    const int ok = VI_SUCCESS, refused = VI_ERROR_NSUP_ATTR_STATE;
    QTest::newRow("baud-standard") << uint(VI_ATTR_ASRL_BAUD) << 115200ull << ok << 115200ull;
    QTest::newRow("baud-huge") << uint(VI_ATTR_ASRL_BAUD) << 4000000000ull << refused << 9600ull;
    QTest::newRow("baud-zero") << uint(VI_ATTR_ASRL_BAUD) << 0ull << refused << 9600ull;
    QTest::newRow("data-bits-9") << uint(VI_ATTR_ASRL_DATA_BITS) << 9ull << refused << 8ull;
    // The pty is always eight bits without parity and refuses anything else.
    QTest::newRow("data-bits-7-on-pty") << uint(VI_ATTR_ASRL_DATA_BITS) << 7ull << refused << 8ull;
    QTest::newRow("parity-even-on-pty") << uint(VI_ATTR_ASRL_PARITY) << 2ull << refused << 0ull;
    QTest::newRow("parity-5") << uint(VI_ATTR_ASRL_PARITY) << 5ull << refused << 0ull;
    QTest::newRow("stop-two") << uint(VI_ATTR_ASRL_STOP_BITS) << 20ull << ok << 20ull;
    QTest::newRow("stop-one-half-needs-5-bits") << uint(VI_ATTR_ASRL_STOP_BITS) << 15ull << refused << 10ull;
    QTest::newRow("flow-xon") << uint(VI_ATTR_ASRL_FLOW_CNTRL) << 1ull << ok << 1ull;
    QTest::newRow("flow-rts-cts") << uint(VI_ATTR_ASRL_FLOW_CNTRL) << 2ull << ok << 2ull;
    QTest::newRow("flow-dtr-dsr") << uint(VI_ATTR_ASRL_FLOW_CNTRL) << 4ull << refused << 0ull;
    QTest::newRow("end-in-break") << uint(VI_ATTR_ASRL_END_IN) << 3ull << refused << 2ull;
    QTest::newRow("end-out-break") << uint(VI_ATTR_ASRL_END_OUT) << 3ull << ok << 3ull;
    QTest::newRow("end-out-4") << uint(VI_ATTR_ASRL_END_OUT) << 4ull << refused << 0ull;
    QTest::newRow("xon-equals-xoff") << uint(VI_ATTR_ASRL_XON_CHAR) << 0x13ull << refused << 0x11ull;
    QTest::newRow("avail-read-only") << uint(VI_ATTR_ASRL_AVAIL_NUM) << 5ull << int(VI_ERROR_ATTR_READONLY) << 0ull;
    QTest::newRow("break-len-0") << uint(VI_ATTR_ASRL_BREAK_LEN) << 0ull << refused << 250ull;
}

void TestVisaAsrl::setAttribute()
{
    QFETCH(uint, attr);
    QFETCH(qulonglong, value);
    QFETCH(int, status);
    QFETCH(qulonglong, readBack);
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, attr, value), ViStatus(status));
    // Read into a wide zeroed buffer: the attribute's own width decides how much is written.
    qulonglong held = 0;
    QCOMPARE(viGetAttribute(s.vi, attr, &held), VI_SUCCESS);
    if (attr == VI_ATTR_ASRL_XON_CHAR)
        held &= 0xFF;
    else if (attr != VI_ATTR_ASRL_BAUD && attr != VI_ATTR_ASRL_AVAIL_NUM)
        held &= 0xFFFF;
    QCOMPARE(held, readBack);
}

void TestVisaAsrl::xonXoffRefusesFlowBytesInData()
{
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_XON_XOFF), VI_SUCCESS);
    const QByteArray block("#13a\x13z\n");
    ViUInt32 done = 99;
    QCOMPARE(viWrite(s.vi, reinterpret_cast<ViConstBuf>(block.constData()), block.size(), &done), VI_ERROR_INV_SETUP);
    QCOMPARE(done, ViUInt32(0));
    QCOMPARE(viWrite(s.vi, reinterpret_cast<ViConstBuf>("*RST\n"), 5, &done), VI_SUCCESS);
    QCOMPARE(m_peer->receive(6), QByteArray("*RST\n"));
}

void TestVisaAsrl::clearFlushesInput()
{
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    m_peer->send("stale answer\n");
    ViUInt32 avail = 0;
    for (int i = 0; i < 200 && avail == 0; ++i) {
        QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_AVAIL_NUM, &avail), VI_SUCCESS);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    QVERIFY(avail > 0);
    QCOMPARE(viClear(s.vi), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_ASRL_AVAIL_NUM, &avail), VI_SUCCESS);
    QCOMPARE(avail, ViUInt32(0));
    m_peer->send("fresh\n");
    char buf[64];
    ViUInt32 got = 0;
    QCOMPARE(viRead(s.vi, reinterpret_cast<ViBuf>(buf), sizeof buf, &got), VI_SUCCESS);
    QCOMPARE(QByteArray(buf, int(got)), QByteArray("fresh\n"));
}

void TestVisaAsrl::statusByteAndTrigger_data()
{
    QTest::addColumn<int>("ioProt");
    QTest::addColumn<bool>("trigger");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("onWire");
    QTest::newRow("stb-normal") << int(VI_PROT_NORMAL) << false << int(VI_ERROR_NSUP_OPER) << QByteArray();
    QTest::newRow("trg-normal") << int(VI_PROT_NORMAL) << true << int(VI_ERROR_NSUP_OPER) << QByteArray();
    QTest::newRow("stb-488-strings") << int(VI_PROT_4882_STRS) << false << int(VI_SUCCESS) << QByteArray("*STB?\n");
    QTest::newRow("trg-488-strings") << int(VI_PROT_4882_STRS) << true << int(VI_SUCCESS) << QByteArray("*TRG\n");
}

void TestVisaAsrl::statusByteAndTrigger()
{
    QFETCH(int, ioProt);
    QFETCH(bool, trigger);
    QFETCH(int, status);
    QFETCH(QByteArray, onWire);
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_IO_PROT, ioProt), VI_SUCCESS);
    m_peer->send("80\n");
    ViUInt16 stb = 0;
    QCOMPARE(trigger ? viAssertTrigger(s.vi, VI_TRIG_PROT_DEFAULT) : viReadSTB(s.vi, &stb), ViStatus(status));
    // Nothing at all goes out when the operation is not supported.
    QCOMPARE(m_peer->receive(qMax(1, int(onWire.size()))), onWire);
    if (!trigger && status == VI_SUCCESS)
        QCOMPARE(stb, ViUInt16(80));
}

void TestVisaAsrl::openFails_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("status");
    QTest::newRow("missing-port") << QByteArray("ASRL/dev/velq-no-such-tty::INSTR") << int(VI_ERROR_RSRC_NFOUND);
    QTest::newRow("not-a-terminal") << QByteArray("ASRL/dev/null::INSTR") << int(VI_ERROR_RSRC_NFOUND);
    QTest::newRow("board-0") << QByteArray("ASRL0::INSTR") << int(VI_ERROR_RSRC_NFOUND);
}

void TestVisaAsrl::openFails()
{
    QFETCH(QByteArray, name);
    QFETCH(int, status);
    session s(name);
    QCOMPARE(s.open_status, ViStatus(status));
    QCOMPARE(s.vi, ViSession(VI_NULL));
}

void TestVisaAsrl::secondOpenIsBusy()
{
    session first(m_peer->resource());
    QCOMPARE(first.open_status, VI_SUCCESS);
    session second(m_peer->resource());
    QCOMPARE(second.open_status, VI_ERROR_RSRC_BUSY);
    char desc[256] = {0};
    viStatusDesc(second.rm, second.open_status, desc);
    QVERIFY2(QByteArray(desc).contains("in use"), desc);
}

void TestVisaAsrl::hangUpMidReadEnds()
{
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, 20000), VI_SUCCESS);
    m_peer->send("part");
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        m_peer->hang_up();
    });
    char buf[64];
    ViUInt32 got = 0;
    const ViStatus st = viRead(s.vi, reinterpret_cast<ViBuf>(buf), sizeof buf, &got);
    unplug.join();
    QCOMPARE(st, VI_ERROR_CONN_LOST);
    QCOMPARE(QByteArray(buf, int(got)), QByteArray("part"));
}

void TestVisaAsrl::endlessDataStopsAtCount()
{
    session s(m_peer->resource());
    QCOMPARE(s.open_status, VI_SUCCESS);
    std::atomic<bool> stop{false};
    // Never a termination character: the read must end at its count, not grow without bound.
    std::thread flood([this, &stop] {
        const QByteArray chunk(512, 'x');
        while (!stop.load())
            m_peer->offer(chunk);
    });
    QByteArray buf(100000, '\0');
    ViUInt32 got = 0;
    const ViStatus st = viRead(s.vi, reinterpret_cast<ViBuf>(buf.data()), buf.size(), &got);
    stop.store(true);
    viClose(s.vi);
    flood.join();
    QVERIFY2(st == VI_SUCCESS_MAX_CNT || st == VI_ERROR_TMO, qPrintable(QString::number(st, 16)));
    QVERIFY(got <= ViUInt32(buf.size()));
}

QTEST_GUILESS_MAIN(TestVisaAsrl)
#include "tst_visa_asrl.moc"
