// Command files are chosen by the user and may hold anything.
#include "CmdFileParser.h"

#include <cstdio>

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The parser reads a path; an in-memory file keeps the run free of disk writes.
    const int fd = memfd_create("velq-cmdfile", 0);
    if (fd < 0)
        return 0;
    size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n <= 0)
            break;
        written += size_t(n);
    }
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    {
        CCmdFileParser parser(QString::fromLatin1(path));
        QString command;
        QString description;
        // Every call consumes at least one line; more calls than bytes means it is stuck.
        for (size_t calls = 0; parser.GetNextCommand(command, description) != CMDFILE_END; ++calls) {
            if (calls > size + 1)
                __builtin_trap();
        }
    }
    ::close(fd);
    return 0;
}
