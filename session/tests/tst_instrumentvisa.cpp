#include "InstrumentVISA.h"
#include "SimProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <visa.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kIoTimeOutMs = 20000;

// Exposes the protected state the lifecycle rules are about.
class CProbe : public CInstrumentVISA
{
public:
    using CInstrumentVISA::SetInstrumentControl;
    static std::uint32_t DefaultRM() { return m_viDefaultRM; }
    std::uint32_t Session() const { return m_viSession; }
    std::int32_t Status() const { return m_viStatus; }
    void Describe(std::int32_t nStatus, char* pszText) const { ErrorHandler(m_viSession, nStatus, pszText); }
};

// Records the names the address overloads hand to the resource-name overload,
// which they must call through the virtual table.
class CNameSeam : public CProbe
{
public:
    using CInstrumentVISA::SetInstrumentControl;
    int SetInstrumentControl(const char* pszResource, int nTimeOut) override
    {
        m_lstNames << QByteArray(pszResource);
        m_lstTimeOuts << nTimeOut;
        return 1;
    }
    QList<QByteArray> m_lstNames;
    QList<int> m_lstTimeOuts;
};

bool IsClosedHandle(ViObject vi)
{
    char szText[VI_FIND_BUFLEN] = {};
    return viStatusDesc(vi, VI_SUCCESS, szText) == VI_ERROR_INV_OBJECT;
}

// Reads one whole answer the way the console does: continue while the buffer filled.
QByteArray ReadAnswer(CInstrument& inst, int nChunk, int* pnFinalStatus = nullptr)
{
    QByteArray baAnswer;
    QByteArray baChunk(nChunk, '\0');
    int nStatus = VI_SUCCESS_MAX_CNT;
    while (nStatus == VI_SUCCESS_MAX_CNT) {
        std::uint32_t uRead = 0;
        nStatus = inst.ReadCommand(baChunk.data(), nChunk, uRead);
        baAnswer.append(baChunk.constData(), static_cast<int>(uRead));
    }
    if (pnFinalStatus)
        *pnFinalStatus = nStatus;
    return baAnswer;
}

int Write(CInstrument& inst, const QByteArray& baCommand)
{
    std::uint32_t uWritten = 0;
    return inst.WriteCommand(baCommand.constData(), baCommand.size(), uWritten);
}

} // namespace

class TestInstrumentVisa : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void resourceManagerFollowsObjectCount();
    void concurrentObjectsShareOneManager();
    void openSessionKeepsOpenManager();
    void failedOpenClosesPreviousSession_data();
    void failedOpenClosesPreviousSession();
    void readCompletion_data();
    void readCompletion();
    void writeCounts_data();
    void writeCounts();
    void builtResourceNames_data();
    void builtResourceNames();
    void refusedNameDisconnects();
    void gpibNameParsesAsGpib();
    void timeOutApplied_data();
    void timeOutApplied();
    void hostOverloadOpensNetworkInstrument();
    void writeAfterHangUpFailsWithoutSignal();
    void errorHandlerDescribesStatus();
    void managerFailureIsReported();
    void virtualTableOrder_data();
    void virtualTableOrder();

private:
    CSimProcess m_sim;
    QTemporaryDir m_dirLog;
    QString m_strLog;
};

void TestInstrumentVisa::initTestCase()
{
    if (!QFileInfo(CSimProcess::Executable()).isExecutable())
        QSKIP("bin/velqsim is not built in this tree");
    QVERIFY(m_dirLog.isValid());
    m_strLog = m_dirLog.filePath(QStringLiteral("wire.log"));
    QVERIFY2(m_sim.Start({QStringLiteral("--log"), m_strLog}), qPrintable(m_sim.ErrorText()));
}

