"""lxi (liblxi's VXI-11 client, portmapper on 111) against velqsim."""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import skip  # noqa: E402
from vxi11_port111 import start_on_port111  # noqa: E402


def main():
    lxi = shutil.which("lxi")
    if lxi is None:
        skip("lxi (Debian package lxi-tools) is not installed")
    with tempfile.TemporaryDirectory() as tmp:
        log = os.path.join(tmp, "wire.log")
        sim = start_on_port111(["--log", log])
        try:
            expected = sim.raw_query("*IDN?").decode("latin-1").strip()
            run = subprocess.run([lxi, "scpi", "-a", "127.0.0.1", "-t", "30", "*IDN?"],
                                 capture_output=True, timeout=120)
            out = run.stdout.decode("latin-1").strip()
            assert run.returncode == 0, "lxi failed (%d): %r %r" % (run.returncode, out, run.stderr)
            assert out == expected, "lxi printed %r, a plain socket got %r" % (out, expected)
        finally:
            sim.stop()
        with open(log, "rb") as f:
            lines = f.read().splitlines()
        # lxi sends no newline over VXI-11: END alone ends its message.
        assert b"*IDN?" in lines, lines
    print("lxi over VXI-11: %s" % out)


if __name__ == "__main__":
    main()
