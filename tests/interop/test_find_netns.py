"""Discovery end to end in two private network namespaces joined by a veth pair: velqsim serves
on one side, and PyVISA's list_resources() through libvelqvisa.so on the other finds its VXI-11
server by the portmapper broadcast, its three servers by multicast DNS, and reaches them."""

import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import VelqSim, build_dir, skip  # noqa: E402

# Documentation-free private range; the addresses exist only inside the namespaces.
SIM_ADDRESS = "10.213.7.2"
CLIENT_ADDRESS = "10.213.7.1"

CLIENT = r"""
import json, sys, pyvisa
rm = pyvisa.ResourceManager(sys.argv[1])
found = rm.list_resources("TCPIP?*")
assert list(found) == json.loads(sys.argv[2]), found
for name in found:
    inst = rm.open_resource(name, timeout=10000, read_termination="\n", write_termination="\n")
    print(inst.query("*IDN?"))
    inst.close()
rm.close()
"""


def run(*args):
    subprocess.run(args, check=True, capture_output=True, timeout=60)


class NetnsSim(VelqSim):
    def __init__(self, namespace, extra_args):
        super().__init__(extra_args=extra_args)
        self.namespace = namespace

    def _args(self):
        return ["ip", "netns", "exec", self.namespace] + super()._args()


def main():
    if os.geteuid() != 0 or not shutil.which("ip"):
        skip("skipped: needs network namespaces")
    try:
        import pyvisa  # noqa: F401
    except ImportError as error:
        skip("PyVISA is not installed (python3-pyvisa): %s" % error)
    client_ns, sim_ns = "velqfc%d" % os.getpid(), "velqfs%d" % os.getpid()
    try:
        run("ip", "netns", "add", client_ns)
        run("ip", "netns", "add", sim_ns)
    except (subprocess.CalledProcessError, OSError):
        for ns in (client_ns, sim_ns):
            subprocess.run(["ip", "netns", "del", ns], capture_output=True)
        skip("skipped: needs network namespaces")
    try:
        run("ip", "link", "add", "vfc", "netns", client_ns, "type", "veth", "peer", "name", "vfs", "netns", sim_ns)
        for ns, dev, address in ((client_ns, "vfc", CLIENT_ADDRESS), (sim_ns, "vfs", SIM_ADDRESS)):
            run("ip", "-n", ns, "addr", "add", address + "/24", "brd", "+", "dev", dev)
            run("ip", "-n", ns, "link", "set", dev, "up")
            run("ip", "-n", ns, "link", "set", "lo", "up")
        library = os.path.join(build_dir(), "lib", "libvelqvisa.so")
        with NetnsSim(sim_ns, ["--bind", SIM_ADDRESS, "--portmapper-port", "111", "--mdns", "Bench Sim"]) as sim, \
                tempfile.TemporaryDirectory() as config:
            assert sim.ports.get("PORTMAPPER") == 111, sim.lines
            vxi11 = "TCPIP0::%s::inst0::INSTR" % SIM_ADDRESS
            hislip = "TCPIP0::%s::hislip0,%d::INSTR" % (SIM_ADDRESS, sim.ports["HISLIP"])
            raw = "TCPIP0::%s::%d::SOCKET" % (SIM_ADDRESS, sim.ports["SOCKET"])
            env = dict(os.environ, XDG_CONFIG_HOME=config, VELQ_SYSFS_ROOT=os.path.join(config, "no-sys"))
            env.pop("VELQ_VXI11_PORTMAPPER_PORT", None)
            # Each network source alone, then both: one host, best name first, nothing twice.
            for switches, expected in (("mdns = off", [vxi11]), ("broadcast = off", [hislip, vxi11, raw]),
                                       ("", [hislip, vxi11, raw])):
                with open(os.path.join(config, "velqvisa.conf"), "w") as conf:
                    conf.write("[find]\n%s\n" % switches)
                result = subprocess.run(["ip", "netns", "exec", client_ns, "/usr/bin/python3", "-c", CLIENT, library,
                                         json.dumps(expected)], capture_output=True, text=True, timeout=120, env=env)
                assert result.returncode == 0, (switches, result.stderr)
                assert len(result.stdout.strip().splitlines()) == len(expected), result.stdout
    finally:
        for ns in (client_ns, sim_ns):
            subprocess.run(["ip", "netns", "del", ns], capture_output=True)
    print("across a veth pair: the broadcast found velqsim's VXI-11 server, mDNS its three servers, "
          "each answered *IDN?")


if __name__ == "__main__":
    main()
