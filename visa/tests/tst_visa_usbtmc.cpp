// The USBTMC transport against a scripted device in the kernel driver's place and a fake sysfs
// tree; this machine has no USB bus.

#include "api/rsrc_parse.h"
#include "api/status_desc.h"
#include "usbtmc/usbtmc_transport.h"

#include <QtTest>

#include <cerrno>
#include <deque>
#include <sys/ioctl.h>
#include <linux/usb/tmc.h>
#include <map>

using namespace velq;

namespace {

// One bulk-IN transfer the device answers with, or the errno its read fails with.
struct transfer {
    QByteArray data;
    bool eom = true;
    int err = 0;
};

class fake_device : public usbtmc_sys {
public:
    std::map<std::string, int> open_errno; // node path -> errno (0: opens)
    std::deque<transfer> answers;
    bool endless = false; // answers "x" for ever, never with EOM
    int gone_errno = 0;   // every call fails with it once set
    QByteArray written;
    int eom_enabled = -1;
    int clears = 0, triggers = 0;
    unsigned timeout_ms = 0;
    std::string opened;

    int open(const std::string &path) override
    {
        const auto it = open_errno.find(path);
        const int err = it == open_errno.end() ? ENOENT : it->second;
        if (err) {
            errno = err;
            return -1;
        }
        opened = path;
        return 7;
    }
    void close(int) override {}
    ssize_t read(int, void *buf, size_t len) override
    {
        if (fail())
            return -1;
        if (endless) {
            std::memset(buf, 'x', len);
            m_eom = false;
            return static_cast<ssize_t>(len);
        }
        if (answers.empty()) {
            errno = ETIMEDOUT;
            return -1;
        }
        transfer &t = answers.front();
        if (t.err) {
            errno = t.err;
            answers.pop_front();
            return -1;
        }
        const size_t n = std::min(len, static_cast<size_t>(t.data.size()));
        std::memcpy(buf, t.data.constData(), n);
        t.data.remove(0, static_cast<int>(n));
        m_eom = t.data.isEmpty() && t.eom;
        if (t.data.isEmpty())
            answers.pop_front();
        return static_cast<ssize_t>(n);
    }
    ssize_t write(int, const void *buf, size_t len) override
    {
        if (fail())
            return -1;
        written.append(static_cast<const char *>(buf), static_cast<int>(len));
        return static_cast<ssize_t>(len);
    }
    int ioctl(int, unsigned long request, void *arg) override
    {
        if (request == USBTMC_IOCTL_CANCEL_IO)
            return 0;
        if (fail())
            return -1;
        if (request == USBTMC_IOCTL_SET_TIMEOUT)
            timeout_ms = *static_cast<__u32 *>(arg);
        else if (request == USBTMC_IOCTL_EOM_ENABLE)
            eom_enabled = *static_cast<__u8 *>(arg);
        else if (request == USBTMC_IOCTL_MSG_IN_ATTR)
            *static_cast<__u8 *>(arg) = m_eom ? 1 : 0;
        else if (request == USBTMC_IOCTL_CLEAR)
            ++clears;
        else if (request == USBTMC488_IOCTL_READ_STB)
            *static_cast<unsigned char *>(arg) = 0x50;
        else if (request == USBTMC488_IOCTL_TRIGGER)
            ++triggers;
        return 0;
    }

private:
    bool fail() const
    {
        if (gone_errno)
            errno = gone_errno;
        return gone_errno != 0;
    }
    bool m_eom = false;
};

// A sysfs tree with one device (0957:1796, serial MY123) whose interfaces 2 and 0 the driver has
// bound as usbtmc0 and usbtmc1, and a device without serial number as usbtmc2.
class fake_sysfs {
public:
    fake_sysfs()
    {
        add_device("1-1", "0957", "1796", "MY123");
        add_interface("1-1", "1-1:1.2", "02", "usbtmc0");
        add_interface("1-1", "1-1:1.0", "00", "usbtmc1");
        add_device("2-1", "1ab1", "04ce", nullptr);
        add_interface("2-1", "2-1:1.0", "00", "usbtmc2");
    }
    std::string root() const { return m_dir.path().toStdString(); }
    std::string dev() const { return m_dir.filePath(QStringLiteral("dev")).toStdString(); }

private:
    void write(const QString &path, const char *text)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.write("\n");
    }
    QString devices() const { return m_dir.filePath(QStringLiteral("bus/usb/devices/")); }
    void add_device(const char *name, const char *vid, const char *pid, const char *serial)
    {
        const QString dir = devices() + QLatin1String(name);
        write(dir + QStringLiteral("/idVendor"), vid);
        write(dir + QStringLiteral("/idProduct"), pid);
        if (serial)
            write(dir + QStringLiteral("/serial"), serial);
    }
    void add_interface(const char *device, const char *intf, const char *number, const char *node)
    {
        const QString dir = devices() + QLatin1String(device) + QLatin1Char('/') + QLatin1String(intf);
        write(dir + QStringLiteral("/bInterfaceNumber"), number);
        const QString cls = m_dir.filePath(QStringLiteral("class/usbmisc/")) + QLatin1String(node);
        QDir().mkpath(cls);
        QVERIFY(QFile::link(dir, cls + QStringLiteral("/device")));
    }
    QTemporaryDir m_dir;
};

