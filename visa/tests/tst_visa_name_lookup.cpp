// A host name whose lookup never answers (a dead name server) must not hold viOpen past its
// time-out, whichever transport the resource names. This executable defines getaddrinfo itself,
// which the VISA library then calls instead of the C library's: names under kStalledDomain stall
// until the test ends, every other name is passed on.

#include "visa.h"

#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <netdb.h>

namespace {

const char kStalledDomain[] = ".stalled.test";
constexpr ViUInt32 kOpenTimeoutMs = 300;
// Far above the open time-out, far below the time a stalled lookup is held.
constexpr qint64 kGenerousMs = 8000;

std::mutex s_stall_mutex;
std::condition_variable s_stall_cv;
bool s_released = false;
int s_stalled_lookups = 0;

bool is_stalled_name(const char *node)
{
    if (!node)
        return false;
    const size_t n = std::strlen(node), m = std::strlen(kStalledDomain);
    return n > m && std::strcmp(node + n - m, kStalledDomain) == 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int getaddrinfo(const char *node, const char *service,
                                                                  const addrinfo *hints, addrinfo **res)
{
    // A numeric-only lookup never asks a name server, so it cannot stall.
    const bool numeric_only = hints && (hints->ai_flags & AI_NUMERICHOST);
    if (is_stalled_name(node) && !numeric_only) {
        std::unique_lock<std::mutex> lock(s_stall_mutex);
        ++s_stalled_lookups;
        s_stall_cv.wait_for(lock, std::chrono::seconds(30), [] { return s_released; });
        return EAI_AGAIN;
    }
    using fn = int (*)(const char *, const char *, const addrinfo *, addrinfo **);
    static const fn real = reinterpret_cast<fn>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return real ? real(node, service, hints, res) : EAI_SYSTEM;
}

class TestVisaNameLookup : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase();
    void stalledLookupEndsAtOpenTimeout_data();
    void stalledLookupEndsAtOpenTimeout();
};

void TestVisaNameLookup::cleanupTestCase()
{
    // The library stops waiting for an abandoned lookup but cannot cancel it; let it finish.
    std::lock_guard<std::mutex> lock(s_stall_mutex);
    s_released = true;
    s_stall_cv.notify_all();
}

void TestVisaNameLookup::stalledLookupEndsAtOpenTimeout_data()
{
    QTest::addColumn<QByteArray>("resource");
    QTest::newRow("socket") << QByteArray("TCPIP0::instr.stalled.test::5025::SOCKET");
    QTest::newRow("vxi11") << QByteArray("TCPIP0::instr.stalled.test::inst0::INSTR");
    QTest::newRow("hislip") << QByteArray("TCPIP0::instr.stalled.test::hislip0::INSTR");
}

void TestVisaNameLookup::stalledLookupEndsAtOpenTimeout()
{
    QFETCH(QByteArray, resource);
    ViSession rm = VI_NULL;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    int before = 0;
    {
        std::lock_guard<std::mutex> lock(s_stall_mutex);
        before = s_stalled_lookups;
    }

    ViSession vi = VI_NULL;
    QElapsedTimer timer;
    timer.start();
    const ViStatus st = viOpen(rm, resource.constData(), VI_NULL, kOpenTimeoutMs, &vi);
    const qint64 elapsed = timer.elapsed();

    {
        std::lock_guard<std::mutex> lock(s_stall_mutex);
        QVERIFY2(s_stalled_lookups > before, "the library did not look the name up through getaddrinfo");
    }
    QCOMPARE(st, VI_ERROR_TMO);
    QCOMPARE(vi, static_cast<ViSession>(VI_NULL));
    QVERIFY2(elapsed < kGenerousMs, qPrintable(QString("viOpen took %1 ms").arg(elapsed)));
    QCOMPARE(viClose(rm), VI_SUCCESS);
}

QTEST_GUILESS_MAIN(TestVisaNameLookup)
#include "tst_visa_name_lookup.moc"
