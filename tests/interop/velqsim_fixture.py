"""Start bin/velqsim of the build tree on ephemeral ports for one interop test.

    with VelqSim() as sim:
        sim.ports["SOCKET"], sim.resources["SOCKET"], sim.ports.get("VXI11") ...

Every server the simulator offers is put on port 0 (so tests never collide) and
the ports it chose are read back from its output lines "<SERVER> <port> <resource>"
up to "READY". The simulator is stopped when the block ends, also on failure.

Run as a script it starts the simulator, runs a command with {SOCKET}, {SOCKET_RSRC},
{VXI11}, {HISLIP}, {PORTMAPPER} replaced and also exported as VELQ_SIM_<NAME>, and
returns the command's exit code:

    velqsim_fixture.py [--sim-arg ARG ...] -- lxi scpi -a 127.0.0.1 -p {SOCKET} -r "*IDN?"
"""

import ctypes
import os
import selectors
import signal
import socket
import subprocess
import sys
import time

SKIP = 77  # ctest SKIP_RETURN_CODE of every interop test


def build_dir():
    path = os.environ.get("VELQ_BUILD_DIR")
    if not path:
        raise RuntimeError("VELQ_BUILD_DIR is not set (ctest sets it)")
    return path


_PR_SET_PDEATHSIG = 1


def die_with_parent():
    """A preexec_fn: the child gets SIGKILL when this process ends, however it ends.

    ctest kills a test that runs past its time-out with SIGKILL, which runs no
    finally block; without this the simulator would outlive the test.
    """
    parent = os.getpid()

    def arm():
        ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)
        # The parent may have died before prctl ran; then no signal would come.
        if os.getppid() != parent:
            os._exit(127)

    return arm


def stop_on_sigterm():
    """Turn SIGTERM into SystemExit, so that with-blocks stop the simulator."""
    def handler(signum, frame):
        raise SystemExit("terminated by signal %d" % signum)

    signal.signal(signal.SIGTERM, handler)


stop_on_sigterm()


def skip(reason):
    print("SKIP: " + reason, flush=True)
    sys.exit(SKIP)


class VelqSim:
    def __init__(self, extra_args=(), timeout=60.0, port_options=True):
        self.exe = os.path.join(build_dir(), "bin", "velqsim")
        self.extra_args = list(extra_args)
        self.timeout = timeout
        self.port_options = port_options
        self.proc = None
        self.ports = {}
        self.resources = {}
        self.lines = []

    def _args(self):
        args = [self.exe, "--socket-port", "0"]
        if self.port_options:
            helptext = subprocess.run([self.exe, "--help"], capture_output=True, timeout=self.timeout,
                                      preexec_fn=die_with_parent())
            known = helptext.stdout + helptext.stderr
            for option in ("--vxi11-port", "--portmapper-port", "--hislip-port"):
                if option.encode() in known and option not in self.extra_args:
                    args += [option, "0"]
        return args + self.extra_args

    def start(self):
        if not os.access(self.exe, os.X_OK):
            raise RuntimeError(self.exe + " is not built")
        self.proc = subprocess.Popen(self._args(), stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                     preexec_fn=die_with_parent())
        deadline = time.monotonic() + self.timeout
        sel = selectors.DefaultSelector()
        sel.register(self.proc.stdout, selectors.EVENT_READ)
        try:
            if self._read_ready(sel, deadline):
                return self
        except BaseException:
            self.stop()
            raise
        finally:
            sel.close()
        self.stop()
        raise RuntimeError("velqsim gave no READY line; its output was: %r" % self.lines)

    def _read_ready(self, sel, deadline):
        """Reads announcement lines up to READY; False if the simulator ended or the time ran out."""
        pending = b""
        while time.monotonic() < deadline:
            if not sel.select(timeout=max(0.0, min(1.0, deadline - time.monotonic()))):
                if self.proc.poll() is not None:
                    break
                continue
            chunk = os.read(self.proc.stdout.fileno(), 4096)
            if not chunk:
                break
            pending += chunk
            while b"\n" in pending:
                raw, pending = pending.split(b"\n", 1)
                line = raw.decode("latin-1").strip()
                self.lines.append(line)
                if line == "READY":
                    if "SOCKET" not in self.ports:
                        raise RuntimeError("velqsim printed READY without a SOCKET line")
                    return True
                fields = line.split()
                if len(fields) >= 2 and fields[1].isdigit():
                    self.ports[fields[0]] = int(fields[1])
                    if len(fields) >= 3:
                        self.resources[fields[0]] = fields[2]
                elif len(fields) == 3 and fields[2].endswith("::INSTR"):
                    # A server without a port: the serial line ("ASRL <path> <resource>").
                    self.resources[fields[0]] = fields[2]
        return False

    def stop(self):
        if self.proc is None:
            return
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=10)
        self.proc.stdout.close()
        self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        return False

    def raw_query(self, command, timeout=20.0):
        """The answer to one command over a plain TCP socket, up to and including LF."""
        with socket.create_connection(("127.0.0.1", self.ports["SOCKET"]), timeout=timeout) as sock:
            sock.sendall(command.encode("latin-1") + b"\n")
            answer = b""
            while not answer.endswith(b"\n"):
                chunk = sock.recv(65536)
                if not chunk:
                    break
                answer += chunk
            return answer


def main(argv):
    sim_args = []
    while argv and argv[0] != "--":
        if argv[0] == "--sim-arg" and len(argv) > 1:
            sim_args.append(argv[1])
            argv = argv[2:]
        else:
            print("usage: velqsim_fixture.py [--sim-arg ARG ...] -- COMMAND ...", file=sys.stderr)
            return 2
    command = argv[1:]
    if not command:
        print("usage: velqsim_fixture.py [--sim-arg ARG ...] -- COMMAND ...", file=sys.stderr)
        return 2
    with VelqSim(sim_args) as sim:
        values = {name: str(port) for name, port in sim.ports.items()}
        values.update({name + "_RSRC": rsrc for name, rsrc in sim.resources.items()})
        env = dict(os.environ)
        env.update({"VELQ_SIM_" + name: value for name, value in values.items()})
        for name, value in values.items():
            command = [part.replace("{" + name + "}", value) for part in command]
        return subprocess.run(command, env=env, preexec_fn=die_with_parent()).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
