#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs bin/velqsim of the build tree on ephemeral ports for one test and stops it
// again. Every server the simulator knows is put on port 0, so parallel tests never
// collide, and the ports it chose are read back from its output.
class CSimProcess
{
public:
    CSimProcess() = default;
    ~CSimProcess();
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;

    // Starts the simulator with lstExtraArgs and waits for its READY line.
    bool Start(const QStringList& lstExtraArgs = {}, int nTimeoutMs = 60000);
    void Stop();

    // Why Start() failed, for the test's failure message.
    QString ErrorText() const { return m_strError; }

    quint16 SocketPort() const { return m_mapPorts.value(QStringLiteral("SOCKET")); }
    // "TCPIP0::127.0.0.1::<port>::SOCKET" as the simulator printed it.
    QByteArray SocketResource() const { return m_mapResources.value(QStringLiteral("SOCKET")); }
    // Port and resource of any other server line ("VXI11", "HISLIP", "PORTMAPPER").
    quint16 Port(const QString& strServer) const { return m_mapPorts.value(strServer); }
    QByteArray Resource(const QString& strServer) const { return m_mapResources.value(strServer); }

    qint64 ProcessId() const { return m_process.processId(); }

    static QString Executable();

    // Makes a process started later by proc die as soon as the calling thread's process
    // does, even when that process is killed with SIGKILL (as ctest does on a time-out),
    // so that no simulator outlives the test that started it. Call it from the thread
    // that will call start(): the kernel ties the signal to the thread that forks.
    static void DieWithParent(QProcess& proc);

private:
    QProcess m_process;
    QString m_strError;
    QMap<QString, quint16> m_mapPorts;
    QMap<QString, QByteArray> m_mapResources;
};
