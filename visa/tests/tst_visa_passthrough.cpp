// VELQ_VISA_LIBRARY hands every call to another VISA library. The variable is read once per
// process, so each scenario runs as its own test process (see CMakeLists.txt).

#include "visa.h"

#include <QtTest>

class TestVisaPassthrough : public QObject {
    Q_OBJECT

private slots:
    void forwardsEveryCall();
    void unloadableLibraryFailsClearly();
};

void TestVisaPassthrough::forwardsEveryCall()
{
    ViSession rm = VI_NULL, vi = VI_NULL;
    QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    QCOMPARE(rm, ViSession(4242));
    // A GPIB name, which our own transports could not open, reaches the vendor library.
    QCOMPARE(viOpen(rm, "GPIB0::7::INSTR", VI_NULL, 0, &vi), VI_SUCCESS_DEV_NPRESENT);
    QCOMPARE(vi, ViSession(777));
    ViByte buf[16];
    ViUInt32 got = 0;
    QCOMPARE(viRead(vi, buf, sizeof buf, &got), VI_SUCCESS);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(buf), int(got)), QByteArray("VENDOR"));
    // What the vendor library lacks is reported, not served by our transports.
    QCOMPARE(viClear(vi), VI_ERROR_NSUP_OPER);
    QCOMPARE(viClose(vi), VI_SUCCESS);
    QCOMPARE(viClose(rm), VI_SUCCESS);
}

void TestVisaPassthrough::unloadableLibraryFailsClearly()
{
    ViSession rm = 99;
    QCOMPARE(viOpenDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND);
    QCOMPARE(viClose(rm), VI_ERROR_LIBRARY_NFOUND);
}

QTEST_GUILESS_MAIN(TestVisaPassthrough)
#include "tst_visa_passthrough.moc"
