"""Hostile peers against bin/velqsim, each probe bounded in count and time.

Each probe starts its own simulator (under prlimit limits where the probe is
about limits), attacks it, and then checks that *IDN? still answers over
SOCKET, HiSLIP and VXI-11 and that the memory it took went back down.

    VELQ_BUILD_DIR=build python3 tests/hostile/hostile_sim.py [probe ...]

Needs root (to run the simulator as another user under a task limit, and to
bind reserved ports); exits 77 without it.
"""

import os
import socket
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "interop"))
from velqsim_fixture import VelqSim, skip  # noqa: E402

NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"]
WAIT = 10.0


class LimitedSim(VelqSim):
    """The simulator behind a command prefix (prlimit, setpriv)."""

    def __init__(self, prefix=(), extra_args=()):
        super().__init__(extra_args)
        self.prefix = list(prefix)

    def _args(self):
        return self.prefix + super()._args()

    def pid(self):
        # prlimit and setpriv exec the simulator: the child is the simulator itself.
        return self.proc.pid

    def rss_kib(self):
        with open("/proc/%d/status" % self.pid()) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def threads(self):
        return len(os.listdir("/proc/%d/task" % self.pid()))

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.pid()) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def connect(port, timeout=WAIT):
    return socket.create_connection(("127.0.0.1", port), timeout=timeout)


