// velqsim: parses the options, starts the servers and waits for SIGINT/SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <pthread.h>

#include "DeviceRegistry.h"
#include "InstrumentState.h"
#include "Listener.h"
#include "SerialServer.h"
#include "SocketServer.h"
#include "HislipServer.h"
#include "PortmapServer.h"
#include "Vxi11Server.h"
#include "MdnsResponder.h"
#include "mdns_codec.h"
#include "WireLog.h"

// The wire codecs shared with the VISA library.
using namespace velq;

namespace {

struct SSettings
{
    std::string strBind = "127.0.0.1";
    std::string strLogPath;
    int nSocketPort = 5025;
    int nHislipPort = 4880;
    int nVxi11Port = 0;
    int nPortmapperPort = 111;
    std::string strMdnsInstance; // empty: no announcements
    bool bSerial = false;
    int nEvictIdleMs = CListener::IdleEvictionMs();
};

struct SOption
{
    const char* pszName;
    const char* pszValue; // nullptr: a flag without value (--help when fnApply is null too)
    const char* pszHelp;
    std::function<bool(SSettings&, const std::string&)> fnApply;
};

bool ParsePort(const std::string& strValue, int& nPort)
{
    char* pEnd = nullptr;
    const long nValue = std::strtol(strValue.c_str(), &pEnd, 10);
    if (strValue.empty() || *pEnd != '\0' || nValue < 0 || nValue > 65535)
        return false;
    nPort = static_cast<int>(nValue);
    return true;
}

// One row per option; servers added later append their port options here.
const std::vector<SOption>& Options()
{
    static const std::vector<SOption> kOptions = {
        {"--socket-port", "N", "raw SCPI socket port (default 5025, 0 = ephemeral)",
         [](SSettings& s, const std::string& v) { return ParsePort(v, s.nSocketPort); }},
        {"--hislip-port", "N", "HiSLIP port (default 4880, 0 = ephemeral)",
         [](SSettings& s, const std::string& v) { return ParsePort(v, s.nHislipPort); }},
        {"--vxi11-port", "N", "VXI-11 core channel port (default 0 = ephemeral)",
         [](SSettings& s, const std::string& v) { return ParsePort(v, s.nVxi11Port); }},
        {"--portmapper-port", "N", "portmapper port for VXI-11 (default 111, 0 = ephemeral)",
         [](SSettings& s, const std::string& v) { return ParsePort(v, s.nPortmapperPort); }},
        {"--bind", "ADDR", "IPv4 address to listen on (default 127.0.0.1)",
         [](SSettings& s, const std::string& v) { s.strBind = v; return !v.empty(); }},
        {"--mdns", "NAME", "announce the servers by multicast DNS as instance NAME",
         [](SSettings& s, const std::string& v) { s.strMdnsInstance = v; return !v.empty() && v.size() <= 63; }},
        {"--evict-idle-ms", "N", "when a server is full, a connection silent for N ms (default 30000)\n"
         "                         is closed to make room for a new client",
         [](SSettings& s, const std::string& v) {
             char* pEnd = nullptr;
             const long nValue = std::strtol(v.c_str(), &pEnd, 10);
             s.nEvictIdleMs = static_cast<int>(nValue);
             return !v.empty() && *pEnd == '\0' && nValue >= 0 && nValue <= 24L * 3600 * 1000;
         }},
        {"--log", "FILE", "write the wire log to FILE (see below)",
         [](SSettings& s, const std::string& v) { s.strLogPath = v; return !v.empty(); }},
        {"--serial", nullptr, "also serve a serial instrument on a pseudo-terminal",
         [](SSettings& s, const std::string&) { return s.bSerial = true; }},
        {"--help", nullptr, "show this help and exit", nullptr},
    };
    return kOptions;
}

void PrintHelp()
{
    std::printf("Usage: velqsim [options]\n"
                "A SCPI / IEEE 488.2 instrument simulator.\n\nOptions:\n");
    for (const SOption& opt : Options()) {
        std::string strLeft = std::string(opt.pszName) + (opt.pszValue ? std::string(" ") + opt.pszValue : "");
        std::printf("  %-22s %s\n", strLeft.c_str(), opt.pszHelp);
    }
    std::printf("\nOn start-up one line per server is printed as soon as it listens, e.g.\n"
                "  SOCKET <port> TCPIP0::<address>::<port>::SOCKET\n"
                "  HISLIP <port> TCPIP0::<address>::hislip0,<port>::INSTR\n"
                "  PORTMAPPER <port>            (missing when no portmapper could be offered)\n"
                "  MDNS 5353 <name>             (with --mdns)\n"
                "  VXI11 <port> TCPIP0::<address>::INSTR\n"
                "  ASRL <path> ASRL<path>::INSTR    (with --serial)\n"
                "followed by a line READY.\n"
                "\nWire log: one line per received program message, nothing prefixed. The\n"
                "message's bytes are escaped: printable ASCII other than backslash as is,\n"
                "backslash as \\\\, LF as \\n, CR as \\r, any other byte as \\xHH (lower-case hex).\n"
                "On the raw socket the terminating LF is part of the message; messages ended\n"
                "by END show exactly the bytes received. A connection closed in the middle of\n"
                "a message logs the bytes received so far as a line of its own.\n"
                "\nTest commands:\n"
                "  TEST:TEXT? <n>     n printable bytes, then LF\n"
                "  TEST:BLOCk? <n>    #<d><n> and n bytes (byte i = i mod 256), then LF\n"
                "  TEST:DELay <ms>    hold the next answer back for ms milliseconds (0 = off)\n"
                "  TEST:HANGup <n>    send n bytes without terminator, then close the connection\n"
                "  TEST:WAVeform? [<n>[,<format>[,<order>]]]\n"
                "                     a sine (5 periods, 2 %% noise) of n points (default 1000,\n"
                "                     at most 10000000): format ASCii (comma-separated text, the\n"
                "                     default), INT8, UINT8, INT16, UINT16, INT32, REAL32 or REAL64\n"
                "                     (a #-block); order NORMal (MSB first, default) or SWAPped\n"
                "                     (LSB first)\n"
                "  TEST:SCReen? [PNG|BMP]  a 320x240 screenshot of a pretend display as a #-block\n");
}

} // namespace

