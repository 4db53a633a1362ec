"""PyVISA's list_resources() through libvelqvisa.so: configured resources and aliases are listed,
and a listed name or alias opens the simulator."""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import VelqSim, build_dir, skip  # noqa: E402

try:
    import pyvisa
except ImportError as error:
    skip("PyVISA is not installed (python3-pyvisa): %s" % error)


def main():
    library = os.path.join(build_dir(), "lib", "libvelqvisa.so")
    with VelqSim() as sim, tempfile.TemporaryDirectory() as config:
        socket_name = sim.resources["SOCKET"]
        with open(os.path.join(config, "velqvisa.conf"), "w") as conf:
            conf.write("[find]\nbroadcast = off\nmdns = off\n[resources]\n%s\n192.0.2.10\n[aliases]\nsim = %s\n"
                       % (socket_name, socket_name))
        os.environ["XDG_CONFIG_HOME"] = config
        os.environ["VELQ_SYSFS_ROOT"] = os.path.join(config, "no-sys")
        rm = pyvisa.ResourceManager(library)
        try:
            listed = rm.list_resources("?*")
            assert listed == ("TCPIP0::127.0.0.1::%d::SOCKET" % sim.ports["SOCKET"],
                              "TCPIP0::192.0.2.10::inst0::INSTR"), listed
            assert rm.list_resources() == ("TCPIP0::192.0.2.10::inst0::INSTR",), rm.list_resources()
            info = rm.list_resources_info("?*SOCKET")
            assert [i.alias for i in info.values()] == ["sim"], info

            inst = rm.open_resource("SIM", read_termination="\n", write_termination="\n", timeout=20000)
            identity = sim.raw_query("*IDN?").decode("latin-1").strip()
            assert inst.query("*IDN?") == identity
            inst.close()
        finally:
            rm.close()
    print("PyVISA list_resources through libvelqvisa: configured names, alias, open by alias: ok")


if __name__ == "__main__":
    main()
