// The raw SCPI socket server end to end, started in-process on an ephemeral port.
#include "DeviceRegistry.h"
#include "InstrumentState.h"
#include "Listener.h"
#include "SocketServer.h"
#include "WireLog.h"

#include <QtTest>

#include <memory>
#include <vector>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int kWaitMs = 10000;

// A blocking client with bounded waits; closes itself.
class CClient
{
public:
    explicit CClient(uint16_t uPort)
    {
        m_nFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uPort);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_bConnected = ::connect(m_nFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~CClient() { ::close(m_nFd); }

    bool IsConnected() const { return m_bConnected; }
    bool Send(const QByteArray& ba)
    {
        return ::send(m_nFd, ba.constData(), static_cast<size_t>(ba.size()), MSG_NOSIGNAL) == ba.size();
    }
    void ShutdownWrite() { ::shutdown(m_nFd, SHUT_WR); }

    // Reads until nBytes arrived, the peer closed, or the wait ran out.
    QByteArray Receive(int nBytes, int nWaitMs = kWaitMs)
    {
        QByteArray baOut;
        QElapsedTimer timer;
        timer.start();
        m_bPeerClosed = false;
        while (baOut.size() < nBytes && timer.elapsed() < nWaitMs) {
            pollfd pfd{m_nFd, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(nWaitMs - timer.elapsed())) <= 0)
                break;
            char buf[65536];
            const ssize_t nGot = ::recv(m_nFd, buf, std::min<size_t>(sizeof buf, nBytes - baOut.size()), 0);
            if (nGot <= 0) {
                m_bPeerClosed = true;
                break;
            }
            baOut.append(buf, static_cast<int>(nGot));
        }
        return baOut;
    }
    // Reads one LF-terminated line (no blocks expected).
    QByteArray ReceiveLine(int nWaitMs = kWaitMs)
    {
        QByteArray baOut;
        while (!baOut.endsWith('\n')) {
            const QByteArray baByte = Receive(1, nWaitMs);
            if (baByte.isEmpty())
                break;
            baOut += baByte;
        }
        return baOut;
    }
    bool PeerClosed() const { return m_bPeerClosed; }

private:
    int m_nFd = -1;
    bool m_bConnected = false;
    bool m_bPeerClosed = false;
};

} // namespace

class TestSocketServer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_strLogPath;
    std::unique_ptr<CSocketServer> m_pServer;
    uint16_t m_uPort = 0;

    QList<QByteArray> LogLines() const
    {
        QFile file(m_strLogPath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lstLines = file.readAll().split('\n');
        if (!lstLines.isEmpty() && lstLines.last().isEmpty())
            lstLines.removeLast();
        return lstLines;
    }

private slots:
    void init();
    void cleanup();
    void announceLine();
    void severalClientsKeepTheirOwnExchange();
    void framingAcrossSegments_data();
    void framingAcrossSegments();
    void wireLogLines_data();
    void wireLogLines();
    void largeBlockArrivesWhole();
    void delayHoldsTheAnswerBack();
    void hangupSendsTextThenCloses();
    void halfClosedPeerStillGetsAnswers();
    void silentClientsMakeRoomWhenFull_data();
    void silentClientsMakeRoomWhenFull();
};

void TestSocketServer::init()
{
    QVERIFY(m_dir.isValid());
    m_strLogPath = m_dir.filePath(QString("wire-%1.log").arg(QTest::currentTestFunction()));
    auto pLog = std::make_shared<CWireLog>();
    std::string strError;
    QVERIFY(pLog->Open(m_strLogPath.toStdString(), strError));
    auto pRegistry = std::make_shared<CDeviceRegistry>(std::make_shared<CInstrumentState>(), pLog);
    m_pServer = std::make_unique<CSocketServer>(pRegistry);
    QVERIFY2(m_pServer->Start("127.0.0.1", 0, strError), strError.c_str());
    m_uPort = m_pServer->Port();
    QVERIFY(m_uPort != 0);
}

void TestSocketServer::cleanup()
{
    m_pServer.reset();
}

void TestSocketServer::announceLine()
{
    const QString strPort = QString::number(m_uPort);
    QCOMPARE(QString::fromStdString(m_pServer->AnnounceLine()),
             "SOCKET " + strPort + " TCPIP0::127.0.0.1::" + strPort + "::SOCKET");
}

