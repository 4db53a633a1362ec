#include "api/rsrc_parse.h"

#include <QtTest>

using velq::rsrc_kind;
using velq::rsrc_parsed;

namespace {

// The fields that matter for the resource's interface type, in one comparable line.
QString details(const rsrc_parsed &r)
{
    switch (r.kind) {
    case rsrc_kind::tcpip_socket:
        return QStringLiteral("host=%1 port=%2").arg(QString::fromStdString(r.host)).arg(r.port);
    case rsrc_kind::tcpip_instr:
        return QStringLiteral("host=%1 dev=%2 hislip=%3 hport=%4")
            .arg(QString::fromStdString(r.host), QString::fromStdString(r.lan_device))
            .arg(r.is_hislip ? 1 : 0)
            .arg(r.hislip_port);
    case rsrc_kind::asrl_instr:
        return QStringLiteral("path=%1").arg(QString::fromStdString(r.asrl_path));
    case rsrc_kind::usb_instr:
    case rsrc_kind::usb_raw:
        return QStringLiteral("vid=%1 pid=%2 sn=%3 intf=%4")
            .arg(r.usb_vid, 4, 16, QLatin1Char('0'))
            .arg(r.usb_pid, 4, 16, QLatin1Char('0'))
            .arg(QString::fromStdString(r.usb_serial))
            .arg(r.usb_intf);
    case rsrc_kind::gpib_instr:
        return QStringLiteral("pad=%1 sad=%2").arg(r.gpib_primary).arg(r.gpib_secondary);
    default:
        return QString();
    }
}

} // namespace

class TestVisaRsrc : public QObject {
    Q_OBJECT

private slots:
    void parsesWellFormedNames_data();
    void parsesWellFormedNames();
    void rejectsOtherNames_data();
    void rejectsOtherNames();
};

