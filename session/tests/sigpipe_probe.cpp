// Linked against VelqLink and nothing else that touches signals: writes into a
// connection whose peer is gone. Exits 0 when the write fails with EPIPE, which
// only happens if loading the library made SIGPIPE harmless.
#include "InstrumentVISA.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

int main()
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
