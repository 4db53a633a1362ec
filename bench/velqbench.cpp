// Measurements for bench/run-bench.sh, each printing one "RESULT <value> <unit>" line:
//   velqbench visa-idn  <resource> <count>   *IDN? round trips per second through libvelqvisa
//   velqbench tcp-idn   <port> <count>       the same over a plain TCP socket (the limit)
//   velqbench visa-bulk <resource> <bytes>   TEST:BLOCk? throughput through viRead, as the console reads
//                                            into its reply buffer (CReplyBuffer, the console's own class);
//                                            also "COLD <rate>": the first read, buffer grown from 1024
//   velqbench visa-bulk-vector <resource> <bytes>  the same first read with a std::vector grown by
//                                            resize, as the console read before (prints COLD only)
//   velqbench tcp-bulk  <port> <bytes>       the same with a plain recv loop into one reused buffer of
//                                            the final size, paged in before the clock starts (the
//                                            limit); also "FRESH <rate>": recv into fresh memory
//   velqbench visa-bulk-flat <resource> <bytes>  viRead into one buffer of the final size, to tell
//                                            the library's cost from that of the doubling buffer
#include "ReplyBuffer.h"

#include <visa.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr ViUInt32 kTimeOutMs = 60000;
constexpr int kWarmUp = 50;

double Seconds(Clock::time_point tStart)
{
    return std::chrono::duration<double>(Clock::now() - tStart).count();
}

int Fail(const char* pszWhat, long lCode)
{
    std::fprintf(stderr, "velqbench: %s failed (%ld)\n", pszWhat, lCode);
    return 1;
}

struct CVisa
{
    ViSession viRM = VI_NULL;
    ViSession vi = VI_NULL;
    ~CVisa()
    {
        if (vi != VI_NULL)
            viClose(vi);
        if (viRM != VI_NULL)
            viClose(viRM);
    }
    ViStatus Open(const char* pszResource)
    {
        ViStatus viStatus = viOpenDefaultRM(&viRM);
        if (viStatus < VI_SUCCESS)
            return viStatus;
        viStatus = viOpen(viRM, pszResource, VI_NO_LOCK, 10000, &vi);
        if (viStatus < VI_SUCCESS)
            return viStatus;
        return viSetAttribute(vi, VI_ATTR_TMO_VALUE, kTimeOutMs);
    }
    bool Write(const std::string& strCommand)
    {
        ViUInt32 uWritten = 0;
        return viWrite(vi, reinterpret_cast<ViConstBuf>(strCommand.data()), static_cast<ViUInt32>(strCommand.size()),
                       &uWritten) == VI_SUCCESS;
    }
};

int VisaIdn(const char* pszResource, long lCount)
{
    CVisa visa;
    const ViStatus viOpenStatus = visa.Open(pszResource);
    if (viOpenStatus < VI_SUCCESS)
        return Fail("viOpen", viOpenStatus);
    char szAnswer[1024];
    Clock::time_point tStart = Clock::now();
    for (long n = -kWarmUp; n < lCount; ++n) {
        if (n == 0)
            tStart = Clock::now();
        if (!visa.Write("*IDN?\n"))
            return Fail("viWrite", n);
        ViUInt32 uCount = 0;
        const ViStatus viStatus = viRead(visa.vi, reinterpret_cast<ViBuf>(szAnswer), sizeof szAnswer, &uCount);
        if (viStatus < VI_SUCCESS || uCount == 0)
            return Fail("viRead", viStatus);
    }
    std::printf("RESULT %.1f round-trips/s\n", static_cast<double>(lCount) / Seconds(tStart));
    return 0;
}

bool GrowTo(CReplyBuffer& reply, size_t uSize)
{
    return reply.Grow(uSize);
}

bool GrowTo(std::vector<char>& vecReply, size_t uSize)
{
    if (uSize > vecReply.size())
        vecReply.resize(uSize);
    return true;
}

