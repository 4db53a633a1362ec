"""PyVISA loading libvelqvisa.so by path against velqsim's serial line (a pseudo-terminal)."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import VelqSim, build_dir, skip  # noqa: E402

try:
    import pyvisa
    from pyvisa import constants
except ImportError as error:
    skip("PyVISA is not installed (python3-pyvisa): %s" % error)

BLOCK = 300  # bytes 0..255 and on: a line feed inside the block


def expect_error(code, call):
    try:
        call()
    except pyvisa.errors.VisaIOError as error:
        assert error.error_code == code, error
        return
    raise AssertionError("no error %s" % code)


def main():
    library = os.path.join(build_dir(), "lib", "libvelqvisa.so")
    with VelqSim(["--serial"]) as sim:
        identity = sim.raw_query("*IDN?").decode("latin-1").strip()
        rm = pyvisa.ResourceManager(library)
        try:
            resource = sim.resources["ASRL"]
            inst = rm.open_resource(resource, read_termination="\n", write_termination="\n", timeout=30000)
            assert inst.interface_type == constants.InterfaceType.asrl
            assert (inst.baud_rate, inst.data_bits, inst.stop_bits, inst.parity, inst.flow_control) == (
                9600, 8, constants.StopBits.one, constants.Parity.none, 0)
            assert inst.end_input == constants.SerialTermination.termination_char
            assert inst.get_visa_attribute(constants.VI_ATTR_ASRL_END_OUT) == constants.SerialTermination.none
            assert inst.query("*IDN?") == identity

            # The answer ends at its own line feed, not at the one inside the block.
            inst.read_termination = None
            inst.write("TEST:BLOCk? %d" % BLOCK)
            raw = inst.read_raw()
            header = b"#3%d" % BLOCK
            assert raw == header + bytes(i % 256 for i in range(BLOCK)) + b"\n", raw[:20]
            inst.read_termination = "\n"

            inst.baud_rate = 115200
            assert inst.baud_rate == 115200
            expect_error(constants.StatusCode.error_nonsupported_attribute_state,
                         lambda: inst.set_visa_attribute(constants.VI_ATTR_ASRL_BAUD, 4000000000))
            assert inst.baud_rate == 115200

            inst.timeout = 500
            inst.write("TEST:DELay 3000")
            start = time.monotonic()
            expect_error(constants.StatusCode.error_timeout, lambda: inst.query("TEST:TEXT? 5"))
            assert time.monotonic() - start < 2.5
            time.sleep(3)
            # The late answer is in the port's input by now; clearing must drop it.
            inst.clear()
            inst.timeout = 30000
            assert inst.query("*IDN?") == identity
            inst.close()

            # Closed means released: the port opens again at once.
            inst = rm.open_resource(resource, read_termination="\n", write_termination="\n", timeout=30000)
            assert inst.query("*IDN?") == identity
            inst.close()
        finally:
            rm.close()
    print("PyVISA with libvelqvisa over ASRL: defaults, query, block with LF, baud rate, time-out, clear: ok")


if __name__ == "__main__":
    main()
