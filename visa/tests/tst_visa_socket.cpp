// The SOCKET transport and the session table, through the exported C API, against in-process peers
// on loopback that misbehave on purpose.

#include "visa.h"
#include "loopback_listener.h"

#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kGenerousMs = 20000;

// A one-connection TCP server on 127.0.0.1, port 0. The script runs on its own thread with the
// accepted socket; the peer closes the connection when the script returns, unless it waits for
// the test to end.
class fake_peer {
public:
    using script = std::function<void(fake_peer &, int fd)>;

    explicit fake_peer(script s)
    {
        m_listen = ListenOnLoopback(1, &m_port);
        m_thread = std::thread([this, s] {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, kGenerousMs) != 1)
                return;
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                return;
            s(*this, fd);
            ::close(fd);
        });
    }
    ~fake_peer()
    {
        finish();
        m_thread.join();
        ::close(m_listen);
    }

    QByteArray resource() const { return "TCPIP0::127.0.0.1::" + QByteArray::number(m_port) + "::SOCKET"; }
    void finish() { m_done.store(true); }
    // Keeps the connection open, silent, until the test is over.
    void hold() const
    {
        while (!m_done.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    static void send_all(int fd, const QByteArray &data)
    {
        int off = 0;
        while (off < data.size()) {
            const ssize_t n = ::send(fd, data.constData() + off, size_t(data.size() - off), MSG_NOSIGNAL);
            if (n <= 0)
                return;
            off += int(n);
        }
    }
    // Reads until the line feed; empty on hang-up.
    static QByteArray read_line(int fd)
    {
        QByteArray line;
        char c;
        while (::recv(fd, &c, 1, 0) == 1) {
            line += c;
            if (c == '\n')
                break;
        }
        return line;
    }

private:
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

struct read_step {
    ViStatus status;
    QByteArray data;
};

class session {
public:
    session() { QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS); }
    ~session() { viClose(rm); }
    ViStatus open(const QByteArray &name, ViUInt32 tmo = 0) { return viOpen(rm, name.constData(), VI_NULL, tmo, &vi); }
    ViStatus read(QByteArray *out, ViUInt32 cnt)
    {
        out->resize(int(cnt));
        ViUInt32 got = 0xDEAD;
        const ViStatus st = viRead(vi, reinterpret_cast<ViBuf>(out->data()), cnt, &got);
        out->resize(int(got));
        return st;
    }
    ViStatus write(const QByteArray &data, ViUInt32 *sent = nullptr)
    {
        ViUInt32 n = 0;
        const ViStatus st = viWrite(vi, reinterpret_cast<ViConstBuf>(data.constData()), ViUInt32(data.size()), &n);
        if (sent)
            *sent = n;
        return st;
    }
    ViSession rm = VI_NULL;
    ViSession vi = VI_NULL;
};

} // namespace

Q_DECLARE_METATYPE(read_step)

class TestVisaSocket : public QObject {
    Q_OBJECT

private slots:
    void readEndsAsSpecified_data();
    void readEndsAsSpecified();
    void timeoutKeepsPartialCount_data();
    void timeoutKeepsPartialCount();
    void stalledBlockHeaderTimesOut();
    void peerHangsUpMidAnswer();
    void refusedConnectionFailsOpen();
    void opensByHostName();
    void clearDiscardsPendingInput();
    void largeWriteArrivesWhole();
    void writeToClosedPeerReportsError();
    void closeWakesBlockedCall_data();
    void closeWakesBlockedCall();
    void invalidHandles_data();
    void invalidHandles();
    void handlesAreNotReused();
    void closingManagerClosesSessions();
    void attributes();
    void statusByteInIeee4882StringMode();
    void openStatusByName_data();
    void openStatusByName();
    void statusDescriptions();
    void causeFollowsItsFailure();
};

