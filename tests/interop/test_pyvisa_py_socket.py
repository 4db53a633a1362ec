"""PyVISA with the pure-Python backend against velqsim over a raw SCPI socket."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import VelqSim, skip  # noqa: E402

try:
    import pyvisa
    import pyvisa_py  # noqa: F401
except ImportError as error:
    skip("PyVISA with pyvisa-py is not installed (python3-pyvisa, python3-pyvisa-py): %s" % error)

BLOCK = 1024 * 1024


def main():
    with VelqSim() as sim:
        identity = sim.raw_query("*IDN?").decode("latin-1").strip()
        rm = pyvisa.ResourceManager("@py")
        try:
            inst = rm.open_resource(sim.resources["SOCKET"], read_termination="\n", write_termination="\n",
                                    timeout=30000)
            assert inst.query("*IDN?") == identity

            data = inst.query_binary_values("TEST:BLOC? %d" % BLOCK, datatype="B", container=bytes)
            assert len(data) == BLOCK, len(data)
            assert data == bytes(i % 256 for i in range(BLOCK)), "block contents differ"

            inst.timeout = 500
            inst.write("TEST:DEL 5000;*OPC?")
            try:
                inst.read()
            except pyvisa.errors.VisaIOError as error:
                assert error.error_code == pyvisa.constants.StatusCode.error_timeout, error
            else:
                raise AssertionError("a read of a held-back answer did not time out")
            inst.timeout = 30000
            assert inst.read() == "1", "the held-back answer was lost after the time-out"
            assert inst.query("*OPC?") == "1"
            inst.close()
        finally:
            rm.close()
    print("pyvisa-py over SOCKET: query, %d-byte block, time-out: ok" % BLOCK)


if __name__ == "__main__":
    main()
