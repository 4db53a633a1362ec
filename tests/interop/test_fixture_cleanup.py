"""The fixture's simulator goes with the test process, even when ctest kills it with SIGKILL."""

import os
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from velqsim_fixture import die_with_parent  # noqa: E402

HOLDER = """
import sys, time
sys.path.insert(0, %r)
from velqsim_fixture import VelqSim
sim = VelqSim().start()
print(sim.proc.pid, flush=True)
time.sleep(600)
""" % HERE


def alive(pid):
    """False once the process is gone or a zombie waiting for init."""
    try:
        with open("/proc/%d/stat" % pid, "rb") as f:
            stat = f.read()
    except OSError:
        return False
    return stat[stat.rindex(b")") + 2:][:1] != b"Z"


def main():
    holder = subprocess.Popen([sys.executable, "-c", HOLDER], stdout=subprocess.PIPE,
                              preexec_fn=die_with_parent())
    try:
        line = holder.stdout.readline()
        assert line.strip().isdigit(), "the holder reported no simulator: %r" % line
        sim_pid = int(line)
        assert alive(sim_pid)
        holder.send_signal(signal.SIGKILL)
        holder.wait(timeout=60)
        deadline = time.monotonic() + 60
        while alive(sim_pid) and time.monotonic() < deadline:
            time.sleep(0.02)
        if alive(sim_pid):
            os.kill(sim_pid, signal.SIGKILL)
            raise AssertionError("the simulator outlived the killed test process")
    finally:
        if holder.poll() is None:
            holder.kill()
            holder.wait()
        holder.stdout.close()
    print("the simulator ended with its killed parent")


if __name__ == "__main__":
    main()