void TestVisaSocket::readEndsAsSpecified_data()
{
    QTest::addColumn<QList<QByteArray>>("segments");
    QTest::addColumn<int>("bufSize");
    QTest::addColumn<bool>("termcharEn");
    QTest::addColumn<QList<read_step>>("steps");

    const ViStatus term = VI_SUCCESS_TERM_CHAR;
    const ViStatus max = VI_SUCCESS_MAX_CNT;
    QTest::newRow("line") << QList<QByteArray>{"ACME,1,2\n"} << 1024 << true << QList<read_step>{{term, "ACME,1,2\n"}};

    QByteArray big(3000, 'x');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char('A' + i % 26);
    QTest::newRow("3000 bytes, 1024 buffer")
        << QList<QByteArray>{big + "\n"} << 1024 << true
        << QList<read_step>{{max, big.left(1024)}, {max, big.mid(1024, 1024)}, {term, big.mid(2048) + "\n"}};

    const QByteArray block = QByteArray("#212") + QByteArray("\n\0ab\n\n\0\0cd\ne", 12);
    QTest::newRow("binary block with LF and NUL") << QList<QByteArray>{block + "\n"} << 1024 << true
                                                  << QList<read_step>{{term, block + "\n"}};
    QTest::newRow("two answers in one segment") << QList<QByteArray>{"A\nBC\n"} << 1024 << true
                                                << QList<read_step>{{term, "A\n"}, {term, "BC\n"}};
    QList<QByteArray> bytes;
    const QByteArray split = "HEAD," + block + "\n";
    for (char c : split)
        bytes.append(QByteArray(1, c));
    QTest::newRow("block over many segments") << bytes << 1024 << true << QList<read_step>{{term, split}};
    QTest::newRow("block across reads") << QList<QByteArray>{block + "\nNEXT\n"} << 5 << true
                                        << QList<read_step>{{max, block.left(5)},
                                                            {max, block.mid(5, 5)},
                                                            {max, block.mid(10, 5)},
                                                            {term, block.mid(15) + "\n"},
                                                            {term, "NEXT\n"}};
    QTest::newRow("buffer filled exactly by the message") << QList<QByteArray>{"ABC\n"} << 4 << true
                                                          << QList<read_step>{{term, "ABC\n"}};
    QTest::newRow("terminator just past the buffer") << QList<QByteArray>{"ABC\n"} << 3 << true
                                                     << QList<read_step>{{max, "ABC"}, {term, "\n"}};
    QTest::newRow("termchar disabled") << QList<QByteArray>{"A\nB\nC"} << 4 << false
                                       << QList<read_step>{{max, "A\nB\n"}, {VI_ERROR_TMO, "C"}};
}

void TestVisaSocket::readEndsAsSpecified()
{
    QFETCH(QList<QByteArray>, segments);
    QFETCH(int, bufSize);
    QFETCH(bool, termcharEn);
    QFETCH(QList<read_step>, steps);

    fake_peer peer([segments](fake_peer &p, int fd) {
        for (const QByteArray &s : segments) {
            fake_peer::send_all(fd, s);
            if (segments.size() > 1)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        p.hold();
    });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TERMCHAR_EN, termcharEn ? VI_TRUE : VI_FALSE), VI_SUCCESS);
    // Long enough for a loaded machine; the only step that waits it out is the deliberate time-out.
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, steps.last().status == VI_ERROR_TMO ? 300 : kGenerousMs),
             VI_SUCCESS);
    for (int i = 0; i < steps.size(); ++i) {
        QByteArray got;
        const ViStatus st = s.read(&got, ViUInt32(bufSize));
        QCOMPARE(got, steps[i].data);
        QCOMPARE(st, steps[i].status);
    }
}

void TestVisaSocket::timeoutKeepsPartialCount_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<uint>("tmoMs");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("partial answer, short time-out") << QByteArray("PART") << 200u << int(VI_ERROR_TMO) << QByteArray("PART");
    // A read waits in receives bounded to a second each: a longer time-out must span them.
    QTest::newRow("partial answer, time-out past a second") << QByteArray("PART") << 1500u << int(VI_ERROR_TMO)
                                                             << QByteArray("PART");
    QTest::newRow("immediate, nothing sent") << QByteArray() << uint(VI_TMO_IMMEDIATE) << int(VI_ERROR_TMO) << QByteArray();
    // Immediate still takes what is queued; it only never waits.
    QTest::newRow("immediate, answer queued") << QByteArray("ID\n") << uint(VI_TMO_IMMEDIATE)
                                              << int(VI_SUCCESS_TERM_CHAR) << QByteArray("ID\n");
}

