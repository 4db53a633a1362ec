"""PyVISA loading libvelqvisa.so by path against velqsim over a raw SCPI socket."""

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
        identity = sim.raw_query("*IDN?").decode("latin-1").strip()
        rm = pyvisa.ResourceManager(library)
        try:
            inst = rm.open_resource(sim.resources["SOCKET"], read_termination="\n", write_termination="\n",
                                    timeout=30000)
            assert inst.query("*IDN?") == identity

            inst.write("TEST:BLOC? %d" % BLOCK)
            raw = inst.read_raw()
            header = b"#%d%d" % (len(str(BLOCK)), BLOCK)
            assert raw[:len(header)] == header, raw[:20]
            assert raw[len(header):-1] == bytes(i % 256 for i in range(BLOCK)), "block contents differ"
            assert raw[-1:] == b"\n"

            inst.clear()
            assert inst.query("*OPC?") == "1"
            inst.close()
        finally:
            rm.close()
    print("PyVISA with libvelqvisa over SOCKET: query, read_raw of a block, clear: ok")


if __name__ == "__main__":
    main()
