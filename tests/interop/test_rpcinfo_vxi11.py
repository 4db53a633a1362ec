"""rpcinfo (libtirpc: rpcbind v4/v3 first, then portmapper v2) against velqsim's portmapper."""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from velqsim_fixture import skip  # noqa: E402
from vxi11_port111 import start_on_port111  # noqa: E402


def main():
    rpcinfo = shutil.which("rpcinfo") or ("/usr/sbin/rpcinfo" if os.access("/usr/sbin/rpcinfo", os.X_OK) else None)
    if rpcinfo is None:
        skip("rpcinfo (Debian package rpcbind) is not installed")
    sim = start_on_port111()
    try:
        core = sim.ports["VXI11"]
        run = subprocess.run([rpcinfo, "-p", "127.0.0.1"], capture_output=True, timeout=60)
        out = run.stdout.decode("latin-1")
        assert run.returncode == 0, "rpcinfo -p failed: %r %r" % (out, run.stderr)
        rows = [line.split() for line in out.splitlines()[1:]]
        assert ["395183", "1", "tcp", str(core)] in [row[:4] for row in rows], out
        assert ["100000", "2", "tcp", "111"] in [row[:4] for row in rows], out

        run = subprocess.run([rpcinfo, "-t", "127.0.0.1", "395183", "1"], capture_output=True, timeout=60)
        out = run.stdout.decode("latin-1").strip()
        assert run.returncode == 0 and "ready and waiting" in out, (out, run.stderr)

        # Version 2 of the core program does not exist: rpcinfo must say so, not hang.
        run = subprocess.run([rpcinfo, "-t", "127.0.0.1", "395183", "2"], capture_output=True, timeout=60)
        assert run.returncode != 0, run.stdout
    finally:
        sim.stop()
    print("rpcinfo -p and -t against velqsim: ok")


if __name__ == "__main__":
    main()
