// Checks VelqLink in a process of its own, where QtTest's crash handler cannot
// interfere and the VISA library can be swapped. Exit code 0 means the check held.
//   velqlink_probe sigpipe      a write into a connection whose peer is gone fails with
//                               EPIPE instead of killing the process
//   velqlink_probe no-manager   run against a VISA library whose resource manager never
//                               opens: the message is reported with the status behind it,
//                               the object stays usable and every open fails; the library
//                               names no status, so the value stands in for the name
#include "InstrumentVISA.h"

#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int s_nHookCalls = 0;
QString s_strHookText;

void CountingHook(const QString& strText)
{
    ++s_nHookCalls;
    s_strHookText = strText;
}

int SigPipe()
{
    // Referencing the library keeps the linker from dropping it.
    CInstrumentVISA::SetMessageHook(nullptr);
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 2;
    close(fds[1]);
    const ssize_t nWritten = write(fds[0], "x", 1);
    return nWritten < 0 && errno == EPIPE ? 0 : 3;
}

int NoManager()
{
    // The first object reports through the default hook, a line on stderr.
    CInstrumentVISA first;
    CInstrumentVISA::SetMessageHook(&CountingHook);
    if (first.OpenSession() != 0)
        return 10;
    if (s_nHookCalls != 1
        || s_strHookText != QStringLiteral("Error: Failed to open default resource manager!\n0xBFFF0000: no VISA here"))
        return 11;
    // A second object tries again, since no manager is open.
    CInstrumentVISA second;
    if (s_nHookCalls != 2)
        return 12;
    if (first.SetInstrumentControl("TCPIP0::127.0.0.1::5025::SOCKET", 1000) != 0 || first.IsInstruConnected() != 0)
        return 13;
    // VI_ERROR_INV_OBJECT, which the stand-in returns for an open without a manager.
    if (first.GetLastStatus() != static_cast<std::int32_t>(0xBFFF000Eu) || first.GetLastStatusName() != QStringLiteral("0xBFFF000E")
        || first.GetLastStatusDesc() != QStringLiteral("no VISA here"))
        return 15;
    if (QString::fromUtf16(second.GetInstrumentInfo()) != QStringLiteral("Instrument Class"))
        return 14;
    CInstrumentVISA::SetMessageHook(nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "sigpipe") == 0)
        return SigPipe();
    if (argc == 2 && std::strcmp(argv[1], "no-manager") == 0)
        return NoManager();
    std::fputs("usage: velqlink_probe sigpipe|no-manager\n", stderr);
    return 2;
}