// One answer read as the console's ReadReply reads it into its reply buffer: start at
// the size the buffer has (at least 1024), double it while VISA reports a full buffer,
// and store a zero byte after the answer.
template <typename TBuffer>
ViStatus ReadDoubling(CVisa& visa, TBuffer& reply, size_t& uTotal)
{
    uTotal = 0;
    if (!GrowTo(reply, 1024))
        return VI_ERROR_ALLOC;
    ViUInt32 uCount = 0;
    ViStatus viStatus =
        viRead(visa.vi, reinterpret_cast<ViBuf>(reply.data()), static_cast<ViUInt32>(reply.size()), &uCount);
    uTotal = uCount;
    while (viStatus == VI_SUCCESS_MAX_CNT) {
        const size_t uFilled = uTotal;
        if (uFilled >= reply.size() && !GrowTo(reply, 2 * reply.size()))
            return VI_ERROR_ALLOC;
        viStatus = viRead(visa.vi, reinterpret_cast<ViBuf>(reply.data() + uFilled),
                          static_cast<ViUInt32>(reply.size() - uFilled), &uCount);
        uTotal += uCount;
    }
    if (viStatus >= VI_SUCCESS) {
        if (uTotal >= reply.size() && !GrowTo(reply, uTotal + 1))
            return VI_ERROR_ALLOC;
        reply[uTotal] = '\0';
    }
    return viStatus;
}

// Reads nRounds answers into one buffer kept between them: the first is the cold read
// whose buffer grows from 1024 bytes, the best of the later ones the warm figure.
template <typename TBuffer>
int BulkRounds(const char* pszResource, long lBytes, int nRounds, double& dCold, double& dWarm)
{
    CVisa visa;
    const ViStatus viOpenStatus = visa.Open(pszResource);
    if (viOpenStatus < VI_SUCCESS)
        return Fail("viOpen", viOpenStatus);
    TBuffer reply;
    dCold = 0.0;
    dWarm = 0.0;
    for (int nRound = 0; nRound < nRounds; ++nRound) {
        const Clock::time_point tStart = Clock::now();
        if (!visa.Write("TEST:BLOC? " + std::to_string(lBytes) + "\n"))
            return Fail("viWrite", 0);
        size_t uTotal = 0;
        const ViStatus viStatus = ReadDoubling(visa, reply, uTotal);
        const double dRate = static_cast<double>(uTotal) / (1024.0 * 1024.0) / Seconds(tStart);
        if (viStatus < VI_SUCCESS || uTotal < static_cast<size_t>(lBytes))
            return Fail("viRead", viStatus);
        if (nRound == 0)
            dCold = dRate;
        else if (dRate > dWarm)
            dWarm = dRate;
    }
    return 0;
}

int VisaBulk(const char* pszResource, long lBytes)
{
    double dCold = 0.0;
    double dWarm = 0.0;
    if (BulkRounds<CReplyBuffer>(pszResource, lBytes, 4, dCold, dWarm) != 0)
        return 1;
    std::printf("COLD %.1f MiB/s\nRESULT %.1f MiB/s\n", dCold, dWarm);
    return 0;
}

int VisaBulkVector(const char* pszResource, long lBytes)
{
    double dCold = 0.0;
    double dWarm = 0.0;
    if (BulkRounds<std::vector<char>>(pszResource, lBytes, 1, dCold, dWarm) != 0)
        return 1;
    std::printf("COLD %.1f MiB/s\n", dCold);
    return 0;
}

int VisaBulkFlat(const char* pszResource, long lBytes)
{
    CVisa visa;
    const ViStatus viOpenStatus = visa.Open(pszResource);
    if (viOpenStatus < VI_SUCCESS)
        return Fail("viOpen", viOpenStatus);
    const size_t uExpected = 2 + std::to_string(lBytes).size() + static_cast<size_t>(lBytes) + 1;
    std::vector<char> vecReply(uExpected);
    const Clock::time_point tStart = Clock::now();
    if (!visa.Write("TEST:BLOC? " + std::to_string(lBytes) + "\n"))
        return Fail("viWrite", 0);
    ViUInt32 uCount = 0;
    const ViStatus viStatus =
        viRead(visa.vi, reinterpret_cast<ViBuf>(vecReply.data()), static_cast<ViUInt32>(uExpected), &uCount);
    const double dSeconds = Seconds(tStart);
    if (viStatus < VI_SUCCESS || uCount != uExpected)
        return Fail("viRead", viStatus);
    std::printf("RESULT %.1f MiB/s\n", static_cast<double>(uCount) / (1024.0 * 1024.0) / dSeconds);
    return 0;
}