void TestVisaRsrc::parsesWellFormedNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("canonical");
    QTest::addColumn<int>("intf");
    QTest::addColumn<int>("board");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("fields");

    QTest::newRow("socket") << QByteArray("TCPIP0::127.0.0.1::5025::SOCKET") << "TCPIP0::127.0.0.1::5025::SOCKET"
                            << 6 << 0 << "SOCKET" << "host=127.0.0.1 port=5025";
    QTest::newRow("socket lower case, board omitted") << QByteArray("tcpip::instr.lab::5025::socket")
                                                      << "TCPIP0::instr.lab::5025::SOCKET" << 6 << 0 << "SOCKET"
                                                      << "host=instr.lab port=5025";
    QTest::newRow("socket board 3, port 65535") << QByteArray("TCPIP3::10.0.0.5::65535::SOCKET")
                                                << "TCPIP3::10.0.0.5::65535::SOCKET" << 6 << 3 << "SOCKET"
                                                << "host=10.0.0.5 port=65535";
    QTest::newRow("socket IPv6") << QByteArray("TCPIP0::[fe80::1]::5025::SOCKET") << "TCPIP0::[fe80::1]::5025::SOCKET"
                                 << 6 << 0 << "SOCKET" << "host=fe80::1 port=5025";
    QTest::newRow("instr defaults") << QByteArray("TCPIP::10.0.0.5::INSTR") << "TCPIP0::10.0.0.5::inst0::INSTR" << 6
                                    << 0 << "INSTR" << "host=10.0.0.5 dev=inst0 hislip=0 hport=4880";
    QTest::newRow("instr no class") << QByteArray("TCPIP0::10.0.0.5") << "TCPIP0::10.0.0.5::inst0::INSTR" << 6 << 0
                                    << "INSTR" << "host=10.0.0.5 dev=inst0 hislip=0 hport=4880";
    QTest::newRow("instr lower-case class") << QByteArray("tcpip0::h::inst1::instr") << "TCPIP0::h::inst1::INSTR" << 6
                                            << 0 << "INSTR" << "host=h dev=inst1 hislip=0 hport=4880";
    QTest::newRow("vxi11 gpib gateway") << QByteArray("TCPIP::gw::gpib0,5::INSTR") << "TCPIP0::gw::gpib0,5::INSTR"
                                        << 6 << 0 << "INSTR" << "host=gw dev=gpib0,5 hislip=0 hport=4880";
    QTest::newRow("hislip") << QByteArray("TCPIP::10.0.0.5::hislip0::INSTR") << "TCPIP0::10.0.0.5::hislip0::INSTR"
                            << 6 << 0 << "INSTR" << "host=10.0.0.5 dev=hislip0 hislip=1 hport=4880";
    QTest::newRow("hislip explicit port") << QByteArray("TCPIP0::127.0.0.1::hislip0,4881::INSTR")
                                          << "TCPIP0::127.0.0.1::hislip0,4881::INSTR" << 6 << 0 << "INSTR"
                                          << "host=127.0.0.1 dev=hislip0,4881 hislip=1 hport=4881";
    QTest::newRow("hislip upper case, IPv6") << QByteArray("TCPIP0::[::1]::HISLIP2::INSTR")
                                             << "TCPIP0::[::1]::HISLIP2::INSTR" << 6 << 0 << "INSTR"
                                             << "host=::1 dev=HISLIP2 hislip=1 hport=4880";
    QTest::newRow("asrl") << QByteArray("ASRL1::INSTR") << "ASRL1::INSTR" << 4 << 1 << "INSTR" << "path=/dev/ttyS0";
    QTest::newRow("asrl no class") << QByteArray("asrl3") << "ASRL3::INSTR" << 4 << 3 << "INSTR" << "path=/dev/ttyS2";
    QTest::newRow("asrl path keeps case") << QByteArray("asrl/dev/ttyUSB0::instr") << "ASRL/dev/ttyUSB0::INSTR" << 4
                                          << 0 << "INSTR" << "path=/dev/ttyUSB0";
    QTest::newRow("usb hex") << QByteArray("USB::0x0957::0x1755::MY123::INSTR") << "USB0::0x0957::0x1755::MY123::0::INSTR"
                             << 7 << 0 << "INSTR" << "vid=0957 pid=1755 sn=MY123 intf=0";
    QTest::newRow("usb decimal ids, interface") << QByteArray("USB1::2391::5973::MY123::2::INSTR")
                                                << "USB1::0x0957::0x1755::MY123::2::INSTR" << 7 << 1 << "INSTR"
                                                << "vid=0957 pid=1755 sn=MY123 intf=2";
    QTest::newRow("usb raw") << QByteArray("usb0::0xabcd::0x0001::SN::raw") << "USB0::0xABCD::0x0001::SN::0::RAW" << 7
                             << 0 << "RAW" << "vid=abcd pid=0001 sn=SN intf=0";
    QTest::newRow("gpib short") << QByteArray("GPIB::5") << "GPIB0::5::INSTR" << 1 << 0 << "INSTR" << "pad=5 sad=65535";
    QTest::newRow("gpib secondary") << QByteArray("gpib1::5::3::instr") << "GPIB1::5::3::INSTR" << 1 << 1 << "INSTR"
                                    << "pad=5 sad=3";
    QTest::newRow("gpib address 30") << QByteArray("GPIB0::30::INSTR") << "GPIB0::30::INSTR" << 1 << 0 << "INSTR"
                                     << "pad=30 sad=65535";
    QTest::newRow("gpib intfc") << QByteArray("GPIB0::INTFC") << "GPIB0::INTFC" << 1 << 0 << "INTFC" << "";
    QTest::newRow("expands to 255 characters")
        << QByteArray("TCPIP::" + QByteArray(233, 'h')) << "TCPIP0::" + QString(233, 'h') + "::inst0::INSTR" << 6
        << 0 << "INSTR" << "host=" + QString(233, 'h') + " dev=inst0 hislip=0 hport=4880";
    QTest::newRow("surrounding blanks") << QByteArray("  GPIB0::18::INSTR ") << "GPIB0::18::INSTR" << 1 << 0 << "INSTR"
                                        << "pad=18 sad=65535";
}

void TestVisaRsrc::parsesWellFormedNames()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, canonical);
    QFETCH(int, intf);
    QFETCH(int, board);
    QFETCH(QString, cls);
    QFETCH(QString, fields);

    rsrc_parsed r;
    QCOMPARE(velq::rsrc_parse(name.constData(), &r), VI_SUCCESS);
    QCOMPARE(QString::fromStdString(r.canonical), canonical);
    QCOMPARE(int(r.intf_type), intf);
    QCOMPARE(int(r.board), board);
    QCOMPARE(QString::fromStdString(r.rsrc_class), cls);
    QCOMPARE(details(r), fields);

    // The canonical form is itself a name that parses to the same resource.
    rsrc_parsed again;
    QCOMPARE(velq::rsrc_parse(r.canonical.c_str(), &again), VI_SUCCESS);
    QCOMPARE(QString::fromStdString(again.canonical), canonical);
}

