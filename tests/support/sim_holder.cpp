// Holds one simulator through CSimProcess, prints the simulator's process id and
// waits to be killed: a test kills this holder with SIGKILL and checks that the
// simulator does not outlive it.
#include "SimProcess.h"

#include <QCoreApplication>

#include <cstdio>

#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CSimProcess sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "velq_sim_holder: %s\n", qPrintable(sim.ErrorText()));
        return 1;
    }
    std::printf("%lld\n", static_cast<long long>(sim.ProcessId()));
    std::fflush(stdout);
    for (;;)
        ::pause();
}
