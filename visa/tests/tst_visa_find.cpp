#include "find/find_config.h"
#include "find/find_engine.h"
#include "find/find_expr.h"
#include "find/find_sysfs.h"
#include "find/find_vxi11.h"
#include "rpc_message.h"

#include "visa.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace velq;

namespace {

// A source that answers what it is told, as a network would, in any order and with repeats.
class fixed_source : public find_source {
public:
    explicit fixed_source(std::vector<std::string> names) : m_names(std::move(names)) {}
    void collect(std::vector<found_rsrc> *out, unsigned) override
    {
        for (const auto &n : m_names)
            out->push_back({n, {}, {}});
    }

private:
    std::vector<std::string> m_names;
};

} // namespace

class TestVisaFind : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void matchesExpressions_data();
    void matchesExpressions();
    void rejectsBadExpressions_data();
    void rejectsBadExpressions();
    void readsConfiguration();
    void mergesAndOrdersSources();
    void listsLocalBuses_data();
    void listsLocalBuses();
    void encodesPortmapCall();
    void decodesPortmapReplies_data();
    void decodesPortmapReplies();
    void outlastsHostileResponder();
    void findListThroughApi();
    void aliasesThroughApi_data();
    void aliasesThroughApi();

private:
    QTemporaryDir m_dir;
};