void TestVisaSocket::timeoutKeepsPartialCount()
{
    QFETCH(QByteArray, sent);
    QFETCH(uint, tmoMs);
    QFETCH(int, status);
    QFETCH(QByteArray, expected);
    fake_peer peer([sent](fake_peer &p, int fd) {
        fake_peer::send_all(fd, sent);
        p.hold();
    });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, tmoMs), VI_SUCCESS);
    QElapsedTimer clock;
    clock.start();
    QByteArray got;
    ViStatus st = s.read(&got, 1024);
    // The peer's bytes may not have arrived yet; an immediate read is retried until they have.
    while (tmoMs == VI_TMO_IMMEDIATE && !expected.isEmpty() && st == VI_ERROR_TMO && got.isEmpty() &&
           clock.elapsed() < kGenerousMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        st = s.read(&got, 1024);
    }
    QCOMPARE(st, ViStatus(status));
    QCOMPARE(got, expected);
    if (status == VI_ERROR_TMO)
        QVERIFY(clock.elapsed() >= qint64(tmoMs) * 3 / 4);
}

void TestVisaSocket::stalledBlockHeaderTimesOut()
{
    // A header announcing nearly a gigabyte, then silence: the read must end at the time-out with
    // what arrived, allocating nothing for the announced size.
    fake_peer peer([](fake_peer &p, int fd) {
        fake_peer::send_all(fd, "#9999999999abc\n");
        p.hold();
    });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, 200), VI_SUCCESS);
    QByteArray got;
    QCOMPARE(s.read(&got, 1024), VI_ERROR_TMO);
    QCOMPARE(got, QByteArray("#9999999999abc\n"));
    // viClear ends the block: the next answer is scanned as text again.
    QCOMPARE(viClear(s.vi), VI_SUCCESS);
}

void TestVisaSocket::peerHangsUpMidAnswer()
{
    fake_peer peer([](fake_peer &, int fd) { fake_peer::send_all(fd, "PAR"); });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, kGenerousMs), VI_SUCCESS);
    QByteArray got;
    QCOMPARE(s.read(&got, 1024), VI_ERROR_CONN_LOST);
    QCOMPARE(got, QByteArray("PAR"));
    QCOMPARE(s.read(&got, 1024), VI_ERROR_CONN_LOST);
    QCOMPARE(got.size(), 0);
}

void TestVisaSocket::refusedConnectionFailsOpen()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    // Bound but not listening: nobody accepts on this port while the socket holds it.
    session s;
    s.vi = 12345;
    QCOMPARE(s.open("TCPIP0::127.0.0.1::" + QByteArray::number(ntohs(a.sin_port)) + "::SOCKET", 1000),
             VI_ERROR_RSRC_NFOUND);
    QCOMPARE(s.vi, ViSession(VI_NULL));
    ::close(fd);
}

void TestVisaSocket::opensByHostName()
{
    fake_peer peer([](fake_peer &p, int fd) {
        if (fake_peer::read_line(fd) == "*IDN?\n")
            fake_peer::send_all(fd, "LOCAL\n");
        p.hold();
    });
    QByteArray name = peer.resource();
    name.replace("127.0.0.1", "localhost");
    session s;
    QCOMPARE(s.open(name, 10000), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, kGenerousMs), VI_SUCCESS);
    QCOMPARE(s.write("*IDN?\n"), VI_SUCCESS);
    QByteArray got;
    QCOMPARE(s.read(&got, 64), VI_SUCCESS_TERM_CHAR);
    QCOMPARE(got, QByteArray("LOCAL\n"));
}

void TestVisaSocket::clearDiscardsPendingInput()
{
    fake_peer peer([](fake_peer &p, int fd) {
        fake_peer::send_all(fd, "OLD1\nOLD2\nOLD3");
        if (fake_peer::read_line(fd) == "MORE\n")
            fake_peer::send_all(fd, "STALE\n");
        if (fake_peer::read_line(fd) == "GO\n")
            fake_peer::send_all(fd, "FRESH\n");
        p.hold();
    });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, kGenerousMs), VI_SUCCESS);
    QByteArray got;
    QCOMPARE(s.read(&got, 1024), VI_SUCCESS_TERM_CHAR);
    QCOMPARE(got, QByteArray("OLD1\n")); // the rest sits in the read-ahead
    // Have more input queued in the socket as well: ask for it and wait until it is there.
    QCOMPARE(s.write("MORE\n"), VI_SUCCESS);
    QByteArray line;
    QCOMPARE(s.read(&line, 5), VI_SUCCESS_TERM_CHAR);
    QCOMPARE(line, QByteArray("OLD2\n"));
    QCOMPARE(viClear(s.vi), VI_SUCCESS);
    QCOMPARE(s.write("GO\n"), VI_SUCCESS);
    QCOMPARE(s.read(&got, 1024), VI_SUCCESS_TERM_CHAR);
    QVERIFY2(got == "FRESH\n" || got == "STALE\n", got.constData());
    if (got == "STALE\n") // arrived only after the clear; the answer to GO follows
        QCOMPARE(s.read(&got, 1024), VI_SUCCESS_TERM_CHAR);
    QCOMPARE(got, QByteArray("FRESH\n"));
}