def recv_exact(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise ConnectionError("closed after %d of %d bytes" % (len(data), n))
        data += chunk
    return data


# ---- SOCKET -------------------------------------------------------------------

def socket_query(sim, command):
    with connect(sim.ports["SOCKET"]) as sock:
        sock.sendall(command + b"\n")
        answer = b""
        while not answer.endswith(b"\n"):
            chunk = sock.recv(65536)
            if not chunk:
                break
            answer += chunk
        return answer


# ---- HiSLIP -------------------------------------------------------------------

def hislip_frame(msg_type, control, param, payload=b""):
    return b"HS" + struct.pack(">BBIQ", msg_type, control, param, len(payload)) + payload


def hislip_read(sock):
    header = recv_exact(sock, 16)
    msg_type, control, param, length = struct.unpack(">BBIQ", header[2:])
    return msg_type, control, param, recv_exact(sock, length)


def hislip_open(port, max_size=None):
    sync = connect(port)
    sync.sendall(hislip_frame(0, 0, (0x0100 << 16) | 0x5651, b"hislip0"))
    msg_type, _, param, _ = hislip_read(sync)
    if msg_type != 1:
        sync.close()
        raise ConnectionError("Initialize answered with message type %d" % msg_type)
    asyn = connect(port)
    asyn.sendall(hislip_frame(17, 0, param & 0xFFFF))
    if hislip_read(asyn)[0] != 18:
        raise ConnectionError("AsyncInitialize refused")
    if max_size is not None:
        asyn.sendall(hislip_frame(15, 0, 0, struct.pack(">Q", max_size)))
        hislip_read(asyn)
    return sync, asyn


def hislip_query(sim, command):
    sync, asyn = hislip_open(sim.ports["HISLIP"])
    try:
        sync.sendall(hislip_frame(7, 0, 0xFFFFFF00, command + b"\n"))
        answer = b""
        while True:
            msg_type, _, _, payload = hislip_read(sync)
            answer += payload
            if msg_type == 7:
                return answer
    finally:
        sync.close()
        asyn.close()


# ---- VXI-11 -------------------------------------------------------------------

def rpc_call(sock, xid, prog, vers, proc, args):
    body = struct.pack(">IIIIIIIIII", xid, 0, 2, prog, vers, proc, 0, 0, 0, 0) + args
    sock.sendall(struct.pack(">I", 0x80000000 | len(body)) + body)
    record = b""
    while True:
        mark = struct.unpack(">I", recv_exact(sock, 4))[0]
        record += recv_exact(sock, mark & 0x7FFFFFFF)
        if mark & 0x80000000:
            break
    # xid, REPLY, MSG_ACCEPTED, verifier (flavour, empty body), SUCCESS
    if struct.unpack(">I", record[20:24])[0] != 0:
        raise ConnectionError("RPC call not accepted")
    return record[24:]


def xdr_opaque(data):
    return struct.pack(">I", len(data)) + data + b"\0" * (-len(data) % 4)


VXI11_CORE = 0x0607AF


def vxi11_create_link(sock, name, xid=1):
    reply = rpc_call(sock, xid, VXI11_CORE, 1, 10, struct.pack(">iiI", 1, 0, 0) + xdr_opaque(name))
    error, lid = struct.unpack(">ii", reply[:8])
    if error:
        raise ConnectionError("create_link: error %d" % error)
    return lid


def vxi11_query(sim, command, name=b"inst0"):
    with connect(sim.ports["VXI11"]) as sock:
        lid = vxi11_create_link(sock, name)
        reply = rpc_call(sock, 2, VXI11_CORE, 1, 11, struct.pack(">iIII", lid, 5000, 0, 8) + xdr_opaque(command + b"\n"))
        if struct.unpack(">i", reply[:4])[0]:
            raise ConnectionError("device_write failed")
        answer = b""
        for xid in range(3, 40):
            reply = rpc_call(sock, xid, VXI11_CORE, 1, 12, struct.pack(">iIIIII", lid, 65536, 5000, 0, 0, 0))
            error, reason, size = struct.unpack(">iiI", reply[:12])
            if error:
                raise ConnectionError("device_read: error %d" % error)
            answer += reply[12:12 + size]
            if reason & 4:
                break
        rpc_call(sock, 99, VXI11_CORE, 1, 23, struct.pack(">i", lid))
        return answer


# ---- checks -------------------------------------------------------------------

def check_serves(sim, what):
    for protocol, query in (("SOCKET", socket_query), ("HISLIP", hislip_query), ("VXI11", vxi11_query)):
        answer = b""
        # A slot taken by an evicted peer frees within a second.
        for _ in range(5):
            try:
                answer = query(sim, b"*IDN?")
                break
            except (OSError, ConnectionError, struct.error):
                time.sleep(0.5)
        if answer.count(b",") != 3:
            raise AssertionError("%s: *IDN? over %s gave %r" % (what, protocol, answer))


def check_memory(sim, baseline_kib, what, slack_kib=64 * 1024):
    deadline = time.monotonic() + WAIT
    while sim.rss_kib() > baseline_kib + slack_kib and time.monotonic() < deadline:
        time.sleep(0.2)
    if sim.rss_kib() > baseline_kib + slack_kib:
        raise AssertionError("%s: memory stayed at %d KiB (started at %d KiB)" % (what, sim.rss_kib(), baseline_kib))


def hold(port, count):
    held = []
    for _ in range(count):
        try:
            held.append(connect(port, timeout=2.0))
        except OSError:
            pass
    return held


def close_all(socks):
    for s in socks:
        s.close()


# ---- probes -------------------------------------------------------------------

def probe_task_limit():
    """Connections beyond what a task limit allows are refused; the simulator lives."""
    with LimitedSim(["prlimit", "--nproc=80", "--"] + NOBODY) as sim:
        held = []
        for name in ("SOCKET", "HISLIP", "VXI11"):
            held += hold(sim.ports[name], 120)
            for s in held[-120:]:
                s.settimeout(0.05)
                try:
                    s.sendall(b"*OPC?\n")
                except OSError:
                    pass
        time.sleep(1.0)
        assert sim.proc.poll() is None, "the simulator ended under a task limit"
        close_all(held)
        time.sleep(1.0)
        check_serves(sim, "task limit")


def probe_answer_size():
    """One short message asking for a stored file over and over."""
    with LimitedSim() as sim:
        block = b"x" * (1 << 20)
        socket_query(sim, b"MMEM:DATA 'f',#7%07d" % len(block) + block + b";*OPC?")
        baseline = sim.rss_kib()
        with connect(sim.ports["SOCKET"]) as sock:
            sock.sendall(b";".join([b":MMEM:DATA? 'f'"] * 400) + b"\n")
            time.sleep(2.0)
            grown = sim.rss_kib() - baseline
        assert grown < 330 * 1024, "400 queries of a 1 MiB file took %d KiB" % grown
        check_memory(sim, baseline, "answer size")
        check_serves(sim, "answer size")


def probe_idle_floods():
    """A few hundred silent connections on every port: new clients still get in."""
    with LimitedSim(extra_args=["--evict-idle-ms", "500"]) as sim:
        baseline = sim.rss_kib()
        held = []
        for name in ("SOCKET", "HISLIP", "VXI11", "PORTMAPPER"):
            held += hold(sim.ports[name], 300)
        time.sleep(1.5)
        check_serves(sim, "idle flood (held open)")
        with connect(sim.ports["PORTMAPPER"]) as sock:
            reply = rpc_call(sock, 7, 100000, 2, 3, struct.pack(">IIII", VXI11_CORE, 1, 6, 0))
            assert struct.unpack(">I", reply[:4])[0] == sim.ports["VXI11"], "GETPORT lost the core"
        close_all(held)
        check_memory(sim, baseline, "idle flood")
        check_serves(sim, "idle flood")


def probe_out_of_descriptors():
    """Out of descriptors: no spinning, and service resumes once they free."""
    with LimitedSim(["prlimit", "--nofile=64", "--"]) as sim:
        held = []
        for name in ("SOCKET", "HISLIP", "VXI11"):
            held += hold(sim.ports[name], 80)
        time.sleep(0.5)
        before = sim.cpu_seconds()
        time.sleep(3.0)
        used = sim.cpu_seconds() - before
        assert used < 1.0, "the simulator used %.1f s of CPU in 3 s while out of descriptors" % used
        close_all(held)
        time.sleep(1.0)
        check_serves(sim, "out of descriptors")


def probe_portmapper_set():
    """Another local program cannot redirect the VXI-11 core to itself."""
    with LimitedSim() as sim:
        with connect(sim.ports["PORTMAPPER"]) as sock:
            for proc in (2, 1):  # UNSET, then SET of the core's program to a port of ours
                reply = rpc_call(sock, proc, 100000, 2, proc, struct.pack(">IIII", VXI11_CORE, 1, 6, 9))
                assert struct.unpack(">I", reply[:4])[0] == 0, "portmapper procedure %d accepted" % proc
        check_serves(sim, "portmapper SET")


def probe_device_names():
    """Links to ever new device names and HiSLIP sessions leave nothing behind."""
    with LimitedSim() as sim:
        check_serves(sim, "device names (before)")
        baseline = sim.rss_kib()
        with connect(sim.ports["VXI11"]) as sock:
            xid = 10
            for n in range(3000):
                lid = vxi11_create_link(sock, b"inst%d" % n, xid)
                rpc_call(sock, xid + 1, VXI11_CORE, 1, 23, struct.pack(">i", lid))
                xid += 2
        check_memory(sim, baseline, "device names", slack_kib=8 * 1024)
        check_serves(sim, "device names")


def probe_hislip_never_reads():
    """Sessions that allow huge messages and never read hold little."""
    with LimitedSim() as sim:
        baseline = sim.rss_kib()
        sessions = []
        for _ in range(8):
            sync, asyn = hislip_open(sim.ports["HISLIP"], max_size=1 << 40)
            sync.sendall(hislip_frame(7, 0, 0xFFFFFF00, b"TEST:TEXT? 200000000\n"))
            sessions += [sync, asyn]
        time.sleep(2.0)
        grown = sim.rss_kib() - baseline
        assert grown < 128 * 1024, "8 HiSLIP sessions that never read took %d KiB" % grown
        close_all(sessions)
        check_memory(sim, baseline, "HiSLIP never reads")
        check_serves(sim, "HiSLIP never reads")


PROBES = {name[len("probe_"):]: fn for name, fn in sorted(globals().items()) if name.startswith("probe_")}


def main(argv):
    if os.geteuid() != 0:
        skip("the hostile probes need root (task limits for another user, reserved ports)")
    names = argv or list(PROBES)
    failed = []
    for name in names:
        started = time.monotonic()
        try:
            PROBES[name]()
            print("PASS %-20s %5.1f s" % (name, time.monotonic() - started), flush=True)
        except Exception as exc:  # every probe runs; the failures are listed
            failed.append(name)
            print("FAIL %-20s %5.1f s: %s" % (name, time.monotonic() - started, exc), flush=True)
    print("%d of %d probes passed" % (len(names) - len(failed), len(names)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
