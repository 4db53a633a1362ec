"""lxi (liblxi's raw TCP client) asks velqsim for its identity over the SCPI socket."""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import VelqSim, skip  # noqa: E402


def main():
    lxi = shutil.which("lxi")
    if lxi is None:
        skip("lxi (Debian package lxi-tools) is not installed")
    with tempfile.TemporaryDirectory() as tmp:
        log = os.path.join(tmp, "wire.log")
        with VelqSim(["--log", log]) as sim:
            expected = sim.raw_query("*IDN?").decode("latin-1").strip()
            assert expected, "velqsim gave an empty identity over a plain socket"
            run = subprocess.run([lxi, "scpi", "-a", "127.0.0.1", "-p", str(sim.ports["SOCKET"]), "-t", "30",
                                  "-r", "*IDN?"], capture_output=True, timeout=120)
            out = run.stdout.decode("latin-1").strip()
            assert run.returncode == 0, "lxi failed (%d): %r %r" % (run.returncode, out, run.stderr)
            assert out == expected, "lxi printed %r, a plain socket got %r" % (out, expected)
        with open(log, "rb") as f:
            lines = f.read().splitlines()
        # lxi terminates the command with LF itself; the simulator logs it escaped.
        assert lines.count(b"*IDN?\\n") == 2, lines
    print("lxi over SOCKET: %s" % out)


if __name__ == "__main__":
    main()