struct opened {
    std::shared_ptr<fake_device> device = std::make_shared<fake_device>();
    fake_sysfs sysfs;
    std::unique_ptr<usbtmc_transport> tr;
    io_attrs attrs;
    ViStatus status = VI_ERROR_SYSTEM_ERROR;

    explicit opened(const char *name = "USB0::0x0957::0x1796::MY123::INSTR", int open_err = 0)
    {
        for (const char *node : {"usbtmc0", "usbtmc1", "usbtmc2"})
            device->open_errno[sysfs.dev() + "/" + node] = open_err;
        tr = std::make_unique<usbtmc_transport>(device, sysfs.root(), sysfs.dev());
        rsrc_parsed r;
        status = rsrc_parse(name, &r);
        if (status == VI_SUCCESS)
            status = tr->open(r, 2000);
    }
};

} // namespace

class TestVisaUsbtmc : public QObject {
    Q_OBJECT
private slots:
    void findsNodeInSysfs_data();
    void findsNodeInSysfs();
    void readStatus_data();
    void readStatus();
    void writeEndsWithEom_data();
    void writeEndsWithEom();
    void controlCalls_data();
    void controlCalls();
};

void TestVisaUsbtmc::findsNodeInSysfs_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("openErrno");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("node"); // or a word of the cause for a failure

    QTest::newRow("lowest-interface") << QByteArray("USB0::0x0957::0x1796::MY123::INSTR") << 0 << int(VI_SUCCESS)
                                      << "usbtmc1";
    QTest::newRow("interface-given") << QByteArray("USB0::0x0957::0x1796::MY123::2::INSTR") << 0 << int(VI_SUCCESS)
                                     << "usbtmc0";
    QTest::newRow("decimal-ids-any-case") << QByteArray("USB0::2391::6038::my123::INSTR") << 0 << int(VI_SUCCESS)
                                          << "usbtmc1";
    QTest::newRow("other-serial") << QByteArray("USB0::0x0957::0x1796::MY124::INSTR") << 0 << int(VI_ERROR_RSRC_NFOUND)
                                  << "usbtmc driver";
    QTest::newRow("interface-not-bound") << QByteArray("USB0::0x0957::0x1796::MY123::1::INSTR") << 0
                                         << int(VI_ERROR_RSRC_NFOUND) << "usbtmc driver";
    QTest::newRow("no-permission") << QByteArray("USB0::0x0957::0x1796::MY123::INSTR") << EACCES
                                   << int(VI_ERROR_RSRC_BUSY) << "udev rule";
    QTest::newRow("node-missing") << QByteArray("USB0::0x0957::0x1796::MY123::INSTR") << ENOENT
                                  << int(VI_ERROR_RSRC_NFOUND) << "No such file";
}

void TestVisaUsbtmc::findsNodeInSysfs()
{
    QFETCH(QByteArray, name);
    QFETCH(int, openErrno);
    QFETCH(int, status);
    QFETCH(QString, node);
    status_cause_clear();
    opened o(name.constData(), openErrno);
    QCOMPARE(o.status, ViStatus(status));
    if (status == VI_SUCCESS) {
        QCOMPARE(QString::fromStdString(o.device->opened), QString::fromStdString(o.sysfs.dev()) + '/' + node);
        return;
    }
    char desc[256] = {0};
    status_desc(o.status, desc);
    QVERIFY2(QByteArray(desc).contains(node.toLatin1()), desc);
}

void TestVisaUsbtmc::readStatus_data()
{
    QTest::addColumn<QList<QByteArray>>("transfers"); // "!" ends without EOM; "E<errno>" fails
    QTest::addColumn<int>("cnt");
    QTest::addColumn<bool>("termcharEn");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("got");

    using L = QList<QByteArray>;
    QTest::newRow("eom") << L{"ABC\n"} << 64 << false << int(VI_SUCCESS) << QByteArray("ABC\n");
    QTest::newRow("two-transfers") << L{"AB!", "C\n"} << 64 << false << int(VI_SUCCESS) << QByteArray("ABC\n");
    QTest::newRow("buffer-full") << L{"ABCD"} << 2 << false << int(VI_SUCCESS_MAX_CNT) << QByteArray("AB");
    QTest::newRow("filled-exactly") << L{"ABCD"} << 4 << false << int(VI_SUCCESS) << QByteArray("ABCD");
    QTest::newRow("termchar") << L{"AB\nCD"} << 64 << true << int(VI_SUCCESS_TERM_CHAR) << QByteArray("AB\n");
    QTest::newRow("time-out-keeps-count") << L{"AB!", "E" + QByteArray::number(ETIMEDOUT)} << 64 << false
                                          << int(VI_ERROR_TMO) << QByteArray("AB");
    QTest::newRow("unplugged") << L{"AB!", "E" + QByteArray::number(ENODEV)} << 64 << false
                               << int(VI_ERROR_CONN_LOST) << QByteArray("AB");
    QTest::newRow("io-error") << L{"E" + QByteArray::number(EIO)} << 64 << false << int(VI_ERROR_CONN_LOST)
                              << QByteArray();
    QTest::newRow("endless") << L{"*"} << 5000 << false << int(VI_SUCCESS_MAX_CNT) << QByteArray(5000, 'x');
}