void TestVisaSocket::largeWriteArrivesWhole()
{
    // Far more than the socket buffers hold, read slowly: send() returns partial counts and EAGAIN.
    QByteArray data(8 << 20, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    std::promise<QByteArray> received;
    fake_peer peer([&received, n = data.size()](fake_peer &p, int fd) {
        QByteArray all;
        char buf[4096];
        while (all.size() < n) {
            const ssize_t k = ::recv(fd, buf, sizeof buf, 0);
            if (k <= 0)
                break;
            all.append(buf, int(k));
            if (all.size() < (1 << 20))
                std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        received.set_value(all);
        p.hold();
    });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, 60000), VI_SUCCESS);
    ViUInt32 sent = 0;
    QCOMPARE(s.write(data, &sent), VI_SUCCESS);
    QCOMPARE(sent, ViUInt32(data.size()));
    auto f = received.get_future();
    QVERIFY(f.wait_for(std::chrono::seconds(60)) == std::future_status::ready);
    QVERIFY(f.get() == data);
}

void TestVisaSocket::writeToClosedPeerReportsError()
{
    fake_peer peer([](fake_peer &, int) {});
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, kGenerousMs), VI_SUCCESS);
    QByteArray dummy;
    QCOMPARE(s.read(&dummy, 16), VI_ERROR_CONN_LOST); // the peer is gone for sure
    // The first write after a hang-up may still be accepted locally; a later one must fail, and
    // none may raise SIGPIPE.
    ViStatus st = VI_SUCCESS;
    for (int i = 0; i < 50 && st == VI_SUCCESS; ++i)
        st = s.write(QByteArray(65536, 'w'));
    QVERIFY(st == VI_ERROR_CONN_LOST || st == VI_ERROR_IO);
}

void TestVisaSocket::closeWakesBlockedCall_data()
{
    QTest::addColumn<bool>("writing");
    QTest::newRow("read of a silent peer") << false;
    QTest::newRow("write to a peer that never reads") << true;
}

void TestVisaSocket::closeWakesBlockedCall()
{
    QFETCH(bool, writing);
    fake_peer peer([](fake_peer &p, int) { p.hold(); });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, VI_TMO_INFINITE), VI_SUCCESS);
    std::atomic<bool> started{false};
    auto call = std::async(std::launch::async, [&] {
        started.store(true);
        if (writing) // far more than the socket buffers of both ends hold
            return s.write(QByteArray(64 << 20, 'w'));
        QByteArray got;
        return s.read(&got, 64);
    });
    while (!started.load())
        std::this_thread::yield();
    // Whether the call is already blocked or not yet inside, it must come back with an error.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QCOMPARE(viClose(s.vi), VI_SUCCESS);
    const bool returned = call.wait_for(std::chrono::milliseconds(kGenerousMs)) == std::future_status::ready;
    if (!returned)
        peer.finish(); // the peer hangs up, so the stuck call can end and the test can report
    QVERIFY(returned);
    QVERIFY(call.get() < 0);
    ViUInt32 tmo = 0;
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TMO_VALUE, &tmo), VI_ERROR_INV_OBJECT);
}

void TestVisaSocket::invalidHandles_data()
{
    QTest::addColumn<int>("which"); // 0: never issued, 1: closed session, 2: closed resource manager
    QTest::newRow("never issued") << 0;
    QTest::newRow("closed session") << 1;
    QTest::newRow("closed manager") << 2;
}

