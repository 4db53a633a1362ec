#include "serial/asrl_port.h"

#include <termios.h>

namespace velq {

namespace {

struct baud_entry {
    ViUInt32 rate;
    speed_t code;
};

// Rates outside this table would need the driver's arbitrary-rate interface, which not every
// UART has; refusing them is better than a port silently running at another speed.
constexpr baud_entry kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool baud_code(ViUInt32 rate, speed_t *code)
{
    for (const baud_entry &e : kBauds) {
        if (e.rate == rate) {
            *code = e.code;
            return true;
        }
    }
    return false;
}

bool build(termios &t, const asrl_settings &s)
{
    speed_t speed = 0;
    if (!baud_code(s.baud, &speed) || s.data_bits < 5 || s.data_bits > 8 || s.parity > VI_ASRL_PAR_SPACE)
        return false;
    // termios has no DTR/DSR handshake; the other two may be combined.
    if (s.flow & ~static_cast<ViUInt16>(VI_ASRL_FLOW_XON_XOFF | VI_ASRL_FLOW_RTS_CTS))
        return false;
    if ((s.flow & VI_ASRL_FLOW_XON_XOFF) && s.xon == s.xoff)
        return false;
    // One and a half stop bits exist only with five data bits, where the UART makes CSTOPB mean it.
    if (s.stop_bits == VI_ASRL_STOP_ONE5 ? s.data_bits != 5
                                         : s.stop_bits != VI_ASRL_STOP_ONE && s.stop_bits != VI_ASRL_STOP_TWO)
        return false;

    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[s.data_bits - 5];
    switch (s.parity) {
    case VI_ASRL_PAR_ODD:
        t.c_cflag |= PARENB | PARODD;
        break;
    case VI_ASRL_PAR_EVEN:
        t.c_cflag |= PARENB;
        break;
    case VI_ASRL_PAR_MARK:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case VI_ASRL_PAR_SPACE:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (s.stop_bits != VI_ASRL_STOP_ONE)
        t.c_cflag |= CSTOPB;
    if (s.flow & VI_ASRL_FLOW_RTS_CTS)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (s.flow & VI_ASRL_FLOW_XON_XOFF) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = s.xon;
        t.c_cc[VSTOP] = s.xoff;
    }
    // Reads never block in the driver: poll() with the session's time-out decides how long to wait.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return true;
}

} // namespace

ViStatus asrl_apply(int fd, const asrl_settings &s)
{
    termios old{};
    if (::tcgetattr(fd, &old) != 0)
        return VI_ERROR_NSUP_ATTR_STATE;
    termios want = old;
    if (!build(want, s))
        return VI_ERROR_NSUP_ATTR_STATE;
    // tcsetattr succeeds when any part of the request took, so read back what the driver kept.
    termios got{};
    const tcflag_t checked = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    if (::tcsetattr(fd, TCSANOW, &want) != 0 || ::tcgetattr(fd, &got) != 0
        || (got.c_cflag & checked) != (want.c_cflag & checked)) {
        ::tcsetattr(fd, TCSANOW, &old);
        return VI_ERROR_NSUP_ATTR_STATE;
    }
    return VI_SUCCESS;
}

} // namespace velq