void TestVisaFind::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile f(m_dir.filePath(QStringLiteral("velqvisa.conf")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("# bench\n"
            "[find]\n"
            "timeout_ms = 100\n"
            "broadcast = off\n"
            "mdns = off\n"
            "[resources]\n"
            "tcpip::192.168.7.7::5025::socket\n"
            "bench-psu.lan   # a bare host\n"
            "not a resource::at all\n"
            "[aliases]\n"
            "Scope = TCPIP::10.0.0.7::hislip0\n"
            "GPIB0::3 = TCPIP::10.0.0.8::INSTR\n");
    f.close();
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    qputenv("VELQ_SYSFS_ROOT", m_dir.filePath(QStringLiteral("no-sys")).toLocal8Bit());
}

void TestVisaFind::matchesExpressions_data()
{
    QTest::addColumn<QString>("expr");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("match");

    // The classic examples: each row one pattern against one name.
    QTest::newRow("GPIB?*INSTR primary") << "GPIB?*INSTR" << "GPIB0::2::INSTR" << true;
    QTest::newRow("GPIB?*INSTR secondary") << "GPIB?*INSTR" << "GPIB1::1::1::INSTR" << true;
    QTest::newRow("GPIB?*INSTR not INTFC") << "GPIB?*INSTR" << "GPIB0::INTFC" << false;
    QTest::newRow("board digits") << "GPIB[0-9]*::?*INSTR" << "GPIB12::8::INSTR" << true;
    QTest::newRow("[^0] one char only") << "GPIB[^0]::?*INSTR" << "GPIB12::8::INSTR" << false;
    QTest::newRow("[^0] board 1") << "GPIB[^0]::?*INSTR" << "GPIB1::1::1::INSTR" << true;
    QTest::newRow("[^0] board 0") << "GPIB[^0]::?*INSTR" << "GPIB0::2::INSTR" << false;
    QTest::newRow("ASRL1+ 11") << "ASRL1+::INSTR" << "ASRL11::INSTR" << true;
    QTest::newRow("ASRL1+ 2") << "ASRL1+::INSTR" << "ASRL2::INSTR" << false;
    QTest::newRow("alternation grouped") << "(GPIB|VXI)?*INSTR" << "VXI0::1::INSTR" << true;
    QTest::newRow("alternation of exact names") << "(GPIB0|VXI0)::1::INSTR" << "GPIB0::1::INSTR" << true;
    QTest::newRow("whole name anchored") << "TCPIP?*" << "XTCPIP0::h::inst0::INSTR" << false;
    QTest::newRow("end anchored") << "?*INSTR" << "TCPIP0::h::5025::SOCKET" << false;
    QTest::newRow("everything") << "?*" << "TCPIP0::h::5025::SOCKET" << true;
    QTest::newRow("case ignored") << "tcpip?*instr" << "TCPIP0::h::inst0::INSTR" << true;
    QTest::newRow("dot is literal") << "TCPIP0::10.0.0.1::?*" << "TCPIP0::10a0b0c1::inst0::INSTR" << false;
    QTest::newRow("escaped star literal") << "A\\*B" << "A*B" << true;
    QTest::newRow("escaped star not repeat") << "A\\*B" << "AB" << false;
    QTest::newRow("list range letters") << "USB[0-9]::0x[0-9A-F]+::?*" << "USB0::0x0957::0x1755::MY1::0::INSTR" << true;
    QTest::newRow("ASRL path form") << "ASRL[0-9]*::?*INSTR" << "ASRL/dev/ttyUSB0::INSTR" << false;
    // Attribute part, over what the name alone tells.
    QTest::newRow("manf id hex") << "?*{VI_ATTR_MANF_ID==0x0957}" << "USB0::0x0957::0x1755::MY1::0::INSTR" << true;
    QTest::newRow("manf id decimal") << "?*{VI_ATTR_MANF_ID == 2391}" << "USB0::0x0957::0x1755::MY1::0::INSTR" << true;
    QTest::newRow("manf id other") << "?*{VI_ATTR_MANF_ID!=0x0957}" << "USB0::0x0957::0x1755::MY1::0::INSTR" << false;
    QTest::newRow("attribute absent matches nothing")
        << "?*{VI_ATTR_MANF_ID!=0x0957}" << "TCPIP0::h::inst0::INSTR" << false;
    QTest::newRow("and or not") << "?*{VI_ATTR_INTF_TYPE==6 && !(VI_ATTR_TCPIP_IS_HISLIP==1) || VI_ATTR_INTF_NUM>5}"
                                << "TCPIP0::h::inst0::INSTR" << true;
    QTest::newRow("and fails") << "?*{VI_ATTR_INTF_TYPE==6 && VI_ATTR_TCPIP_IS_HISLIP==1}"
                               << "TCPIP0::h::inst0::INSTR" << false;
    QTest::newRow("string equal, case ignored") << "?*{VI_ATTR_TCPIP_DEVICE_NAME==\"HISLIP0\"}"
                                                << "TCPIP0::h::hislip0::INSTR" << true;
    QTest::newRow("port compare") << "?*SOCKET{VI_ATTR_TCPIP_PORT>=5025 && VI_ATTR_TCPIP_PORT<5026}"
                                  << "TCPIP0::h::5025::SOCKET" << true;
    QTest::newRow("brace in list is pattern") << "A[{]B" << "A{B" << true;
}

void TestVisaFind::matchesExpressions()
{
    QFETCH(QString, expr);
    QFETCH(QString, name);
    QFETCH(bool, match);
    find_expr fx;
    QCOMPARE(fx.compile(expr.toStdString()), VI_SUCCESS);
    QCOMPARE(fx.matches(name.toStdString(), find_attrs_from_name(name.toStdString())), match);
}

void TestVisaFind::rejectsBadExpressions_data()
{
    QTest::addColumn<QByteArray>("expr");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("leading star") << QByteArray("*INSTR");
    QTest::newRow("double star") << QByteArray("?**");
    QTest::newRow("open list") << QByteArray("GPIB[0-9");
    QTest::newRow("open group") << QByteArray("(GPIB?*");
    QTest::newRow("close group") << QByteArray("GPIB?*)");
    QTest::newRow("trailing backslash") << QByteArray("GPIB\\");
    QTest::newRow("open attributes") << QByteArray("?*{VI_ATTR_MANF_ID==1");
    QTest::newRow("empty attributes") << QByteArray("?*{}");
    QTest::newRow("unknown attribute") << QByteArray("?*{VI_ATTR_NOPE==1}");
    QTest::newRow("missing value") << QByteArray("?*{VI_ATTR_MANF_ID==}");
    QTest::newRow("string ordered") << QByteArray("?*{VI_ATTR_TCPIP_ADDR<\"a\"}");
    QTest::newRow("number too big") << QByteArray("?*{VI_ATTR_MANF_ID==99999999999999999999999}");
    QTest::newRow("dangling and") << QByteArray("?*{VI_ATTR_MANF_ID==1 &&}");
    QTest::newRow("deep nesting") << QByteArray("?*{") + QByteArray(5000, '(') + "VI_ATTR_MANF_ID==1" + QByteArray(5000, ')') + "}";
}

void TestVisaFind::rejectsBadExpressions()
{
    QFETCH(QByteArray, expr);
    find_expr fx;
    QCOMPARE(fx.compile(expr.toStdString()), VI_ERROR_INV_EXPR);
}

void TestVisaFind::readsConfiguration()
{
    const find_config cfg = find_config_load();
    QCOMPARE(cfg.timeout_ms, 100u);
    QVERIFY(!cfg.broadcast);
    QVERIFY(!cfg.mdns);
    const std::vector<std::string> resources{"TCPIP0::192.168.7.7::5025::SOCKET", "TCPIP0::bench-psu.lan::inst0::INSTR"};
    QVERIFY(cfg.resources == resources);
    // "GPIB0::3" reads as a resource name, so it can never be an alias.
    QCOMPARE(cfg.aliases.size(), size_t(1));
    QCOMPARE(cfg.aliases[0].first, std::string("Scope"));
    QCOMPARE(cfg.aliases[0].second, std::string("TCPIP0::10.0.0.7::hislip0::INSTR"));
}

void TestVisaFind::mergesAndOrdersSources()
{
    find_sources sources;
    sources.push_back(std::make_unique<fixed_source>(std::vector<std::string>{
        "TCPIP::10.0.0.5::5025::SOCKET", "ASRL/dev/ttyUSB0::INSTR", "garbage", "TCPIP::10.0.0.5::INSTR"}));
    sources.push_back(std::make_unique<fixed_source>(std::vector<std::string>{
        "tcpip0::10.0.0.5::inst0::instr", "TCPIP0::10.0.0.5::hislip0::INSTR", "ASRL1::INSTR"}));
    std::vector<std::string> names;
    for (const found_rsrc &f : find_run(sources, 10))
        names.push_back(f.name);
    const std::vector<std::string> expected{"ASRL1::INSTR", "ASRL/dev/ttyUSB0::INSTR",
                                            "TCPIP0::10.0.0.5::hislip0::INSTR", "TCPIP0::10.0.0.5::inst0::INSTR",
                                            "TCPIP0::10.0.0.5::5025::SOCKET"};
    QCOMPARE(names, expected);
}

void TestVisaFind::listsLocalBuses_data()
{
    // Each entry: "path" (folder), "path=text" (file) or "path->target" (link), under a fake /sys.
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("names");

    const QStringList pnp{"devices/pnp0/00:05/", "bus/pnp/", "devices/pnp0/00:05/subsystem->../../../bus/pnp"};
    const QStringList platform{"devices/platform/serial8250/", "bus/platform/",
                               "devices/platform/serial8250/subsystem->../../../bus/platform"};
    const QStringList usbSerial{"devices/usb1/1-2/1-2:1.0/ttyUSB0/", "bus/usb-serial/",
                                "devices/usb1/1-2/1-2:1.0/ttyUSB0/subsystem->../../../../../bus/usb-serial"};
    QTest::newRow("UART and USB adapter listed")
        << (pnp + usbSerial
            + QStringList{"class/tty/ttyS0/", "class/tty/ttyS0/device->../../../devices/pnp0/00:05",
                          "class/tty/ttyUSB0/", "class/tty/ttyUSB0/device->../../../devices/usb1/1-2/1-2:1.0/ttyUSB0"})
        << QStringList{"ASRL1::INSTR", "ASRL/dev/ttyUSB0::INSTR"};
    QTest::newRow("placeholder UART and terminal skipped")
        << (platform
            + QStringList{"class/tty/ttyS3/", "class/tty/ttyS3/device->../../../devices/platform/serial8250",
                          "class/tty/tty0/", "class/tty/console/"})
        << QStringList{};
    const QStringList serialBase{"devices/platform/serial8250/serial8250:0/serial8250:0.1/", "bus/serial-base/",
                                 "devices/platform/serial8250/serial8250:0/serial8250:0.1/subsystem->../../../../../bus/serial-base"};
    QTest::newRow("serial core bus: port type decides")
        << (serialBase
            + QStringList{"class/tty/ttyS1/", "class/tty/ttyS1/type=0\n",
                          "class/tty/ttyS1/device->../../../devices/platform/serial8250/serial8250:0/serial8250:0.1",
                          "class/tty/ttyS9/", "class/tty/ttyS9/type=4\n",
                          "class/tty/ttyS9/device->../../../devices/platform/serial8250/serial8250:0/serial8250:0.1"})
        << QStringList{"ASRL10::INSTR"};
    QTest::newRow("no tty class") << QStringList{"class/"} << QStringList{};

    const QStringList usbDev{"devices/usb1/1-4/", "devices/usb1/1-4/idVendor=0957\n", "devices/usb1/1-4/idProduct=1755\n",
                             "devices/usb1/1-4/manufacturer=Tarnove\n", "devices/usb1/1-4/product=DMM 7\n",
                             "devices/usb1/1-4/1-4:1.2/", "devices/usb1/1-4/1-4:1.2/bInterfaceNumber=02\n",
                             "class/usbmisc/usbtmc0/", "class/usbmisc/usbtmc0/device->../../../devices/usb1/1-4/1-4:1.2",
                             "class/usbmisc/hiddev0/"};
    QTest::newRow("usbtmc with serial") << (usbDev + QStringList{"devices/usb1/1-4/serial=MY5400\n"})
                                        << QStringList{"USB0::0x0957::0x1755::MY5400::2::INSTR"};
    QTest::newRow("usbtmc without serial skipped") << usbDev << QStringList{};
    QTest::newRow("usbtmc serial with separator skipped")
        << (usbDev + QStringList{"devices/usb1/1-4/serial=A::B\n"}) << QStringList{};
    QTest::newRow("usbtmc garbled id skipped")
        << (QStringList{"devices/usb1/1-4/serial=MY5400"} + usbDev.mid(0, 1) + QStringList{"devices/usb1/1-4/idVendor=zz"}
            + usbDev.mid(2)) << QStringList{};
}

void TestVisaFind::listsLocalBuses()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, names);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path() + QStringLiteral("/sys");
    for (const QString &item : tree) {
        const int arrow = item.indexOf(QLatin1String("->"));
        const int eq = item.indexOf(QLatin1Char('='));
        if (arrow > 0) {
            const QString link = root + QLatin1Char('/') + item.left(arrow);
            QVERIFY(QDir().mkpath(QFileInfo(link).path()));
            QVERIFY2(QFile::link(item.mid(arrow + 2), link), qPrintable(link));
        } else if (eq > 0) {
            const QString path = root + QLatin1Char('/') + item.left(eq);
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(item.mid(eq + 1).replace(QLatin1String("\\n"), QLatin1String("\n")).toUtf8());
        } else {
            QVERIFY(QDir().mkpath(root + QLatin1Char('/') + item));
        }
    }
    find_sources sources;
    sources.push_back(std::make_unique<find_source_serial>(root.toStdString()));
    sources.push_back(std::make_unique<find_source_usbtmc>(root.toStdString()));
    QStringList found;
    for (const found_rsrc &f : find_run(sources, 10))
        found << QString::fromStdString(f.name);
    QCOMPARE(found, names);
}

