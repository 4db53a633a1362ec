"""pyvisa-py's VXI-11 client (portmapper on 111) against velqsim."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import skip  # noqa: E402
from vxi11_port111 import start_on_port111  # noqa: E402

try:
    import pyvisa
    import pyvisa_py  # noqa: F401
except ImportError as error:
    skip("PyVISA with pyvisa-py is not installed (python3-pyvisa-py): %s" % error)

BLOCK = 100000


def main():
    sim = start_on_port111()
    try:
        identity = sim.raw_query("*IDN?").decode("latin-1").strip()
        rm = pyvisa.ResourceManager("@py")
        try:
            for name in ("TCPIP::127.0.0.1::INSTR", "TCPIP0::127.0.0.1::inst0::INSTR"):
                inst = rm.open_resource(name, timeout=30000)
                assert inst.query("*IDN?").strip() == identity
                inst.close()

            inst = rm.open_resource("TCPIP0::127.0.0.1::INSTR", timeout=30000)
            inst.write("TEST:BLOC? %d" % BLOCK)
            raw = inst.read_raw()
            header = b"#%d%d" % (len(str(BLOCK)), BLOCK)
            assert raw[:len(header)] == header, raw[:20]
            assert raw[len(header):-1] == bytes(i % 256 for i in range(BLOCK)), "block contents differ"

            # A pending answer sets MAV; device clear drops it.
            inst.write("*IDN?")
            assert inst.read_stb() & 0x10
            inst.clear()
            assert inst.read_stb() & 0x10 == 0
            assert inst.query("*OPC?").strip() == "1"
            inst.close()
        finally:
            rm.close()
    finally:
        sim.stop()
    print("pyvisa-py over VXI-11: query, read_raw of a block, read_stb, clear: ok")


if __name__ == "__main__":
    main()
