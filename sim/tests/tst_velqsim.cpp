// velqsim as a program: its options, its announcement lines and a clean stop.
#include "SimProcess.h"

#include <QtTest>

#include <csignal>

#include <sys/types.h>

namespace {

const int kWaitMs = 20000;

QString SimulatorPath()
{
    return qEnvironmentVariable("VELQ_BUILD_DIR") + "/bin/velqsim";
}

// Every server on an ephemeral port, so parallel tests never collide.
const QStringList kEphemeral = {"--socket-port", "0", "--hislip-port", "0", "--vxi11-port", "0",
                                "--portmapper-port", "0"};

// Gone or a zombie: a zombie waits only for init to reap it.
bool IsAlive(qint64 nPid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(nPid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray baStat = stat.readAll();
    const int nAfterName = baStat.lastIndexOf(')');
    return nAfterName < 0 || baStat.mid(nAfterName + 2, 1) != "Z";
}

} // namespace

class TestVelqsim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void options_data();
    void options();
    void announcesServesAndStops();
    void diesWithKilledParent();
};

void TestVelqsim::initTestCase()
{
    QVERIFY2(QFileInfo(SimulatorPath()).isExecutable(), qPrintable(SimulatorPath()));
}

void TestVelqsim::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected"); // in stdout for 0, in stderr otherwise

    QTest::newRow("help") << QStringList{"--help"} << 0 << "--socket-port";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << "unknown option '--frobnicate'";
    QTest::newRow("missing value") << QStringList{"--socket-port"} << 2 << "needs a value";
    QTest::newRow("port out of range") << QStringList{"--socket-port", "65536"} << 2 << "invalid value";
    QTest::newRow("port not a number") << QStringList{"--socket-port=12ab"} << 2 << "invalid value";
    QTest::newRow("flag with a value") << QStringList{"--help=yes"} << 2 << "takes no value";
    QTest::newRow("bad bind address") << (kEphemeral + QStringList{"--bind", "300.1.1.1"}) << 1
                                      << "invalid IPv4 bind address";
    QTest::newRow("unwritable log") << (kEphemeral + QStringList{"--log", "/nonexistent/dir/x.log"}) << 1
                                    << "cannot open wire log";
}

void TestVelqsim::options()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    QProcess proc;
    CSimProcess::DieWithParent(proc);
    proc.start(SimulatorPath(), args);
    QVERIFY(proc.waitForFinished(kWaitMs));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), exitCode);
    const QString strOut = QString::fromLocal8Bit(exitCode == 0 ? proc.readAllStandardOutput()
                                                                : proc.readAllStandardError());
    QVERIFY2(strOut.contains(expected), qPrintable(strOut));
    if (args == QStringList{"--help"}) {
        for (const char* pszOption : {"--bind", "--log", "--hislip-port", "--vxi11-port", "--portmapper-port",
                                      "Wire log", "TEST:HANGup"})
            QVERIFY2(strOut.contains(pszOption), pszOption);
    }
}

void TestVelqsim::announcesServesAndStops()
{
    QTemporaryDir dir;
    const QString strLog = dir.filePath("wire.log");
    QProcess proc;
    CSimProcess::DieWithParent(proc);
    proc.start(SimulatorPath(), kEphemeral + QStringList{"--log", strLog});
    QVERIFY(proc.waitForStarted(kWaitMs));

    QStringList lstLines;
    QElapsedTimer timer;
    timer.start();
    while (!lstLines.contains("READY") && timer.elapsed() < kWaitMs) {
        if (!proc.canReadLine() && !proc.waitForReadyRead(1000))
            continue;
        while (proc.canReadLine())
            lstLines << QString::fromLatin1(proc.readLine()).trimmed();
    }
    QVERIFY2(lstLines.contains("READY"), qPrintable(lstLines.join('|')));
    const QRegularExpression reSocket("^SOCKET (\\d+) TCPIP0::127\\.0\\.0\\.1::(\\d+)::SOCKET$");
    const QRegularExpressionMatch match = reSocket.match(lstLines.value(0));
    QVERIFY2(match.hasMatch(), qPrintable(lstLines.value(0)));
    QCOMPARE(match.captured(1), match.captured(2));

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, match.captured(1).toUShort());
    QVERIFY(socket.waitForConnected(kWaitMs));
    socket.write("*IDN?\n");
    QByteArray baAnswer;
    while (!baAnswer.endsWith('\n') && socket.waitForReadyRead(kWaitMs))
        baAnswer += socket.readAll();
    QVERIFY(baAnswer.startsWith("VELQUIST,"));
    socket.close();

    ::kill(static_cast<pid_t>(proc.processId()), SIGTERM);
    QVERIFY(proc.waitForFinished(kWaitMs));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 0);

    QFile log(strLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("*IDN?\\n\n"));
}

// ctest kills a test that overruns with SIGKILL, which runs no destructor: the
// simulators a test started must go with it all the same.
void TestVelqsim::diesWithKilledParent()
{
    QProcess holder;
    CSimProcess::DieWithParent(holder);
    holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    holder.start(QCoreApplication::applicationDirPath() + "/velq_sim_holder");
    QVERIFY2(holder.waitForStarted(kWaitMs), qPrintable(holder.errorString()));
    QDeadlineTimer started(60000);
    while (!holder.canReadLine() && !started.hasExpired() && holder.state() == QProcess::Running)
        holder.waitForReadyRead(1000);
    const qint64 nSim = holder.readLine().trimmed().toLongLong();
    QVERIFY2(nSim > 0, "the holder reported no simulator");
    QVERIFY(IsAlive(nSim));

    ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    QVERIFY(holder.waitForFinished(kWaitMs));
    QDeadlineTimer gone(60000);
    while (IsAlive(nSim) && !gone.hasExpired())
        QThread::msleep(20);
    if (IsAlive(nSim)) {
        ::kill(static_cast<pid_t>(nSim), SIGKILL);
        QFAIL("the simulator outlived the process that started it");
    }
}

QTEST_GUILESS_MAIN(TestVelqsim)
#include "tst_velqsim.moc"