void TestInstrumentVisa::resourceManagerFollowsObjectCount()
{
    QCOMPARE(CProbe::DefaultRM(), 0u);
    auto pFirst = std::make_unique<CProbe>();
    auto pSecond = std::make_unique<CProbe>();
    const std::uint32_t viRM = CProbe::DefaultRM();
    QVERIFY(viRM != 0);
    QCOMPARE(pFirst->Status(), VI_SUCCESS);

    QVERIFY(pFirst->SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    pFirst.reset();
    QCOMPARE(CProbe::DefaultRM(), viRM);
    QVERIFY(!IsClosedHandle(viRM));
    QVERIFY(pSecond->SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    QCOMPARE(QString::fromUtf16(pSecond->GetInstrumentInfo()), QStringLiteral("Instrument Class"));

    const std::uint32_t viSession = pSecond->Session();
    pSecond.reset();
    QCOMPARE(CProbe::DefaultRM(), 0u);
    QVERIFY(IsClosedHandle(viRM));
    QVERIFY(IsClosedHandle(viSession));

    CProbe third;
    QVERIFY(CProbe::DefaultRM() != 0);
    QVERIFY(third.SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    QVERIFY(Write(third, "*IDN?\n"));
    QVERIFY(!ReadAnswer(third, 1024).isEmpty());
}

void TestInstrumentVisa::concurrentObjectsShareOneManager()
{
    CProbe keeper;
    const std::uint32_t viRM = CProbe::DefaultRM();
    std::vector<std::thread> lstThreads;
    for (int nThread = 0; nThread < 4; ++nThread) {
        lstThreads.emplace_back([] {
            for (int n = 0; n < 200; ++n)
                CInstrumentVISA inst;
        });
    }
    for (std::thread& thread : lstThreads)
        thread.join();
    QCOMPARE(CProbe::DefaultRM(), viRM);
    QVERIFY(!IsClosedHandle(viRM));
}

void TestInstrumentVisa::openSessionKeepsOpenManager()
{
    CProbe inst;
    QVERIFY(inst.SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    const std::uint32_t viRM = CProbe::DefaultRM();
    QCOMPARE(inst.OpenSession(), 1);
    QCOMPARE(CProbe::DefaultRM(), viRM);
    // The open session must survive: it belongs to the manager that is still in use.
    QVERIFY(Write(inst, "*IDN?\n"));
    int nStatus = 0;
    QVERIFY(!ReadAnswer(inst, 1024, &nStatus).isEmpty());
    QVERIFY(nStatus >= VI_SUCCESS);
}

void TestInstrumentVisa::failedOpenClosesPreviousSession_data()
{
    QTest::addColumn<QByteArray>("baName");
    QTest::addColumn<bool>("bNull");
    QTest::newRow("malformed") << QByteArray("NOT::A VALID::NAME") << false;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("null") << QByteArray() << true;
    QTest::newRow("refused port") << QByteArray("TCPIP0::127.0.0.1::1::SOCKET") << false;
    QTest::newRow("no such interface") << QByteArray("GPIB0::18::INSTR") << false;
}

void TestInstrumentVisa::failedOpenClosesPreviousSession()
{
    QFETCH(QByteArray, baName);
    QFETCH(bool, bNull);
    CProbe inst;
    QVERIFY(inst.SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    const std::uint32_t viOld = inst.Session();
    QCOMPARE(inst.IsInstruConnected(), 1);

    QCOMPARE(inst.SetInstrumentControl(bNull ? nullptr : baName.constData(), kIoTimeOutMs), 0);
    QCOMPARE(inst.IsInstruConnected(), 0);
    QCOMPARE(inst.Session(), 0u);
    QVERIFY(IsClosedHandle(viOld));
    std::uint32_t uWritten = 7;
    QCOMPARE(inst.WriteCommand("*CLS\n", 5, uWritten), 0);
    QCOMPARE(uWritten, 0u);
}

void TestInstrumentVisa::readCompletion_data()
{
    QTest::addColumn<QByteArray>("baQuery");
    QTest::addColumn<int>("nBuffer");
    QTest::addColumn<QList<int>>("lstStatus");
    QTest::addColumn<QList<int>>("lstCount");

    const int kMax = VI_SUCCESS_MAX_CNT;
    const int kTerm = VI_SUCCESS_TERM_CHAR;
    QTest::newRow("3000 bytes in 1024") << QByteArray("TEST:TEXT? 2999\n") << 1024
                                        << QList<int>{kMax, kMax, kTerm} << QList<int>{1024, 1024, 952};
    QTest::newRow("terminator left over") << QByteArray("TEST:TEXT? 1024\n") << 1024
                                          << QList<int>{kMax, kTerm} << QList<int>{1024, 1};
}

void TestInstrumentVisa::readCompletion()
{
    QFETCH(QByteArray, baQuery);
    QFETCH(int, nBuffer);
    QFETCH(QList<int>, lstStatus);
    QFETCH(QList<int>, lstCount);

    CProbe inst;
    QVERIFY(inst.SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    QByteArray baBuffer(nBuffer, '\0');
    std::uint32_t uWritten = 0;
    std::uint32_t uRead = 0;
    // The first read goes through WriteAndRead, the rest through ReadCommand.
    int nStatus = inst.WriteAndRead(baQuery.constData(), baQuery.size(), baBuffer.data(), nBuffer, uWritten, uRead);
    QCOMPARE(uWritten, static_cast<std::uint32_t>(baQuery.size()));
    for (int n = 0; n < lstStatus.size(); ++n) {
        if (n > 0)
            nStatus = inst.ReadCommand(baBuffer.data(), nBuffer, uRead);
        QCOMPARE(nStatus, lstStatus.at(n));
        QCOMPARE(uRead, static_cast<std::uint32_t>(lstCount.at(n)));
    }
    QCOMPARE(baBuffer.at(static_cast<int>(uRead) - 1), '\n');
}

void TestInstrumentVisa::writeCounts_data()
{
    QTest::addColumn<int>("nCount");
    QTest::addColumn<int>("nResult");
    QTest::addColumn<int>("nWritten");
    QTest::newRow("zero") << 0 << 1 << 0;
    QTest::newRow("negative") << -1 << 0 << 0;
    QTest::newRow("most negative") << int(INT32_MIN) << 0 << 0;
    QTest::newRow("part of the buffer") << 5 << 1 << 5;
}

void TestInstrumentVisa::writeCounts()
{
    QFETCH(int, nCount);
    QFETCH(int, nResult);
    QFETCH(int, nWritten);
    CProbe inst;
    QVERIFY(inst.SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    // A marker message first, so the wire log shows exactly what follows it.
    const QByteArray baMarker = QByteArray("*ESE ") + QByteArray::number(qAbs(nCount % 200)) + "\n";
    QVERIFY(Write(inst, baMarker));

    std::uint32_t uWritten = 99;
    QCOMPARE(inst.WriteCommand("*CLS\n*IDN?\n", nCount, uWritten), nResult);
    QCOMPARE(uWritten, static_cast<std::uint32_t>(nWritten));
    if (nCount != 5)
        QVERIFY(Write(inst, "*CLS\n"));
    QVERIFY(Write(inst, "*OPC?\n"));
    int nStatus = 0;
    QCOMPARE(ReadAnswer(inst, 64, &nStatus), QByteArray("1\n"));

    QFile log(m_strLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray baLog = log.readAll();
    const QByteArray baEscapedMarker = baMarker.left(baMarker.size() - 1) + "\\n\n";
    const int nAt = baLog.lastIndexOf(baEscapedMarker);
    QVERIFY2(nAt >= 0, baLog.right(400).constData());
    QCOMPARE(baLog.mid(nAt + baEscapedMarker.size()), QByteArray("*CLS\\n\n*OPC?\\n\n"));

    std::uint32_t uRead = 5;
    char szBuffer[8];
    QCOMPARE(inst.ReadCommand(szBuffer, -1, uRead), int(VI_ERROR_USER_BUF));
    QCOMPARE(uRead, 0u);
}

void TestInstrumentVisa::builtResourceNames_data()
{
    QTest::addColumn<bool>("bGpib");
    QTest::addColumn<QString>("strHost");
    QTest::addColumn<int>("nGpib");
    QTest::addColumn<QByteArray>("baExpected");
    QTest::addColumn<int>("nResult");

    const QString strLongest(127 - int(sizeof "TCPIP::::INSTR") + 1, QLatin1Char('h'));
    QTest::newRow("gpib 18") << true << QString() << 18 << QByteArray("GPIB::18::INSTR") << 1;
    QTest::newRow("gpib int min") << true << QString() << int(INT32_MIN) << QByteArray("GPIB::-2147483648::INSTR")
                                  << 1;
    QTest::newRow("ipv4") << false << QStringLiteral("127.0.0.1") << 0 << QByteArray("TCPIP::127.0.0.1::INSTR") << 1;
    QTest::newRow("latin-1 host") << false << QStringLiteral("h\u00f4te") << 0 << QByteArray("TCPIP::h\xf4te::INSTR")
                                  << 1;
    QTest::newRow("127 bytes") << false << strLongest << 0
                               << QByteArray("TCPIP::" + strLongest.toLatin1() + "::INSTR") << 1;
    QTest::newRow("128 bytes") << false << strLongest + QLatin1Char('h') << 0 << QByteArray() << 0;
    QTest::newRow("4000 bytes") << false << QString(4000, QLatin1Char('x')) << 0 << QByteArray() << 0;
    QTest::newRow("not latin-1") << false << QStringLiteral("\u4eea\u5668") << 0 << QByteArray() << 0;
    QTest::newRow("embedded NUL") << false << QStringLiteral("10.0.0.1") + QChar(0) + QStringLiteral("x") << 0
                                  << QByteArray() << 0;
}

void TestInstrumentVisa::builtResourceNames()
{
    QFETCH(bool, bGpib);
    QFETCH(QString, strHost);
    QFETCH(int, nGpib);
    QFETCH(QByteArray, baExpected);
    QFETCH(int, nResult);

    CNameSeam seam;
    const int nGot = bGpib ? seam.SetInstrumentControl(nGpib, 1234) : seam.SetInstrumentControl(strHost, 1234);
    QCOMPARE(nGot, nResult);
    if (nResult == 0) {
        QVERIFY(seam.m_lstNames.isEmpty());
        return;
    }
    QCOMPARE(seam.m_lstNames, QList<QByteArray>{baExpected});
    QVERIFY(seam.m_lstNames.first().size() <= 127);
    QCOMPARE(seam.m_lstTimeOuts, QList<int>{1234});
}

void TestInstrumentVisa::refusedNameDisconnects()
{
    CProbe inst;
    QVERIFY(inst.SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    const std::uint32_t viOld = inst.Session();
    QCOMPARE(inst.SetInstrumentControl(QString(200, QLatin1Char('a')), kIoTimeOutMs), 0);
    QCOMPARE(inst.IsInstruConnected(), 0);
    QVERIFY(IsClosedHandle(viOld));
}

void TestInstrumentVisa::gpibNameParsesAsGpib()
{
    CNameSeam seam;
    QCOMPARE(seam.SetInstrumentControl(18, kIoTimeOutMs), 1);
    QCOMPARE(seam.m_lstNames.size(), 1);
    ViUInt16 uType = 0;
    ViUInt16 uBoard = 99;
    char szClass[VI_FIND_BUFLEN] = {};
    char szExpanded[VI_FIND_BUFLEN] = {};
    char szAlias[VI_FIND_BUFLEN] = {};
    QCOMPARE(viParseRsrcEx(CProbe::DefaultRM(), seam.m_lstNames.first().constData(), &uType, &uBoard, szClass,
                           szExpanded, szAlias),
             VI_SUCCESS);
    QCOMPARE(uType, ViUInt16(VI_INTF_GPIB));
    QCOMPARE(uBoard, ViUInt16(0));
    QCOMPARE(QByteArray(szClass), QByteArray("INSTR"));
    QCOMPARE(QByteArray(szExpanded), QByteArray("GPIB0::18::INSTR"));

    // Without GPIB hardware the real open fails, and it fails as "not found",
    // not as a malformed name.
    CProbe inst;
    QCOMPARE(inst.SetInstrumentControl(18, kIoTimeOutMs), 0);
    QCOMPARE(inst.IsInstruConnected(), 0);
    ViSession vi = VI_NULL;
    const ViStatus viStatus = viOpen(CProbe::DefaultRM(), seam.m_lstNames.first().constData(), VI_NO_LOCK, 0, &vi);
    QVERIFY(viStatus != VI_ERROR_INV_RSRC_NAME);
    QVERIFY(viStatus < VI_SUCCESS);
}

void TestInstrumentVisa::timeOutApplied_data()
{
    QTest::addColumn<int>("nTimeOut");
    QTest::addColumn<ViUInt32>("uExpected");
    QTest::newRow("1 ms") << 1 << ViUInt32(1);
    QTest::newRow("console default") << 2000 << ViUInt32(2000);
    QTest::newRow("-1 is infinite") << -1 << ViUInt32(VI_TMO_INFINITE);
}

void TestInstrumentVisa::timeOutApplied()
{
    QFETCH(int, nTimeOut);
    QFETCH(ViUInt32, uExpected);
    CProbe inst;
    QVERIFY(inst.SetInstrumentControl(m_sim.SocketResource().constData(), nTimeOut));
    ViUInt32 uTimeOut = 0;
    QCOMPARE(viGetAttribute(inst.Session(), VI_ATTR_TMO_VALUE, &uTimeOut), VI_SUCCESS);
    QCOMPARE(uTimeOut, uExpected);
}

// The host overload's name reaches the simulator's VXI-11 server when the VISA
// library is pointed at the simulator's own portmapper.
void TestInstrumentVisa::hostOverloadOpensNetworkInstrument()
{
    const quint16 uPortmapper = m_sim.Port(QStringLiteral("PORTMAPPER"));
    if (uPortmapper == 0)
        QSKIP("this velqsim has no VXI-11 server");
    qputenv("VELQ_VXI11_PORTMAPPER_PORT", QByteArray::number(uPortmapper));
    CProbe inst;
    const int nOpened = inst.SetInstrumentControl(QStringLiteral("127.0.0.1"), kIoTimeOutMs);
    qunsetenv("VELQ_VXI11_PORTMAPPER_PORT");
    QCOMPARE(nOpened, 1);
    char szName[VI_FIND_BUFLEN] = {};
    QCOMPARE(viGetAttribute(inst.Session(), VI_ATTR_RSRC_CLASS, szName), VI_SUCCESS);
    QCOMPARE(QByteArray(szName), QByteArray("INSTR"));

    QVERIFY(Write(inst, "*OPC?\n"));
    int nStatus = -1;
    QCOMPARE(ReadAnswer(inst, 1024, &nStatus), QByteArray("1\n"));
    QVERIFY(nStatus >= VI_SUCCESS);
}

void TestInstrumentVisa::writeAfterHangUpFailsWithoutSignal()
{
    // QtTest's crash handler owns SIGPIPE in this process, so the load-time setting is
    // checked in a process of its own.
    QProcess probe;
    probe.start(QCoreApplication::applicationDirPath() + QStringLiteral("/velqlink_probe"), {QStringLiteral("sigpipe")});
    QVERIFY2(probe.waitForFinished(60000), qPrintable(probe.errorString()));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);

    CProbe inst;
    QVERIFY(inst.SetInstrumentControl(m_sim.SocketResource().constData(), kIoTimeOutMs));
    QVERIFY(Write(inst, "TEST:HANG 5\n"));
    int nStatus = 0;
    const QByteArray baPartial = ReadAnswer(inst, 1024, &nStatus);
    QVERIFY2(nStatus < VI_SUCCESS, QByteArray::number(nStatus, 16).constData());
    QVERIFY(baPartial.size() <= 5);
    // Keep writing into the closed connection: each write must fail, none may kill us.
    const QByteArray baBig(256 * 1024, 'x');
    int nFailed = 0;
    for (int n = 0; n < 20 && nFailed == 0; ++n) {
        std::uint32_t uWritten = 0;
        if (inst.WriteCommand(baBig.constData(), baBig.size(), uWritten) == 0)
            ++nFailed;
    }
    QVERIFY(nFailed > 0);
}

void TestInstrumentVisa::errorHandlerDescribesStatus()
{
    CProbe inst;
    char szText[CInstrumentVISA::kErrorTextSize];
    std::memset(szText, 0x7F, sizeof szText);
    inst.Describe(VI_ERROR_TMO, szText);
    const QByteArray baText(szText, static_cast<int>(qstrnlen(szText, sizeof szText)));
    QVERIFY(baText.size() > 0 && baText.size() < CInstrumentVISA::kErrorTextSize);
    QVERIFY(!baText.contains('\x7f'));
    inst.Describe(VI_ERROR_TMO, nullptr);
}

// Against a VISA library whose resource manager never opens (a stand-in found first
// through LD_LIBRARY_PATH): one message per attempt, and the object stays usable.
void TestInstrumentVisa::managerFailureIsReported()
{
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), QCoreApplication::applicationDirPath() + QStringLiteral("/fakevisa"));
    probe.setProcessEnvironment(env);
    probe.start(QCoreApplication::applicationDirPath() + QStringLiteral("/velqlink_probe"), {QStringLiteral("no-manager")});
    QVERIFY2(probe.waitForFinished(60000), qPrintable(probe.errorString()));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);
    // Only the first attempt ran before the probe installed its own hook.
    QCOMPARE(probe.readAllStandardError(),
             QByteArray("Error: Failed to open default resource manager!\n0xBFFF0000: no VISA here\n"));
}

// Programs built against an older VelqLink call through fixed virtual table slots.
// In the Itanium C++ ABI a pointer to a virtual member holds 1 + the slot's byte
// offset, and the virtual destructor takes the first two slots.
void TestInstrumentVisa::virtualTableOrder_data()
{
    QTest::addColumn<std::ptrdiff_t>("nOffset");
    QTest::addColumn<int>("nSlot");
    auto offsetOf = [](auto pMember) {
        std::ptrdiff_t nRaw = 0;
        static_assert(sizeof pMember >= sizeof nRaw, "unexpected member pointer layout");
        std::memcpy(&nRaw, &pMember, sizeof nRaw);
        return nRaw;
    };
    using WriteFn = int (CInstrument::*)(const char*, std::int32_t, std::uint32_t&);
    using NameFn = int (CInstrument::*)(const char*, int);
    using HostFn = int (CInstrument::*)(const QString&, int);
    using GpibFn = int (CInstrument::*)(int, int);
    QTest::newRow("WriteCommand") << offsetOf(WriteFn(&CInstrument::WriteCommand)) << 2;
    QTest::newRow("ReadCommand") << offsetOf(&CInstrument::ReadCommand) << 3;
    QTest::newRow("WriteAndRead") << offsetOf(&CInstrument::WriteAndRead) << 4;
    QTest::newRow("SetInstrumentControl name") << offsetOf(NameFn(&CInstrument::SetInstrumentControl)) << 5;
    QTest::newRow("SetInstrumentControl host") << offsetOf(HostFn(&CInstrument::SetInstrumentControl)) << 6;
    QTest::newRow("SetInstrumentControl gpib") << offsetOf(GpibFn(&CInstrument::SetInstrumentControl)) << 7;
    QTest::newRow("GetInstrumentInfo") << offsetOf(&CInstrument::GetInstrumentInfo) << 8;
    QTest::newRow("DisconnectInstru") << offsetOf(&CInstrument::DisconnectInstru) << 9;
    QTest::newRow("IsInstruConnected") << offsetOf(&CInstrument::IsInstruConnected) << 10;
    QTest::newRow("OpenSession") << offsetOf(&CInstrumentVISA::OpenSession) << 11;
}

void TestInstrumentVisa::virtualTableOrder()
{
#if defined(__GNUC__) && !defined(_WIN32)
    QFETCH(std::ptrdiff_t, nOffset);
    QFETCH(int, nSlot);
    QCOMPARE(nOffset, std::ptrdiff_t(1 + nSlot * std::ptrdiff_t(sizeof(void*))));
#else
    QSKIP("the slot check reads the Itanium C++ ABI's member pointer layout");
#endif
}

QTEST_GUILESS_MAIN(TestInstrumentVisa)
#include "tst_instrumentvisa.moc"
