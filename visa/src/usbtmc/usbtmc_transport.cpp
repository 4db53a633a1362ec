#include "usbtmc/usbtmc_transport.h"

#include "api/rsrc_parse.h"
#include "api/status_desc.h"
#include "find/find_sysfs.h"
#include "transport/dev_open.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <linux/usb/tmc.h>
#include <strings.h>
#include <unistd.h>

namespace velq {

namespace {

// The driver refuses shorter time-outs.
constexpr ViUInt32 kDriverMinTmoMs = 100;
// An infinite VISA time-out still has to be a number for the driver; a day is as good as never.
constexpr ViUInt32 kDriverMaxTmoMs = 24u * 3600u * 1000u;

class kernel_sys : public usbtmc_sys {
public:
    int open(const std::string &path) override { return ::open(path.c_str(), O_RDWR | O_CLOEXEC); }
    void close(int fd) override { ::close(fd); }
    ssize_t read(int fd, void *buf, size_t len) override { return ::read(fd, buf, len); }
    ssize_t write(int fd, const void *buf, size_t len) override { return ::write(fd, buf, len); }
    int ioctl(int fd, unsigned long request, void *arg) override { return ::ioctl(fd, request, arg); }
};

// An unplugged device answers with one of these for good; the session cannot come back.
ViStatus status_of_errno(int err)
{
    switch (err) {
    case ETIMEDOUT:
        return VI_ERROR_TMO;
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN:
    case EIO:
    case EPIPE:
    case EPROTO:
        return VI_ERROR_CONN_LOST;
    case ECANCELED:
        return VI_ERROR_ABORT;
    default:
        return VI_ERROR_IO;
    }
}

} // namespace

std::shared_ptr<usbtmc_sys> usbtmc_sys_kernel()
{
    static const std::shared_ptr<usbtmc_sys> sys = std::make_shared<kernel_sys>();
    return sys;
}

usbtmc_transport::usbtmc_transport(std::shared_ptr<usbtmc_sys> sys, std::string sysfs_root, std::string dev_root)
    : m_sys(std::move(sys)), m_sysfs_root(std::move(sysfs_root)), m_dev_root(std::move(dev_root))
{
}

usbtmc_transport::~usbtmc_transport()
{
    close();
}

ViStatus usbtmc_transport::open(const rsrc_parsed &rsrc, ViUInt32 open_tmo_ms)
{
    (void)open_tmo_ms;
    const usbtmc_node *best = nullptr;
    const std::vector<usbtmc_node> nodes = usbtmc_nodes(m_sysfs_root);
    for (const usbtmc_node &n : nodes) {
        // Names compare without regard to case, the serial number as the rest of the name.
        if (n.vid != rsrc.usb_vid || n.pid != rsrc.usb_pid || ::strcasecmp(n.serial.c_str(), rsrc.usb_serial.c_str()) != 0)
            continue;
        if (rsrc.usb_intf_given ? n.intf == static_cast<unsigned>(rsrc.usb_intf) : (!best || n.intf < best->intf))
            best = &n;
    }
    if (!best) {
        status_cause_set(VI_ERROR_RSRC_NFOUND, "No USBTMC device with these ids is bound to the kernel's usbtmc driver");
        return VI_ERROR_RSRC_NFOUND;
    }
    const std::string path = m_dev_root + "/" + best->dev_name;
    m_fd = m_sys->open(path);
    if (m_fd < 0)
        return dev_open_error(errno, path);
    m_intf = static_cast<ViInt16>(best->intf);
    return VI_SUCCESS;
}

ViStatus usbtmc_transport::call(unsigned long request, void *arg)
{
    if (m_fd < 0)
        return VI_ERROR_CONN_LOST;
    if (m_interrupted.load())
        return VI_ERROR_ABORT;
    return m_sys->ioctl(m_fd, request, arg) == 0 ? VI_SUCCESS : status_of_errno(errno);
}

ViStatus usbtmc_transport::set_timeout(ViUInt32 ms)
{
    ms = std::clamp(ms, kDriverMinTmoMs, kDriverMaxTmoMs);
    if (ms == m_driver_tmo)
        return VI_SUCCESS;
    __u32 value = ms;
    const ViStatus st = call(USBTMC_IOCTL_SET_TIMEOUT, &value);
    if (st == VI_SUCCESS)
        m_driver_tmo = ms;
    return st;
}

ViStatus usbtmc_transport::write(const ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    ViStatus st = set_timeout(attrs.tmo_ms);
    const int eom = attrs.send_end_en ? 1 : 0;
    if (st == VI_SUCCESS && eom != m_eom) {
        __u8 value = static_cast<__u8>(eom);
        st = call(USBTMC_IOCTL_EOM_ENABLE, &value);
        if (st == VI_SUCCESS)
            m_eom = eom;
    }
    if (st != VI_SUCCESS)
        return st;
    // A new command makes whatever of an older answer is still kept worthless.
    m_reader.reset();
    size_t done = 0;
    while (done < cnt) {
        const ssize_t n = m_sys->write(m_fd, buf + done, cnt - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *ret_cnt = static_cast<ViUInt32>(done);
            return n < 0 ? status_of_errno(errno) : VI_ERROR_IO;
        }
        done += static_cast<size_t>(n);
    }
    *ret_cnt = static_cast<ViUInt32>(done);
    return VI_SUCCESS;
}

ViStatus usbtmc_transport::read(ViByte *buf, ViUInt32 cnt, ViUInt32 *ret_cnt, const io_attrs &attrs)
{
    *ret_cnt = 0;
    if (m_interrupted.load())
        return VI_ERROR_ABORT;
    return m_reader.read(*this, buf, cnt, ret_cnt, attrs);
}

ViStatus usbtmc_transport::next_chunk(ViByte *dst, size_t cap, size_t gathered, const io_attrs &attrs,
                                      const tcp_deadline &deadline, read_chunk *chunk)
{
    (void)gathered;
    (void)attrs;
    for (;;) {
        if (deadline.passed())
            return VI_ERROR_TMO;
        // The driver blocks in read() for its own time-out: give it what is left of ours.
        ViStatus st = set_timeout(deadline.remaining_ms());
        if (st != VI_SUCCESS)
            return st;
        const ssize_t n = m_sys->read(m_fd, dst, cap);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return status_of_errno(errno);
        }
        chunk->len = static_cast<size_t>(n);
        __u8 msg_attr = 0;
        st = call(USBTMC_IOCTL_MSG_IN_ATTR, &msg_attr);
        if (st == VI_SUCCESS)
            chunk->end = (msg_attr & 0x01) != 0;
        else if (st == VI_ERROR_IO)
            chunk->end = static_cast<size_t>(n) < cap; // a driver too old to tell: a short transfer ends it
        else
            return st;
        if (n > 0 || chunk->end)
            return VI_SUCCESS;
    }
}