void TestSocketServer::severalClientsKeepTheirOwnExchange()
{
    std::vector<std::unique_ptr<CClient>> lstClients;
    for (int i = 0; i < 4; ++i) {
        lstClients.push_back(std::make_unique<CClient>(m_uPort));
        QVERIFY(lstClients.back()->IsConnected());
    }
    // Interleave: every client has a message in flight before any answer is read.
    for (size_t i = 0; i < lstClients.size(); ++i)
        QVERIFY(lstClients[i]->Send(i == 0 ? "NOSUCH\n" : "TEST:TEXT? " + QByteArray::number(int(i) * 10) + "\n"));
    for (size_t i = 1; i < lstClients.size(); ++i)
        QCOMPARE(lstClients[i]->ReceiveLine().size(), int(i) * 10 + 1);
    // Error queues are per connection; the settings are shared by all.
    QVERIFY(lstClients[0]->Send("SYST:ERR?;:VOLT 7\n"));
    QCOMPARE(lstClients[0]->ReceiveLine(), QByteArray("-113,\"Undefined header\"\n"));
    QVERIFY(lstClients[1]->Send("SYST:ERR?;:VOLT?\n"));
    QCOMPARE(lstClients[1]->ReceiveLine(), QByteArray("0,\"No error\";+7.00000000E+00\n"));
}

void TestSocketServer::framingAcrossSegments_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray baTwo = "*OPC?\nSYST:VERS?\n";
    QTest::newRow("two messages in one segment") << baTwo << 0 << QByteArray("1\n1999.0\n");
    QTest::newRow("split into single bytes") << baTwo << 1 << QByteArray("1\n1999.0\n");
    const QByteArray baPayload = QByteArrayLiteral("ab\ncd\n\0\nef\r\n#");
    QCOMPARE(baPayload.size(), 13);
    const QByteArray baBlock = "MMEM:DATA 'f',#213" + baPayload + ";*OPC?\nMMEM:DATA? 'f'\n";
    const QByteArray baAnswer = "1\n#213" + baPayload + "\n";
    QTest::newRow("block with LF, whole") << baBlock << 0 << baAnswer;
    QTest::newRow("block with LF, byte by byte") << baBlock << 1 << baAnswer;
}

void TestSocketServer::framingAcrossSegments()
{
    QFETCH(QByteArray, sent);
    QFETCH(int, chunk);
    QFETCH(QByteArray, expected);
    CClient client(m_uPort);
    QVERIFY(client.IsConnected());
    if (chunk == 0) {
        QVERIFY(client.Send(sent));
    } else {
        for (int i = 0; i < sent.size(); i += chunk)
            QVERIFY(client.Send(sent.mid(i, chunk)));
    }
    QCOMPARE(client.Receive(expected.size()), expected);
    QCOMPARE(client.Receive(1, 100), QByteArray()); // nothing more
}

void TestSocketServer::wireLogLines_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("plain") << QByteArray("*RST\n") << QStringList{"*RST\\n"};
    QTest::newRow("NUL, CR and backslash") << QByteArrayLiteral("*CLS\0\r\n*RST\\x\n")
                                           << QStringList{"*CLS\\x00\\r\\n", "*RST\\\\x\\n"};
    QTest::newRow("block with LF stays on one line")
        << QByteArrayLiteral("MMEM:DATA 'a',#14\n\xff\x7f\t\n")
        << QStringList{"MMEM:DATA 'a',#14\\n\\xff\\x7f\\x09\\n"};
    QTest::newRow("upload form") << QByteArray("MMEM:DATA 'b,#12\n''\n")
                                 << QStringList{"MMEM:DATA 'b,#12\\n''\\n"};
}

void TestSocketServer::wireLogLines()
{
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, lines);
    CClient client(m_uPort);
    QVERIFY(client.Send(sent));
    // The answer to a following query proves the earlier messages were handled and logged.
    QVERIFY(client.Send("*OPC?\n"));
    QCOMPARE(client.ReceiveLine(), QByteArray("1\n"));
    QStringList lstExpected = lines;
    lstExpected << "*OPC?\\n";
    QStringList lstGot;
    for (const QByteArray& baLine : LogLines())
        lstGot << QString::fromLatin1(baLine);
    QCOMPARE(lstGot, lstExpected);
}

