"""velqsim with its portmapper on port 111, for VXI-11 peers that always ask there.

lxi and pyvisa-py have no way to name another portmapper port, so these tests
need 111 (root, or a running rpcbind that takes the simulator's registration).
ctest runs them one at a time (RESOURCE_LOCK port111), but a simulator started
outside ctest (scripts/run-console) takes 111 too when it can: then these tests
wait a bounded time for it to go and fail with a message naming the holder.
"""

import os
import subprocess
import time

from velqsim_fixture import VelqSim, skip

PORT111_WAIT_SECONDS = 60.0


def port111_holder():
    """The listening sockets on TCP port 111 as ss shows them (with their process), or ''."""
    try:
        run = subprocess.run(["ss", "-Hltnp", "sport = :111"], capture_output=True, timeout=10)
    except (OSError, subprocess.SubprocessError):
        return ""
    return run.stdout.decode("latin-1").strip()


def start_on_port111(extra_args=()):
    deadline = time.monotonic() + PORT111_WAIT_SECONDS
    while True:
        sim = VelqSim(["--portmapper-port", "111"] + list(extra_args))
        sim.start()
        if sim.ports.get("PORTMAPPER") == 111:
            break
        sim.stop()
        if os.geteuid() != 0:
            skip("port 111 needs root or a running rpcbind, and neither is available")
        if time.monotonic() >= deadline:
            holder = port111_holder()
            if not holder:
                raise AssertionError("velqsim as root announced no portmapper on 111 within %d s, and nothing "
                                     "else holds the port: %r" % (PORT111_WAIT_SECONDS, sim.lines))
            raise AssertionError("port 111 is held by another program that did not take velqsim's VXI-11 "
                                 "registration, still after %d s (a velqsim from scripts/run-console, or an "
                                 "rpcbind with a stale mapping?): %s" % (PORT111_WAIT_SECONDS, holder))
        time.sleep(2.0)
    if "VXI11" not in sim.ports:
        sim.stop()
        raise AssertionError("velqsim announced no VXI11 line: %r" % sim.lines)
    return sim
