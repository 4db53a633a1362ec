"""PyVISA loading libvelqvisa.so by path against velqsim over VXI-11.

Our library honours VELQ_VXI11_PORTMAPPER_PORT, so this test needs no port 111.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import VelqSim, build_dir, skip  # noqa: E402

try:
    import pyvisa
except ImportError as error:
    skip("PyVISA is not installed (python3-pyvisa): %s" % error)

BLOCK = 100000


def main():
    library = os.path.join(build_dir(), "lib", "libvelqvisa.so")
    with VelqSim() as sim:
        assert "PORTMAPPER" in sim.ports and "VXI11" in sim.ports, sim.lines
        os.environ["VELQ_VXI11_PORTMAPPER_PORT"] = str(sim.ports["PORTMAPPER"])
        identity = sim.raw_query("*IDN?").decode("latin-1").strip()
        rm = pyvisa.ResourceManager(library)
        try:
            inst = rm.open_resource("TCPIP0::127.0.0.1::INSTR", timeout=30000)
            assert inst.query("*IDN?").strip() == identity

            values = inst.query_binary_values("TEST:BLOC? %d" % BLOCK, datatype="B", container=bytes)
            assert values == bytes(i % 256 for i in range(BLOCK)), "block contents differ"

            inst.write("*IDN?")
            assert inst.read_stb() & 0x10
            inst.clear()
            assert inst.read_stb() & 0x10 == 0
            inst.lock_excl()
            assert inst.query("*OPC?").strip() == "1"
            inst.unlock()
            inst.close()
        finally:
            rm.close()
    print("PyVISA with libvelqvisa over VXI-11: query, binary block, read_stb, clear, lock: ok")


if __name__ == "__main__":
    main()
