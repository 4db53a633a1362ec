"""PyVISA loading libvelqvisa.so by path against velqsim over HiSLIP.

No packaged peer speaks HiSLIP, so this checks the other direction of
independence: a third-party binding drives our library through the standard
C API (viOpen, viWrite, viRead, viReadSTB, viClear).
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import VelqSim, build_dir, skip  # noqa: E402

try:
    import pyvisa
    from pyvisa import constants
except ImportError as error:
    skip("PyVISA is not installed (python3-pyvisa): %s" % error)

BLOCK = 3 * 1024 * 1024 + 7  # several 1 MiB HiSLIP messages


def main():
    library = os.path.join(build_dir(), "lib", "libvelqvisa.so")
    with VelqSim() as sim:
        if "HISLIP" not in sim.resources:
            raise AssertionError("velqsim printed no HISLIP line: %r" % sim.ports)
        resource = sim.resources["HISLIP"]
        identity = sim.raw_query("*IDN?").decode("latin-1").strip()
        rm = pyvisa.ResourceManager(library)
        try:
            inst = rm.open_resource(resource, read_termination="\n", write_termination="\n", timeout=30000)
            assert inst.get_visa_attribute(constants.VI_ATTR_TCPIP_IS_HISLIP), "not opened as HiSLIP"
            assert inst.query("*IDN?") == identity

            # HiSLIP ends a message with END; the termination character would
            # stop at the first 0x0A inside the block, as on any VISA.
            inst.read_termination = None
            inst.write("TEST:BLOC? %d" % BLOCK)
            raw = inst.read_raw()
            inst.read_termination = "\n"
            header = b"#%d%d" % (len(str(BLOCK)), BLOCK)
            assert raw[:len(header)] == header, raw[:20]
            assert raw[len(header):-1] == bytes(i % 256 for i in range(BLOCK)), "block contents differ"
            assert raw[-1:] == b"\n"

            inst.write("*IDN?")
            stb = inst.read_stb()
            inst.read()
            assert inst.read_stb() & 0x10 == 0, "MAV still set after the answer was read"

            inst.write("TEST:BLOC? 20000000")
            inst.read_bytes(1000)
            inst.clear()
            assert inst.query("*OPC?") == "1"

            inst.close()
        finally:
            rm.close()
    print("PyVISA with libvelqvisa over HiSLIP: query, %d-byte block, status byte %#x, clear: ok"
          % (BLOCK, stb))


if __name__ == "__main__":
    main()