void TestVisaFind::encodesPortmapCall()
{
    const QByteArray golden = QByteArray::fromHex("000003e8 00000000 00000002 000186a0 00000002 00000003"
                                                  "00000000 00000000 00000000 00000000"
                                                  "000607af 00000001 00000006 00000000");
    const xdr_bytes call = vxi11_find_call(0x3e8);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(call.data()), int(call.size())), golden);
}

void TestVisaFind::decodesPortmapReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("port");
    const QByteArray ok = QByteArray::fromHex("000003e8 00000001 00000000 00000000 00000000 00000000 0000abcd");
    QTest::newRow("registered") << ok << 0xabcd;
    QTest::newRow("not registered") << QByteArray::fromHex("000003e8 00000001 00000000 00000000 00000000 00000000 00000000") << 0;
    QTest::newRow("other xid") << QByteArray::fromHex("000003e9 00000001 00000000 00000000 00000000 00000000 0000abcd") << 0;
    QTest::newRow("port past 16 bits") << QByteArray::fromHex("000003e8 00000001 00000000 00000000 00000000 00000000 00010000") << 0;
    QTest::newRow("program unavailable") << QByteArray::fromHex("000003e8 00000001 00000000 00000000 00000000 00000001") << 0;
    QTest::newRow("denied") << QByteArray::fromHex("000003e8 00000001 00000001 00000000 00000002 00000002") << 0;
    QTest::newRow("result cut short") << ok.left(ok.size() - 2) << 0;
    QTest::newRow("verifier length past the end") << QByteArray::fromHex("000003e8 00000001 00000000 00000000 7fffffff") << 0;
    QTest::newRow("a call, not a reply") << QByteArray(reinterpret_cast<const char *>(vxi11_find_call(0x3e8).data()), 56) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestVisaFind::decodesPortmapReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, port);
    QCOMPARE(int(vxi11_find_reply(reinterpret_cast<const uint8_t *>(reply.constData()), size_t(reply.size()), 0x3e8)), port);
}