int main(int argc, char** argv)
{
    SSettings settings;
    for (int i = 1; i < argc; ++i) {
        std::string strArg = argv[i];
        std::string strValue;
        bool bInlineValue = false;
        const size_t nEq = strArg.find('=');
        if (strArg.compare(0, 2, "--") == 0 && nEq != std::string::npos) {
            strValue = strArg.substr(nEq + 1);
            strArg.resize(nEq);
            bInlineValue = true;
        }
        const SOption* pOption = nullptr;
        for (const SOption& opt : Options()) {
            if (strArg == opt.pszName)
                pOption = &opt;
        }
        if (!pOption) {
            std::fprintf(stderr, "velqsim: unknown option '%s' (see --help)\n", argv[i]);
            return 2;
        }
        if (!pOption->pszValue) {
            if (bInlineValue) {
                std::fprintf(stderr, "velqsim: option %s takes no value\n", pOption->pszName);
                return 2;
            }
            if (pOption->fnApply) {
                pOption->fnApply(settings, strValue);
                continue;
            }
            PrintHelp();
            return 0;
        }
        if (!bInlineValue) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velqsim: option %s needs a value %s\n", pOption->pszName, pOption->pszValue);
                return 2;
            }
            strValue = argv[++i];
        }
        if (!pOption->fnApply(settings, strValue)) {
            std::fprintf(stderr, "velqsim: invalid value '%s' for %s\n", strValue.c_str(), pOption->pszName);
            return 2;
        }
    }

    CListener::SetIdleEvictionMs(settings.nEvictIdleMs);
    std::signal(SIGPIPE, SIG_IGN);
    // Block the stop signals in every thread; the main thread takes them with sigwait.
    sigset_t setStop;
    sigemptyset(&setStop);
    sigaddset(&setStop, SIGINT);
    sigaddset(&setStop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &setStop, nullptr);

    auto pLog = std::make_shared<CWireLog>();
    if (!settings.strLogPath.empty()) {
        std::string strError;
        if (!pLog->Open(settings.strLogPath, strError)) {
            std::fprintf(stderr, "velqsim: %s\n", strError.c_str());
            return 1;
        }
    }
    auto pRegistry = std::make_shared<CDeviceRegistry>(std::make_shared<CInstrumentState>(), pLog);

    std::vector<std::unique_ptr<CServer>> lstServers;
    auto fnStart = [&](std::unique_ptr<CServer> pServer, int nPort) {
        std::string strError;
        if (!pServer->Start(settings.strBind, static_cast<uint16_t>(nPort), strError)) {
            std::fprintf(stderr, "velqsim: %s\n", strError.c_str());
            return false;
        }
        std::printf("%s\n", pServer->AnnounceLine().c_str());
        std::fflush(stdout);
        lstServers.push_back(std::move(pServer));
        return true;
    };
    std::vector<std::pair<std::string, uint16_t>> lstAnnounce;
    if (!fnStart(std::make_unique<CSocketServer>(pRegistry), settings.nSocketPort))
        return 1;
    lstAnnounce.emplace_back("_scpi-raw._tcp.local", lstServers.back()->Port());
    // Another instance may hold 4880; the simulator is still useful without HiSLIP.
    if (!fnStart(std::make_unique<CHislipServer>(pRegistry), settings.nHislipPort))
        std::fprintf(stderr, "velqsim: continuing without HiSLIP\n");
    else
        lstAnnounce.emplace_back("_hislip._tcp.local", lstServers.back()->Port());

    // VXI-11: the portmapper needs the core channel's port, and is optional:
    // without root, port 111 is only reachable through a running rpcbind.
    {
        auto pVxi11 = std::make_unique<CVxi11Server>(pRegistry);
        std::string strError;
        if (pVxi11->Start(settings.strBind, static_cast<uint16_t>(settings.nVxi11Port), strError)) {
            auto pPortmap = std::make_unique<CPortmapServer>();
            pPortmap->AddMapping(vxi11_core_prog, vxi11_core_vers, pmap_ipproto_tcp, pVxi11->Port());
            if (pPortmap->Start(settings.strBind, static_cast<uint16_t>(settings.nPortmapperPort), strError)) {
                std::printf("%s\n", pPortmap->AnnounceLine().c_str());
            } else {
                std::fprintf(stderr, "velqsim: no portmapper: %s\n", strError.c_str());
                pPortmap.reset();
            }
            std::printf("%s\n", pVxi11->AnnounceLine().c_str());
            std::fflush(stdout);
            lstServers.push_back(std::move(pVxi11));
            if (pPortmap) {
                lstAnnounce.emplace_back("_vxi-11._tcp.local", pPortmap->Port());
                lstServers.push_back(std::move(pPortmap));
            }
        } else {
            std::fprintf(stderr, "velqsim: %s; continuing without VXI-11\n", strError.c_str());
        }
    }

    if (settings.bSerial && !fnStart(std::make_unique<CSerialServer>(pRegistry), 0))
        return 1;

    CMdnsResponder mdns;
    if (!settings.strMdnsInstance.empty()) {
        std::string strError;
        if (!mdns.Start(settings.strBind, settings.strMdnsInstance, lstAnnounce, strError)) {
            std::fprintf(stderr, "velqsim: %s\n", strError.c_str());
            return 1;
        }
        std::printf("MDNS %u %s\n", static_cast<unsigned>(mdns_port), settings.strMdnsInstance.c_str());
    }

    std::printf("READY\n");
    std::fflush(stdout);

    int nSignal = 0;
    sigwait(&setStop, &nSignal);
    mdns.Stop();
    for (auto it = lstServers.rbegin(); it != lstServers.rend(); ++it)
        (*it)->Stop();
    return 0;
}