void TestVisaSocket::invalidHandles()
{
    QFETCH(int, which);
    fake_peer peer([](fake_peer &p, int) { p.hold(); });
    ViSession rm = VI_NULL, vi = VI_NULL;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    QCOMPARE(viOpen(rm, peer.resource().constData(), VI_NULL, 0, &vi), VI_SUCCESS);
    ViSession bad = 0x7FFFFFF0;
    if (which == 1) {
        QCOMPARE(viClose(vi), VI_SUCCESS);
        bad = vi;
    } else if (which == 2) {
        QCOMPARE(viClose(rm), VI_SUCCESS);
        bad = rm;
    }
    ViByte buf[8] = {0};
    ViUInt32 n = 0;
    ViUInt16 stb = 0;
    ViUInt32 tmo = 0;
    ViSession other = VI_NULL;
    const ViStatus inv = VI_ERROR_INV_OBJECT;
    QCOMPARE(viRead(bad, buf, sizeof buf, &n), inv);
    QCOMPARE(viWrite(bad, buf, sizeof buf, &n), inv);
    QCOMPARE(viClear(bad), inv);
    QCOMPARE(viReadSTB(bad, &stb), inv);
    QCOMPARE(viGpibControlREN(bad, VI_GPIB_REN_ASSERT), inv);
    QCOMPARE(viSetAttribute(bad, VI_ATTR_TMO_VALUE, 100), inv);
    QCOMPARE(viGetAttribute(bad, VI_ATTR_TMO_VALUE, &tmo), inv);
    QCOMPARE(viOpen(bad, peer.resource().constData(), VI_NULL, 0, &other), inv);
    QCOMPARE(viClose(bad), inv);
    QCOMPARE(viClose(VI_NULL), VI_WARN_NULL_OBJECT);
    viClose(vi);
    viClose(rm);
}

void TestVisaSocket::handlesAreNotReused()
{
    fake_peer first([](fake_peer &p, int) { p.hold(); });
    fake_peer second([](fake_peer &p, int) { p.hold(); });
    session s;
    QCOMPARE(s.open(first.resource()), VI_SUCCESS);
    const ViSession old = s.vi;
    QVERIFY(old != VI_NULL);
    QCOMPARE(viClose(old), VI_SUCCESS);
    QCOMPARE(s.open(second.resource()), VI_SUCCESS);
    QVERIFY(s.vi != old);
    QVERIFY(s.vi != VI_NULL);
    ViUInt32 tmo = 0;
    QCOMPARE(viGetAttribute(old, VI_ATTR_TMO_VALUE, &tmo), VI_ERROR_INV_OBJECT);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
}