void TestSocketServer::largeBlockArrivesWhole()
{
    CClient client(m_uPort);
    const int nLength = 3 * 1024 * 1024 + 7;
    QVERIFY(client.Send("TEST:BLOC? " + QByteArray::number(nLength) + "\n"));
    const QByteArray baHeader = "#7" + QByteArray::number(nLength);
    const QByteArray baGot = client.Receive(baHeader.size() + nLength + 1, 60000);
    QCOMPARE(baGot.size(), baHeader.size() + nLength + 1);
    QVERIFY(baGot.startsWith(baHeader));
    QCOMPARE(baGot.back(), '\n');
    for (int i = 0; i < nLength; i += 4093)
        QCOMPARE(static_cast<unsigned char>(baGot[baHeader.size() + i]), static_cast<unsigned char>(i % 256));
}

void TestSocketServer::delayHoldsTheAnswerBack()
{
    CClient client(m_uPort);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.Send("TEST:DEL 500\n*IDN?\n*OPC?\n"));
    // Nothing may come early; the later answer waits behind the delayed one.
    QCOMPARE(client.Receive(1, 100), QByteArray());
    QVERIFY(client.ReceiveLine().startsWith("VELQUIST,"));
    QVERIFY(timer.elapsed() >= 450);
    QCOMPARE(client.ReceiveLine(), QByteArray("1\n"));
}

void TestSocketServer::hangupSendsTextThenCloses()
{
    CClient client(m_uPort);
    QVERIFY(client.Send("TEST:HANG 12\n*OPC?\n"));
    const QByteArray baGot = client.Receive(1000);
    QCOMPARE(baGot.size(), 12);
    QVERIFY(!baGot.contains('\n'));
    QVERIFY(client.PeerClosed());
    // The server goes on serving others.
    CClient other(m_uPort);
    QVERIFY(other.Send("*OPC?\n"));
    QCOMPARE(other.ReceiveLine(), QByteArray("1\n"));
}

void TestSocketServer::halfClosedPeerStillGetsAnswers()
{
    CClient client(m_uPort);
    QVERIFY(client.Send("TEST:DEL 200;*OPC?\nMMEM:NAME 'x'"));
    client.ShutdownWrite();
    QCOMPARE(client.ReceiveLine(), QByteArray("1\n"));
    client.Receive(1, 5000);
    QVERIFY(client.PeerClosed());
    // The unterminated tail is still logged.
    QCOMPARE(LogLines().value(1), QByteArray("MMEM:NAME 'x'"));
}

void TestSocketServer::silentClientsMakeRoomWhenFull_data()
{
    QTest::addColumn<QByteArray>("baFirst"); // what every occupying client sends, then never reads

    QTest::newRow("idle after one query") << QByteArray("*OPC?\n");
    QTest::newRow("asked for a large answer") << QByteArray("TEST:TEXT? 100000000\n");
    QTest::newRow("half a message") << QByteArray("*ID");
}

void TestSocketServer::silentClientsMakeRoomWhenFull()
{
    QFETCH(QByteArray, baFirst);
    const int nSavedMs = CListener::IdleEvictionMs();
    CListener::SetIdleEvictionMs(300);
    std::vector<std::unique_ptr<CClient>> lstOccupants;
    for (size_t i = 0; i < CListener::kDefaultMaxConnections; ++i) {
        lstOccupants.push_back(std::make_unique<CClient>(m_uPort));
        QVERIFY(lstOccupants.back()->IsConnected());
        QVERIFY(lstOccupants.back()->Send(baFirst));
    }
    // Accepted by the server, then silent for longer than the eviction time.
    QTest::qWait(800);

    // A new client is served, maybe after one refusal while a slot frees.
    QByteArray baAnswer;
    for (int nTry = 0; nTry < 3 && baAnswer.isEmpty(); ++nTry) {
        CClient client(m_uPort);
        QVERIFY(client.Send("*IDN?\n"));
        baAnswer = client.ReceiveLine();
    }
    CListener::SetIdleEvictionMs(nSavedMs);
    QVERIFY2(baAnswer.contains(','), baAnswer.constData());
}

QTEST_GUILESS_MAIN(TestSocketServer)
#include "tst_socketserver.moc"