void TestVisaRsrc::rejectsOtherNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("status");

    const int inv = VI_ERROR_INV_RSRC_NAME;
    const int nfound = VI_ERROR_RSRC_NFOUND;
    QTest::newRow("empty") << QByteArray("") << inv;
    QTest::newRow("blanks only") << QByteArray("   ") << inv;
    QTest::newRow("socket without port") << QByteArray("TCPIP0::127.0.0.1::SOCKET") << inv;
    QTest::newRow("socket port 0") << QByteArray("TCPIP0::127.0.0.1::0::SOCKET") << inv;
    QTest::newRow("socket port too big") << QByteArray("TCPIP0::127.0.0.1::65536::SOCKET") << inv;
    QTest::newRow("socket port not numeric") << QByteArray("TCPIP0::127.0.0.1::50x5::SOCKET") << inv;
    QTest::newRow("socket port negative") << QByteArray("TCPIP0::127.0.0.1::-1::SOCKET") << inv;
    QTest::newRow("socket extra token") << QByteArray("TCPIP0::h::5025::x::SOCKET") << inv;
    QTest::newRow("tcpip without host") << QByteArray("TCPIP0") << inv;
    QTest::newRow("tcpip class as host") << QByteArray("TCPIP0::INSTR") << inv;
    QTest::newRow("tcpip empty host") << QByteArray("TCPIP0::::INSTR") << inv;
    QTest::newRow("tcpip empty token") << QByteArray("TCPIP0::h::::INSTR") << inv;
    QTest::newRow("tcpip host with blank") << QByteArray("TCPIP0::my host::INSTR") << inv;
    QTest::newRow("tcpip unclosed bracket") << QByteArray("TCPIP0::[fe80::1::INSTR") << inv;
    QTest::newRow("tcpip too many tokens") << QByteArray("TCPIP0::h::inst0::x::INSTR") << inv;
    QTest::newRow("tcpip bad board") << QByteArray("TCPIPx::h::INSTR") << inv;
    QTest::newRow("trailing separator") << QByteArray("TCPIP0::h::INSTR::") << inv;
    QTest::newRow("hislip bad port") << QByteArray("TCPIP0::h::hislip0,abc::INSTR") << inv;
    QTest::newRow("hislip port 0") << QByteArray("TCPIP0::h::hislip0,0::INSTR") << inv;
    QTest::newRow("hislip bad name") << QByteArray("TCPIP0::h::hislip_0::INSTR") << inv;
    QTest::newRow("gpib no address") << QByteArray("GPIB0::INSTR") << inv;
    QTest::newRow("gpib primary 31") << QByteArray("GPIB0::31::INSTR") << inv;
    QTest::newRow("gpib secondary 31") << QByteArray("GPIB0::5::31::INSTR") << inv;
    QTest::newRow("gpib huge number") << QByteArray("GPIB0::99999999999999999999::INSTR") << inv;
    QTest::newRow("gpib board overflow") << QByteArray("GPIB70000::5::INSTR") << inv;
    QTest::newRow("usb missing serial") << QByteArray("USB0::0x0957::0x1755::INSTR") << inv;
    QTest::newRow("usb vid too big") << QByteArray("USB0::0x10000::0x1755::SN::INSTR") << inv;
    QTest::newRow("usb bad hex") << QByteArray("USB0::0xZZ::0x1755::SN::INSTR") << inv;
    QTest::newRow("asrl extra token") << QByteArray("ASRL1::5::INSTR") << inv;
    QTest::newRow("socket class on asrl") << QByteArray("ASRL1::SOCKET") << inv;
    QTest::newRow("unknown keyword with tokens") << QByteArray("FOO0::1::INSTR") << inv;
    QTest::newRow("control character") << QByteArray("TCPIP0::h\x01::INSTR") << inv;
    QTest::newRow("too long") << QByteArray("TCPIP0::" + QByteArray(300, 'a') + "::INSTR") << inv;
    QTest::newRow("expands past 255, tcpip") << QByteArray("TCPIP::" + QByteArray(234, 'h')) << inv;
    QTest::newRow("expands past 255, usb") << QByteArray("USB::1::2::" + QByteArray(240, 's')) << inv;
    // Well-formed, but nothing can resolve or reach it.
    QTest::newRow("alias") << QByteArray("mydmm") << nfound;
    QTest::newRow("vxi") << QByteArray("VXI0::1::INSTR") << nfound;
    QTest::newRow("pxi") << QByteArray("PXI0::3-15::INSTR") << nfound;
}

void TestVisaRsrc::rejectsOtherNames()
{
    QFETCH(QByteArray, name);
    QFETCH(int, status);
    rsrc_parsed r;
    r.canonical = "untouched";
    QCOMPARE(int(velq::rsrc_parse(name.constData(), &r)), status);
    QCOMPARE(QString::fromStdString(r.canonical), QStringLiteral("untouched"));
}

QTEST_GUILESS_MAIN(TestVisaRsrc)
#include "tst_visa_rsrc.moc"