void TestVisaSocket::closingManagerClosesSessions()
{
    fake_peer peer([](fake_peer &p, int fd) {
        // The library closes its socket: the peer sees the hang-up.
        if (fake_peer::read_line(fd).isEmpty())
            fake_peer::send_all(fd, "unreachable");
        p.hold();
    });
    ViSession rm = VI_NULL, vi = VI_NULL, rm2 = VI_NULL;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    QCOMPARE(viOpenDefaultRM(&rm2), VI_SUCCESS);
    QVERIFY(rm != rm2);
    QCOMPARE(viOpen(rm, peer.resource().constData(), VI_NULL, 0, &vi), VI_SUCCESS);
    QCOMPARE(viClose(rm), VI_SUCCESS);
    ViUInt32 tmo = 0;
    QCOMPARE(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &tmo), VI_ERROR_INV_OBJECT);
    // Another manager is unaffected.
    QCOMPARE(viGetAttribute(rm2, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
    QCOMPARE(viClose(rm2), VI_SUCCESS);
}

void TestVisaSocket::attributes()
{
    fake_peer peer([](fake_peer &p, int) { p.hold(); });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    ViBoolean b = 99;
    ViUInt8 c = 0;
    ViUInt16 u16 = 0;
    ViUInt32 u32 = 0;
    char text[VI_FIND_BUFLEN];
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TERMCHAR_EN, &b), VI_SUCCESS);
    QCOMPARE(b, ViBoolean(VI_TRUE));
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TERMCHAR, &c), VI_SUCCESS);
    QCOMPARE(c, ViUInt8('\n'));
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TMO_VALUE, &u32), VI_SUCCESS);
    QCOMPARE(u32, ViUInt32(2000));
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_RSRC_NAME, text), VI_SUCCESS);
    QCOMPARE(QByteArray(text), peer.resource());
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_RSRC_CLASS, text), VI_SUCCESS);
    QCOMPARE(QByteArray(text), QByteArray("SOCKET"));
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_INTF_TYPE, &u16), VI_SUCCESS);
    QCOMPARE(u16, ViUInt16(VI_INTF_TCPIP));
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TCPIP_ADDR, text), VI_SUCCESS);
    QCOMPARE(QByteArray(text), QByteArray("127.0.0.1"));
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TCPIP_NODELAY, &b), VI_SUCCESS);
    QCOMPARE(b, ViBoolean(VI_TRUE));

    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, 1234), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TMO_VALUE, &u32), VI_SUCCESS);
    QCOMPARE(u32, ViUInt32(1234));
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TCPIP_NODELAY, VI_FALSE), VI_SUCCESS);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_TCPIP_NODELAY, &b), VI_SUCCESS);
    QCOMPARE(b, ViBoolean(VI_FALSE));
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TERMCHAR_EN, 2), VI_ERROR_NSUP_ATTR_STATE);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TERMCHAR, 0x100), VI_ERROR_NSUP_ATTR_STATE);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_RSRC_NAME, 0), VI_ERROR_ATTR_READONLY);
    QCOMPARE(viSetAttribute(s.vi, 0x3FFF0FFF, 0), VI_ERROR_NSUP_ATTR);
    QCOMPARE(viGetAttribute(s.vi, 0x3FFF0FFF, &u32), VI_ERROR_NSUP_ATTR);
    QCOMPARE(viGetAttribute(s.vi, VI_ATTR_GPIB_PRIMARY_ADDR, &u16), VI_ERROR_NSUP_ATTR);
    // A raw socket speaks no IEEE 488.2 protocol of its own unless told so.
    QCOMPARE(viReadSTB(s.vi, &u16), VI_ERROR_NSUP_OPER);
    QCOMPARE(viGpibControlREN(s.vi, VI_GPIB_REN_ASSERT), VI_ERROR_NSUP_OPER);
    QCOMPARE(viLock(s.vi, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_ERROR_NSUP_OPER);
    QCOMPARE(viDisableEvent(s.vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS);
    QCOMPARE(viDiscardEvents(s.vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS);
}

void TestVisaSocket::statusByteInIeee4882StringMode()
{
    fake_peer peer([](fake_peer &p, int fd) {
        if (fake_peer::read_line(fd) == "*STB?\n")
            fake_peer::send_all(fd, "80\n");
        if (fake_peer::read_line(fd) == "*STB?\n")
            fake_peer::send_all(fd, "garbage\n");
        if (fake_peer::read_line(fd) == "*TRG\n")
            fake_peer::send_all(fd, "TRIGGERED\n");
        p.hold();
    });
    session s;
    QCOMPARE(s.open(peer.resource()), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, kGenerousMs), VI_SUCCESS);
    QCOMPARE(viSetAttribute(s.vi, VI_ATTR_IO_PROT, VI_PROT_4882_STRS), VI_SUCCESS);
    ViUInt16 stb = 0;
    QCOMPARE(viReadSTB(s.vi, &stb), VI_SUCCESS);
    QCOMPARE(stb, ViUInt16(80));
    QCOMPARE(viReadSTB(s.vi, &stb), VI_ERROR_IO);
    QCOMPARE(viAssertTrigger(s.vi, VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
    QByteArray got;
    QCOMPARE(s.read(&got, 64), VI_SUCCESS_TERM_CHAR);
    QCOMPARE(got, QByteArray("TRIGGERED\n"));
}

void TestVisaSocket::openStatusByName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("status");
    QTest::newRow("malformed") << QByteArray("TCPIP0::127.0.0.1::SOCKET") << int(VI_ERROR_INV_RSRC_NAME);
    QTest::newRow("gpib") << QByteArray("GPIB0::5::INSTR") << int(VI_ERROR_RSRC_NFOUND);
    QTest::newRow("usb") << QByteArray("USB0::0x0957::0x1755::MY1::INSTR") << int(VI_ERROR_RSRC_NFOUND);
    QTest::newRow("alias") << QByteArray("scope") << int(VI_ERROR_RSRC_NFOUND);
}

void TestVisaSocket::openStatusByName()
{
    QFETCH(QByteArray, name);
    QFETCH(int, status);
    session s;
    QCOMPARE(int(s.open(name)), status);
    QCOMPARE(s.vi, ViSession(VI_NULL));

    ViUInt16 type = 0, num = 0;
    char cls[VI_FIND_BUFLEN], canon[VI_FIND_BUFLEN], alias[VI_FIND_BUFLEN];
    const ViStatus parsed = viParseRsrcEx(s.rm, name.constData(), &type, &num, cls, canon, alias);
    QCOMPARE(parsed == VI_SUCCESS, status == VI_ERROR_RSRC_NFOUND && name.contains("::"));
}

void TestVisaSocket::statusDescriptions()
{
    char desc[VI_FIND_BUFLEN];
    ViSession rm = VI_NULL;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    QCOMPARE(viStatusDesc(rm, VI_SUCCESS_TERM_CHAR, desc), VI_SUCCESS);
    QCOMPARE(QByteArray(desc), QByteArray("The specified termination character was read."));
    QCOMPARE(viStatusDesc(rm, VI_ERROR_TMO, desc), VI_SUCCESS);
    QCOMPARE(QByteArray(desc), QByteArray("Timeout expired before operation completed."));
    QCOMPARE(viStatusDesc(rm, ViStatus(0xBFFF7777), desc), VI_WARN_UNKNOWN_STATUS);
    QVERIFY(QByteArray(desc).contains("BFFF7777"));
    char name[VI_FIND_BUFLEN];
    QCOMPARE(velqStatusName(VI_ERROR_CONN_LOST, name), VI_SUCCESS);
    QCOMPARE(QByteArray(name), QByteArray("VI_ERROR_CONN_LOST"));
    QCOMPARE(velqStatusName(VI_SUCCESS_TERM_CHAR, name), VI_SUCCESS);
    QCOMPARE(QByteArray(name), QByteArray("VI_SUCCESS_TERM_CHAR"));
    QCOMPARE(velqStatusName(ViStatus(0xBFFF7777), name), VI_WARN_UNKNOWN_STATUS);
    QCOMPARE(QByteArray(name), QByteArray("0xBFFF7777"));
    viClose(rm);
}

// The cause of a failed open is added to the description of that status, on that thread, until
// the thread's next call: never to another status, another thread or a later failure.
void TestVisaSocket::causeFollowsItsFailure()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    const QByteArray port = QByteArray::number(ntohs(a.sin_port));
    const QByteArray plain("Insufficient location information or the requested device or resource is not present "
                           "in the system.");
    const QByteArray refused = plain + " Cannot connect to 127.0.0.1 port " + port + ": Connection refused.";
    auto describe = [](ViSession vi, ViStatus status) {
        char desc[VI_FIND_BUFLEN] = {};
        viStatusDesc(vi, status, desc);
        return QByteArray(desc);
    };

    session s;
    QCOMPARE(s.open("TCPIP0::127.0.0.1::" + port + "::SOCKET", 1000), VI_ERROR_RSRC_NFOUND);
    QByteArray other;
    std::thread([&] { other = describe(VI_NULL, VI_ERROR_RSRC_NFOUND); }).join();
    QCOMPARE(other, plain);
    QCOMPARE(describe(s.rm, VI_ERROR_TMO), QByteArray("Timeout expired before operation completed."));
    QCOMPARE(describe(s.rm, VI_ERROR_RSRC_NFOUND), refused);
    char name[VI_FIND_BUFLEN];
    QCOMPARE(velqStatusName(VI_ERROR_RSRC_NFOUND, name), VI_SUCCESS);
    QCOMPARE(describe(VI_NULL, VI_ERROR_RSRC_NFOUND), refused);

    // The same status for another reason: a resource nobody can reach on this machine.
    QCOMPARE(s.open("GPIB0::5::INSTR"), VI_ERROR_RSRC_NFOUND);
    QCOMPARE(describe(s.rm, VI_ERROR_RSRC_NFOUND), plain);

    QCOMPARE(s.open("TCPIP0::127.0.0.1::" + port + "::SOCKET", 1000), VI_ERROR_RSRC_NFOUND);
    ViUInt32 tmo = 0;
    QCOMPARE(viGetAttribute(s.rm, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
    QCOMPARE(describe(s.rm, VI_ERROR_RSRC_NFOUND), plain);
    ::close(fd);
}

QTEST_GUILESS_MAIN(TestVisaSocket)
#include "tst_visa_socket.moc"
