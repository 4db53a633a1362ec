#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcessEnvironment>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

CSimProcess::~CSimProcess()
{
    Stop();
}

QString CSimProcess::Executable()
{
    const QString strBuild = QProcessEnvironment::systemEnvironment().value(QStringLiteral("VELQ_BUILD_DIR"));
    return QDir(strBuild).filePath(QStringLiteral("bin/velqsim"));
}

void CSimProcess::DieWithParent(QProcess& proc)
{
    const pid_t nParent = ::getpid();
    proc.setChildProcessModifier([nParent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died between fork and prctl; then nobody would send it.
        if (::getppid() != nParent)
            ::_exit(127);
    });
}

bool CSimProcess::Start(const QStringList& lstExtraArgs, int nTimeoutMs)
{
    Stop();
    m_mapPorts.clear();
    m_mapResources.clear();
    m_strError.clear();

    const QString strExe = Executable();
    // Ask the simulator which servers it has, so that each runs on a port of its own
    // choosing instead of a fixed one another test may hold.
    QProcess help;
    DieWithParent(help);
    help.start(strExe, {QStringLiteral("--help")});
    if (!help.waitForFinished(nTimeoutMs)) {
        m_strError = QStringLiteral("cannot run %1 --help: %2").arg(strExe, help.errorString());
        help.kill();
        help.waitForFinished(5000);
        return false;
    }
    const QByteArray baHelp = help.readAllStandardOutput() + help.readAllStandardError();
    QStringList lstArgs{QStringLiteral("--socket-port"), QStringLiteral("0")};
    for (const char* pszOption : {"--vxi11-port", "--portmapper-port", "--hislip-port"}) {
        if (baHelp.contains(pszOption) && !lstExtraArgs.contains(QLatin1String(pszOption)))
            lstArgs << QLatin1String(pszOption) << QStringLiteral("0");
    }
    lstArgs << lstExtraArgs;

    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    DieWithParent(m_process);
    m_process.start(strExe, lstArgs);
    if (!m_process.waitForStarted(nTimeoutMs)) {
        m_strError = QStringLiteral("cannot start %1: %2").arg(strExe, m_process.errorString());
        return false;
    }

    QDeadlineTimer deadline(nTimeoutMs);
    QByteArray baPending;
    while (!deadline.hasExpired()) {
        while (m_process.canReadLine()) {
            const QByteArray baLine = m_process.readLine().trimmed();
            if (baLine == "READY") {
                if (SocketPort() != 0)
                    return true;
                m_strError = QStringLiteral("no SOCKET line before READY");
                Stop();
                return false;
            }
            const QList<QByteArray> lstFields = baLine.split(' ');
            bool bOk = false;
            const uint uPort = lstFields.size() >= 2 ? lstFields.at(1).toUInt(&bOk) : 0;
            if (bOk && uPort > 0 && uPort <= 0xFFFF) {
                const QString strServer = QString::fromLatin1(lstFields.at(0));
                m_mapPorts.insert(strServer, static_cast<quint16>(uPort));
                m_mapResources.insert(strServer, lstFields.size() >= 3 ? lstFields.at(2) : QByteArray());
            } else if (lstFields.size() == 3 && lstFields.at(2).endsWith("::INSTR")) {
                // A server without a port (the serial line: "ASRL <path> <resource>").
                m_mapResources.insert(QString::fromLatin1(lstFields.at(0)), lstFields.at(2));
            }
        }
        if (m_process.state() != QProcess::Running) {
            m_strError = QStringLiteral("the simulator exited before READY (code %1)").arg(m_process.exitCode());
            return false;
        }
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, qMin<qint64>(deadline.remainingTime(), 1000))));
    }
    m_strError = QStringLiteral("no READY line from the simulator within %1 ms").arg(nTimeoutMs);
    Stop();
    return false;
}

void CSimProcess::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}
