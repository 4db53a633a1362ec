#include "find/find_sysfs.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace velq {

namespace {

// sysfs attributes are short; a bigger file is not one.
std::string read_attr(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    if (!f)
        return {};
    char buf[256];
    f.read(buf, sizeof buf);
    std::string s(buf, static_cast<size_t>(f.gcount()));
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    return s;
}

bool parse_hex(const std::string &s, unsigned long max, unsigned long *out)
{
    if (s.empty() || s.size() > 8)
        return false;
    char *end = nullptr;
    const unsigned long v = std::strtoul(s.c_str(), &end, 16);
    if (!end || *end != '\0' || v > max)
        return false;
    *out = v;
    return true;
}

// A name token cannot hold "::" nor white space; such a serial number would make a name that
// no call accepts.
bool usable_serial(const std::string &s)
{
    if (s.empty() || s.find("::") != std::string::npos)
        return false;
    for (char c : s) {
        if (!std::isgraph(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

} // namespace

void find_source_serial::collect(std::vector<found_rsrc> *out, unsigned)
{
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(m_root) / "class" / "tty", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const fs::path device = it->path() / "device";
        if (!fs::exists(device, ec))
            continue;
        const fs::path subsystem = fs::read_symlink(device / "subsystem", ec);
        if (ec || subsystem.filename() == "platform") {
            ec.clear();
            continue;
        }
        // Newer kernels hang every port on the serial core's own bus; there "type" 0 says that
        // no UART answered at the port's address.
        if (read_attr(it->path() / "type") == "0")
            continue;
        unsigned long n = 0;
        char *endp = nullptr;
        if (name.size() > 4 && name.compare(0, 4, "ttyS") == 0
            && (n = std::strtoul(name.c_str() + 4, &endp, 10), endp && *endp == '\0') && n < 0xFFFF)
            out->push_back({"ASRL" + std::to_string(n + 1) + "::INSTR", {}, {}});
        else
            out->push_back({"ASRL/dev/" + name + "::INSTR", {}, {}});
    }
}

std::vector<usbtmc_node> usbtmc_nodes(const std::string &root)
{
    std::vector<usbtmc_node> nodes;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(root) / "class" / "usbmisc", ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().filename().string().compare(0, 6, "usbtmc") != 0)
            continue;
        std::error_code ec2;
        const fs::path intf = fs::canonical(it->path() / "device", ec2);
        if (ec2)
            continue;
        const fs::path dev = intf.parent_path();
        unsigned long vid = 0, pid = 0, num = 0;
        if (!parse_hex(read_attr(dev / "idVendor"), 0xFFFF, &vid) || !parse_hex(read_attr(dev / "idProduct"), 0xFFFF, &pid)
            || !parse_hex(read_attr(intf / "bInterfaceNumber"), 0xFF, &num))
            continue;
        usbtmc_node n;
        n.vid = static_cast<unsigned>(vid);
        n.pid = static_cast<unsigned>(pid);
        n.intf = static_cast<unsigned>(num);
        n.serial = read_attr(dev / "serial");
        n.dev_name = it->path().filename().string();
        n.manufacturer = read_attr(dev / "manufacturer");
        n.product = read_attr(dev / "product");
        nodes.push_back(std::move(n));
    }
    return nodes;
}

void find_source_usbtmc::collect(std::vector<found_rsrc> *out, unsigned)
{
    for (const usbtmc_node &n : usbtmc_nodes(m_root)) {
        if (!usable_serial(n.serial))
            continue;
        char head[32];
        std::snprintf(head, sizeof head, "USB0::0x%04X::0x%04X::", n.vid, n.pid);
        out->push_back({head + n.serial + "::" + std::to_string(n.intf) + "::INSTR", n.manufacturer, n.product});
    }
}

} // namespace velq