void TestVisaUsbtmc::readStatus()
{
    QFETCH(QList<QByteArray>, transfers);
    QFETCH(int, cnt);
    QFETCH(bool, termcharEn);
    QFETCH(int, status);
    QFETCH(QByteArray, got);
    opened o;
    QCOMPARE(o.status, VI_SUCCESS);
    for (QByteArray t : transfers) {
        if (t == "*") {
            o.device->endless = true;
        } else if (t.startsWith('E')) {
            o.device->answers.push_back({QByteArray(), true, t.mid(1).toInt()});
        } else {
            const bool eom = !t.endsWith('!');
            o.device->answers.push_back({eom ? t : t.chopped(1), eom, 0});
        }
    }
    o.attrs.termchar_en = termcharEn;
    QByteArray buf(cnt, '\0');
    ViUInt32 n = 0;
    QCOMPARE(o.tr->read(reinterpret_cast<ViByte *>(buf.data()), cnt, &n, o.attrs), ViStatus(status));
    QCOMPARE(buf.left(int(n)), got);
    // The driver's own time-out never exceeds the session's.
    QVERIFY(o.device->timeout_ms >= 100 && o.device->timeout_ms <= 2000);
}

void TestVisaUsbtmc::writeEndsWithEom_data()
{
    QTest::addColumn<bool>("sendEnd");
    QTest::addColumn<int>("goneErrno");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("eom");
    QTest::newRow("eom") << true << 0 << int(VI_SUCCESS) << 1;
    QTest::newRow("no-eom") << false << 0 << int(VI_SUCCESS) << 0;
    QTest::newRow("unplugged") << true << ENODEV << int(VI_ERROR_CONN_LOST) << -1;
}

void TestVisaUsbtmc::writeEndsWithEom()
{
    QFETCH(bool, sendEnd);
    QFETCH(int, goneErrno);
    QFETCH(int, status);
    QFETCH(int, eom);
    opened o;
    QCOMPARE(o.status, VI_SUCCESS);
    o.device->gone_errno = goneErrno;
    o.attrs.send_end_en = sendEnd;
    const QByteArray cmd("*IDN?\n");
    ViUInt32 n = 99;
    QCOMPARE(o.tr->write(reinterpret_cast<const ViByte *>(cmd.constData()), cmd.size(), &n, o.attrs), ViStatus(status));
    QCOMPARE(o.device->eom_enabled, eom);
    QCOMPARE(o.device->written, status == VI_SUCCESS ? cmd : QByteArray());
    QCOMPARE(int(n), int(o.device->written.size()));
}

void TestVisaUsbtmc::controlCalls_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("goneErrno");
    QTest::addColumn<int>("status");
    for (const char *call : {"clear", "stb", "trigger", "ren"}) {
        QTest::addRow("%s", call) << call << 0 << int(VI_SUCCESS);
        QTest::addRow("%s-unplugged", call) << call << ENODEV << int(VI_ERROR_CONN_LOST);
    }
}

void TestVisaUsbtmc::controlCalls()
{
    QFETCH(QString, call);
    QFETCH(int, goneErrno);
    QFETCH(int, status);
    opened o;
    QCOMPARE(o.status, VI_SUCCESS);
    o.device->gone_errno = goneErrno;
    ViUInt16 stb = 0;
    ViStatus st = VI_ERROR_SYSTEM_ERROR;
    if (call == "clear")
        st = o.tr->clear(o.attrs);
    else if (call == "stb")
        st = o.tr->read_stb(&stb, o.attrs);
    else if (call == "trigger")
        st = o.tr->assert_trigger(VI_TRIG_PROT_DEFAULT, o.attrs);
    else
        st = o.tr->gpib_control_ren(VI_GPIB_REN_ASSERT_ADDRESS_LLO, o.attrs);
    QCOMPARE(st, ViStatus(status));
    if (status != VI_SUCCESS)
        return;
    if (call == "clear")
        QCOMPARE(o.device->clears, 1);
    else if (call == "stb")
        QCOMPARE(stb, ViUInt16(0x50));
    else if (call == "trigger")
        QCOMPARE(o.device->triggers, 1);
}

QTEST_GUILESS_MAIN(TestVisaUsbtmc)
#include "tst_visa_usbtmc.moc"