int Connect(int nPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int nOne = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& strData)
{
    size_t uSent = 0;
    while (uSent < strData.size()) {
        const ssize_t n = send(fd, strData.data() + uSent, strData.size() - uSent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        uSent += static_cast<size_t>(n);
    }
    return true;
}

int TcpIdn(int nPort, long lCount)
{
    const int fd = Connect(nPort);
    if (fd < 0)
        return Fail("connect", nPort);
    char szAnswer[1024];
    Clock::time_point tStart = Clock::now();
    for (long n = -kWarmUp; n < lCount; ++n) {
        if (n == 0)
            tStart = Clock::now();
        if (!SendAll(fd, "*IDN?\n"))
            return Fail("send", n);
        // Read to the line feed; the identity has no block, so LF ends it.
        for (;;) {
            const ssize_t nGot = recv(fd, szAnswer, sizeof szAnswer, 0);
            if (nGot <= 0)
                return Fail("recv", n);
            if (szAnswer[nGot - 1] == '\n')
                break;
        }
    }
    const double dSeconds = Seconds(tStart);
    close(fd);
    std::printf("RESULT %.1f round-trips/s\n", static_cast<double>(lCount) / dSeconds);
    return 0;
}

bool RecvBlock(int fd, const std::string& strLength, char* pBuffer, size_t uExpected)
{
    if (!SendAll(fd, "TEST:BLOC? " + strLength + "\n")) {
        Fail("send", 0);
        return false;
    }
    size_t uTotal = 0;
    while (uTotal < uExpected) {
        const ssize_t nGot = recv(fd, pBuffer + uTotal, uExpected - uTotal, 0);
        if (nGot <= 0) {
            Fail("recv", static_cast<long>(uTotal));
            return false;
        }
        uTotal += static_cast<size_t>(nGot);
    }
    return true;
}

// The limit ("RESULT"): blocking recv straight into one buffer of the known final size,
// reused for every round and paged in before the clock starts, so no round pays for
// new memory. "FRESH" receives into a new, never touched mapping each round, the least
// any first read into new memory pays for its pages.
int TcpBulk(int nPort, long lBytes)
{
    const int fd = Connect(nPort);
    if (fd < 0)
        return Fail("connect", nPort);
    const std::string strLength = std::to_string(lBytes);
    // "#" digit length data LF.
    const size_t uExpected = 2 + strLength.size() + static_cast<size_t>(lBytes) + 1;
    std::vector<char> vecReply(uExpected);
    double dBest = 0.0;
    for (int nRound = 0; nRound < 3; ++nRound) {
        const Clock::time_point tStart = Clock::now();
        if (!RecvBlock(fd, strLength, vecReply.data(), uExpected))
            return 1;
        const double dRate = static_cast<double>(uExpected) / (1024.0 * 1024.0) / Seconds(tStart);
        if (dRate > dBest)
            dBest = dRate;
    }
    // One round, as the console's first read is one: a best of several would flatter the floor.
    double dFresh = 0.0;
    for (int nRound = 0; nRound < 1; ++nRound) {
        const Clock::time_point tStart = Clock::now();
        void* pFresh = mmap(nullptr, uExpected, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pFresh == MAP_FAILED)
            return Fail("mmap", static_cast<long>(uExpected));
        const bool bOk = RecvBlock(fd, strLength, static_cast<char*>(pFresh), uExpected);
        const double dRate = static_cast<double>(uExpected) / (1024.0 * 1024.0) / Seconds(tStart);
        munmap(pFresh, uExpected);
        if (!bOk)
            return 1;
        if (dRate > dFresh)
            dFresh = dRate;
    }
    close(fd);
    std::printf("FRESH %.1f MiB/s\nRESULT %.1f MiB/s\n", dFresh, dBest);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: velqbench visa-idn|visa-bulk|visa-bulk-vector|visa-bulk-flat RESOURCE N | tcp-idn|tcp-bulk PORT N\n");
        return 2;
    }
    const std::string strMode = argv[1];
    const long lN = std::strtol(argv[3], nullptr, 10);
    if (lN <= 0)
        return Fail("parsing the count", lN);
    if (strMode == "visa-idn")
        return VisaIdn(argv[2], lN);
    if (strMode == "visa-bulk")
        return VisaBulk(argv[2], lN);
    if (strMode == "visa-bulk-vector")
        return VisaBulkVector(argv[2], lN);
    if (strMode == "visa-bulk-flat")
        return VisaBulkFlat(argv[2], lN);
    if (strMode == "tcp-idn")
        return TcpIdn(std::atoi(argv[2]), lN);
    if (strMode == "tcp-bulk")
        return TcpBulk(std::atoi(argv[2]), lN);
    std::fprintf(stderr, "velqbench: unknown mode %s\n", argv[1]);
    return 2;
}