// Answers the search with a flood of garbage, a stale answer, then the real one twice: the
// search lists the host once and still ends when its time is up.
void TestVisaFind::outlastsHostileResponder()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    QVERIFY(fd >= 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    QCOMPARE(::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len), 0);
    std::atomic<bool> stop{false};
    std::thread peer([&]() {
        uint8_t buf[1500];
        while (!stop) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t flen = sizeof from;
            const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &flen);
            if (n < 4)
                continue;
            auto send = [&](const xdr_bytes &b) {
                ::sendto(fd, b.data(), b.size(), 0, reinterpret_cast<sockaddr *>(&from), flen);
            };
            const uint32_t xid = (uint32_t(buf[0]) << 24) | (uint32_t(buf[1]) << 16) | (uint32_t(buf[2]) << 8) | buf[3];
            for (int i = 0; i < 200; ++i)
                send(xdr_bytes(size_t(i % 97), uint8_t(i)));
            xdr_writer port;
            port.put_u32(4321);
            send(rpc_encode_reply(xid + 1, port.buf));
            send(rpc_encode_reply(xid, port.buf));
            send(rpc_encode_reply(xid, port.buf));
        }
    });
    find_source_vxi11 source(ntohs(addr.sin_port), {"127.0.0.1"});
    std::vector<found_rsrc> found;
    QElapsedTimer timer;
    timer.start();
    source.collect(&found, 500);
    const qint64 elapsed = timer.elapsed();
    stop = true;
    peer.join();
    ::close(fd);
    QCOMPARE(found.size(), size_t(1));
    QCOMPARE(found[0].name, std::string("TCPIP0::127.0.0.1::inst0::INSTR"));
    QVERIFY2(elapsed < 20000, qPrintable(QString::number(elapsed)));
}