ViStatus usbtmc_transport::clear(const io_attrs &attrs)
{
    (void)attrs;
    m_reader.reset();
    return call(USBTMC_IOCTL_CLEAR);
}

ViStatus usbtmc_transport::read_stb(ViUInt16 *stb, const io_attrs &attrs)
{
    ViStatus st = set_timeout(attrs.tmo_ms);
    __u8 value = 0;
    if (st == VI_SUCCESS)
        st = call(USBTMC488_IOCTL_READ_STB, &value);
    if (st == VI_SUCCESS)
        *stb = value;
    return st;
}

ViStatus usbtmc_transport::assert_trigger(ViUInt16 protocol, const io_attrs &attrs)
{
    if (protocol != VI_TRIG_PROT_DEFAULT)
        return VI_ERROR_INV_PROT;
    const ViStatus st = set_timeout(attrs.tmo_ms);
    return st == VI_SUCCESS ? call(USBTMC488_IOCTL_TRIGGER) : st;
}

ViStatus usbtmc_transport::gpib_control_ren(ViUInt16 mode, const io_attrs &attrs)
{
    ViStatus st = set_timeout(attrs.tmo_ms);
    if (st != VI_SUCCESS)
        return st;
    unsigned char on = 1, off = 0;
    switch (mode) {
    case VI_GPIB_REN_DEASSERT:
        return call(USBTMC488_IOCTL_REN_CONTROL, &off);
    case VI_GPIB_REN_ASSERT:
    case VI_GPIB_REN_ASSERT_ADDRESS:
        return call(USBTMC488_IOCTL_REN_CONTROL, &on);
    case VI_GPIB_REN_DEASSERT_GTL:
        st = call(USBTMC488_IOCTL_GOTO_LOCAL);
        return st == VI_SUCCESS ? call(USBTMC488_IOCTL_REN_CONTROL, &off) : st;
    case VI_GPIB_REN_ASSERT_LLO:
    case VI_GPIB_REN_ASSERT_ADDRESS_LLO:
        st = call(USBTMC488_IOCTL_REN_CONTROL, &on);
        return st == VI_SUCCESS ? call(USBTMC488_IOCTL_LOCAL_LOCKOUT) : st;
    case VI_GPIB_REN_ADDRESS_GTL:
        return call(USBTMC488_IOCTL_GOTO_LOCAL);
    default:
        return VI_ERROR_INV_MODE;
    }
}

void usbtmc_transport::interrupt()
{
    m_interrupted.store(true);
    // Ends a read or write the driver is blocked in; the descriptor stays open until close().
    const int fd = m_fd;
    if (fd >= 0)
        m_sys->ioctl(fd, USBTMC_IOCTL_CANCEL_IO, nullptr);
}

void usbtmc_transport::close()
{
    if (m_fd >= 0)
        m_sys->close(m_fd);
    m_fd = -1;
}

ViStatus usbtmc_transport::get_attribute(ViAttr attr, void *value)
{
    if (attr == VI_ATTR_USB_INTFC_NUM && m_fd >= 0) {
        *static_cast<ViInt16 *>(value) = m_intf;
        return VI_SUCCESS;
    }
    return VI_ERROR_NSUP_ATTR;
}

} // namespace velq
