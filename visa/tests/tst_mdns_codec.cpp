#include "find/find_mdns.h"
#include "mdns_codec.h"

#include <QtTest>

// The DNS message codec shared with the VISA library.
using namespace velq;

using velq::find_source_mdns;

namespace {

QByteArray bytes(const std::vector<uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), int(v.size()));
}

mdns_record rec(const std::string &name, uint16_t type, const std::string &target = {}, uint16_t port = 0,
                uint32_t ipv4 = 0)
{
    mdns_record r;
    r.name = name;
    r.type = type;
    r.target = target;
    r.port = port;
    r.ipv4 = ipv4;
    return r;
}

} // namespace

class TestMdnsCodec : public QObject {
    Q_OBJECT

private slots:
    void encodesQuery();
    void roundTrips();
    void rejectsMalformed_data();
    void rejectsMalformed();
    void namesServices_data();
    void namesServices();
};

void TestMdnsCodec::encodesQuery()
{
    mdns_message q;
    q.id = 0x1234;
    q.questions.emplace_back("_hislip._tcp.local", mdns_ptr);
    const QByteArray golden = QByteArray::fromHex("1234 0000 0001 0000 0000 0000") + "\x07_hislip\x04_tcp\x05local"
                            + QByteArray::fromHex("00 000c 0001");
    QCOMPARE(bytes(mdns_encode(q)), golden);
}

void TestMdnsCodec::roundTrips()
{
    mdns_message m;
    m.id = 7;
    m.flags = 0x8400;
    m.records.push_back(rec("_vxi-11._tcp.local", mdns_ptr, "Bench._vxi-11._tcp.local"));
    m.records.push_back(rec("Bench._vxi-11._tcp.local", mdns_srv, "bench.local", 111));
    m.records.push_back(rec("bench.local", mdns_a, {}, 0, 0x0A000002));
    mdns_record txt = rec("Bench._vxi-11._tcp.local", mdns_txt);
    txt.txt = {"txtvers=1", ""};
    m.records.push_back(txt);
    mdns_message back;
    const std::vector<uint8_t> wire = mdns_encode(m);
    QVERIFY(mdns_decode(wire.data(), wire.size(), &back));
    QCOMPARE(back.records.size(), size_t(4));
    QCOMPARE(back.records[0].target, std::string("Bench._vxi-11._tcp.local"));
    QCOMPARE(back.records[1].port, uint16_t(111));
    QCOMPARE(back.records[2].ipv4, 0x0A000002u);
    QVERIFY(back.records[3].txt == txt.txt);
}

void TestMdnsCodec::rejectsMalformed_data()
{
    QTest::addColumn<QByteArray>("packet");
    const QByteArray answerHeader = QByteArray::fromHex("0000 8400 0000 0001 0000 0000");
    const QByteArray tail = QByteArray::fromHex("000c 0001 0000000a");
    QTest::newRow("short header") << QByteArray::fromHex("0000 8400 0000");
    QTest::newRow("pointer to itself") << answerHeader + QByteArray::fromHex("c00c") + tail + QByteArray::fromHex("0000");
    QTest::newRow("pointer forward") << answerHeader + QByteArray::fromHex("c020") + tail + QByteArray::fromHex("0000")
                                          + QByteArray(32, '\0');
    QTest::newRow("two-pointer loop") << answerHeader + QByteArray::fromHex("01 61 c00c") + tail + QByteArray::fromHex("0000");
    QTest::newRow("label past the end") << answerHeader + QByteArray::fromHex("3f 6161");
    QTest::newRow("reserved label bits") << answerHeader + QByteArray::fromHex("8061 00") + tail + QByteArray::fromHex("0000");
    QTest::newRow("rdata past the end") << answerHeader + QByteArray::fromHex("00") + tail + QByteArray::fromHex("0010 0000");
    QTest::newRow("A of five bytes") << answerHeader + QByteArray::fromHex("00 0001 0001 0000000a 0005 0a00000201");
    QTest::newRow("PTR name past rdata")
        << answerHeader + QByteArray::fromHex("00") + tail + QByteArray::fromHex("0002 03616263 00");
    QTest::newRow("TXT string past rdata") << answerHeader + QByteArray::fromHex("00 0010 0001 0000000a 0002 0561");
    QTest::newRow("thousands of records") << QByteArray::fromHex("0000 8400 0000 0fa0 0000 0000")
                                                 + QByteArray::fromHex("00 0001 0001 0000000a 0004 0a000002").repeated(300);
    QByteArray longName;
    for (int i = 0; i < 5; ++i)
        longName += char(63) + QByteArray(63, 'a');
    QTest::newRow("name past 255 bytes") << answerHeader + longName + QByteArray::fromHex("00") + tail + QByteArray::fromHex("0000");
    QTest::newRow("count past the data") << QByteArray::fromHex("0000 8400 0000 0002 0000 0000")
                                                + QByteArray::fromHex("00 0001 0001 0000000a 0004 0a000002");
}

void TestMdnsCodec::rejectsMalformed()
{
    QFETCH(QByteArray, packet);
    mdns_message m;
    QVERIFY(!mdns_decode(reinterpret_cast<const uint8_t *>(packet.constData()), size_t(packet.size()), &m));
}

void TestMdnsCodec::namesServices_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("withAddress");
    QTest::addColumn<QString>("name");
    QTest::newRow("hislip default port") << "_hislip._tcp.local" << 4880 << true << "TCPIP0::10.0.0.2::hislip0::INSTR";
    QTest::newRow("hislip other port") << "_HISLIP._tcp.local" << 4881 << true << "TCPIP0::10.0.0.2::hislip0,4881::INSTR";
    QTest::newRow("vxi-11") << "_vxi-11._tcp.local" << 111 << true << "TCPIP0::10.0.0.2::inst0::INSTR";
    QTest::newRow("lxi is reached by vxi-11") << "_lxi._tcp.local" << 80 << true << "TCPIP0::10.0.0.2::inst0::INSTR";
    QTest::newRow("raw socket") << "_scpi-raw._tcp.local" << 5025 << true << "TCPIP0::10.0.0.2::5025::SOCKET";
    QTest::newRow("no address record: the sender") << "_scpi-raw._tcp.local" << 5025 << false
                                                   << "TCPIP0::10.0.0.9::5025::SOCKET";
    QTest::newRow("other service ignored") << "_http._tcp.local" << 80 << true << "";
}

void TestMdnsCodec::namesServices()
{
    QFETCH(QString, type);
    QFETCH(int, port);
    QFETCH(bool, withAddress);
    QFETCH(QString, name);
    const std::string strType = type.toStdString();
    mdns_message m;
    m.flags = 0x8400;
    m.records.push_back(rec(strType, mdns_ptr, "Bench Sim." + strType));
    m.records.push_back(rec("bench sim." + strType, mdns_srv, "Bench.local", uint16_t(port)));
    if (withAddress)
        m.records.push_back(rec("bench.local", mdns_a, {}, 0, 0x0A000002));
    // The service without its SRV record is no instrument to list.
    m.records.push_back(rec(strType, mdns_ptr, "Orphan." + strType));
    const std::vector<std::string> names = find_source_mdns::names_from({{m, 0x0A000009}});
    QCOMPARE(names.empty() ? QString() : QString::fromStdString(names.front()), name);
    QVERIFY(names.size() <= 1);
}

QTEST_GUILESS_MAIN(TestMdnsCodec)
#include "tst_mdns_codec.moc"