void TestVisaFind::findListThroughApi()
{
    ViSession rm = VI_NULL;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    ViFindList list = VI_NULL;
    ViUInt32 count = 99;
    char desc[VI_FIND_BUFLEN] = "x";
    QCOMPARE(viFindRsrc(rm, "?*", &list, &count, desc), VI_SUCCESS);
    QCOMPARE(count, 3u);
    QStringList names{QString::fromLatin1(desc)};
    while (viFindNext(list, desc) == VI_SUCCESS)
        names << QString::fromLatin1(desc);
    QCOMPARE(names, (QStringList{"TCPIP0::10.0.0.7::hislip0::INSTR", "TCPIP0::192.168.7.7::5025::SOCKET",
                                 "TCPIP0::bench-psu.lan::inst0::INSTR"}));
    QCOMPARE(viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
    QCOMPARE(viClose(list), VI_SUCCESS);
    // Every name found reads back as itself.
    for (const QString &name : names) {
        char expanded[VI_FIND_BUFLEN] = "";
        QCOMPARE(viParseRsrcEx(rm, name.toLatin1().constData(), VI_NULL, VI_NULL, VI_NULL, expanded, VI_NULL), VI_SUCCESS);
        QCOMPARE(QString::fromLatin1(expanded), name);
    }
    QCOMPARE(viFindNext(list, desc), VI_ERROR_INV_OBJECT);

    QCOMPARE(viFindRsrc(rm, "?*SOCKET", VI_NULL, VI_NULL, desc), VI_SUCCESS);
    QCOMPARE(QByteArray(desc), QByteArray("TCPIP0::192.168.7.7::5025::SOCKET"));
    count = 5;
    list = 7;
    QCOMPARE(viFindRsrc(rm, "GPIB?*", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
    QCOMPARE(count, 0u);
    QCOMPARE(list, ViFindList(VI_NULL));
    QCOMPARE(viFindRsrc(rm, "?*{", &list, &count, desc), VI_ERROR_INV_EXPR);

    // A find list lives no longer than its resource manager.
    QCOMPARE(viFindRsrc(rm, "TCPIP?*", &list, &count, desc), VI_SUCCESS);
    QCOMPARE(viClose(rm), VI_SUCCESS);
    QCOMPARE(viFindNext(list, desc), VI_ERROR_INV_OBJECT);
    QCOMPARE(viFindRsrc(rm, "?*", &list, &count, desc), VI_ERROR_INV_OBJECT);
}

void TestVisaFind::aliasesThroughApi_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("expanded");
    QTest::addColumn<QByteArray>("alias");
    QTest::newRow("alias, any case") << QByteArray("sCOPE") << int(VI_SUCCESS)
                                     << QByteArray("TCPIP0::10.0.0.7::hislip0::INSTR") << QByteArray("Scope");
    QTest::newRow("target names its alias") << QByteArray("tcpip::10.0.0.7::HISLIP0::INSTR") << int(VI_SUCCESS)
                                            << QByteArray("TCPIP0::10.0.0.7::HISLIP0::INSTR") << QByteArray("Scope");
    QTest::newRow("plain name") << QByteArray("TCPIP::10.0.0.9") << int(VI_SUCCESS)
                                << QByteArray("TCPIP0::10.0.0.9::inst0::INSTR") << QByteArray("");
    QTest::newRow("unknown alias") << QByteArray("meter") << int(VI_ERROR_RSRC_NFOUND) << QByteArray() << QByteArray();
    QTest::newRow("malformed") << QByteArray("TCPIP::") << int(VI_ERROR_INV_RSRC_NAME) << QByteArray() << QByteArray();
}

void TestVisaFind::aliasesThroughApi()
{
    QFETCH(QByteArray, name);
    QFETCH(int, status);
    QFETCH(QByteArray, expanded);
    QFETCH(QByteArray, alias);
    ViSession rm = VI_NULL;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    ViUInt16 type = 0, num = 99;
    char cls[VI_FIND_BUFLEN] = "", full[VI_FIND_BUFLEN] = "", al[VI_FIND_BUFLEN] = "junk";
    QCOMPARE(int(viParseRsrcEx(rm, name.constData(), &type, &num, cls, full, al)), status);
    if (status == VI_SUCCESS) {
        QCOMPARE(QByteArray(full), expanded);
        QCOMPARE(QByteArray(al), alias);
        QCOMPARE(type, ViUInt16(VI_INTF_TCPIP));
        QCOMPARE(num, ViUInt16(0));
        QCOMPARE(int(viParseRsrc(rm, name.constData(), VI_NULL, VI_NULL)), status);
    }
    viClose(rm);
}

QTEST_GUILESS_MAIN(TestVisaFind)
#include "tst_visa_find.moc"
