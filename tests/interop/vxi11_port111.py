"""velqsim with its portmapper on port 111, for VXI-11 peers that always ask there.

lxi and pyvisa-py have no way to name another portmapper port, so these tests
need 111 (root, or a running rpcbind that takes the simulator's registration).
ctest runs them one at a time (RESOURCE_LOCK port111).
"""

import os

from velqsim_fixture import VelqSim, skip


def start_on_port111(extra_args=()):
    sim = VelqSim(["--portmapper-port", "111"] + list(extra_args))
    sim.start()
    if sim.ports.get("PORTMAPPER") != 111:
        sim.stop()
        if os.geteuid() != 0:
            skip("port 111 needs root or a running rpcbind, and neither is available")
        raise AssertionError("velqsim as root announced no portmapper on 111: %r" % sim.lines)
    if "VXI11" not in sim.ports:
        sim.stop()
        raise AssertionError("velqsim announced no VXI11 line: %r" % sim.lines)
    return sim
