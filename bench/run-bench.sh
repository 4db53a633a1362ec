#!/usr/bin/env bash
# Starts velqsim and velqbenchpeer (a one-thread peer with no SCPI engine, so that it is never
# the bottleneck) on loopback and prints *IDN? round trips per second and bulk-read throughput
# through our VISA library and through independent clients against both, with the ratio of
# ours to each. Every figure is the median of VELQ_BENCH_RUNS runs with their range (min-max),
# and the load average is printed before and after, since the machine may be shared.
# Never run as a test: figures depend on the machine.
#
#   bench/run-bench.sh            build (Release, in build-bench/) and measure
#   VELQ_BENCH_BUILD=DIR ...      use another build directory
#   VELQ_BENCH_COUNT=N ...        round trips per *IDN? measurement (default 20000)
#   VELQ_BENCH_BYTES=N ...        size of the bulk block (default 64 MiB)
#   VELQ_BENCH_RUNS=N ...         runs per figure, the median is reported (default 5, at least 5)
#   bench/run-bench.sh hexdump    only the hex display's figures (open time, repaint)
#
# To add a transport: write a measure_* function that prints one number (the rate)
# and add a "report" line for it at the bottom.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VELQ_BENCH_BUILD:-$ROOT/build-bench}"
COUNT="${VELQ_BENCH_COUNT:-20000}"
BYTES="${VELQ_BENCH_BYTES:-$((64 * 1024 * 1024))}"
RUNS="${VELQ_BENCH_RUNS:-5}"
[ "$RUNS" -ge 5 ] 2>/dev/null || RUNS=5
PYTHON=/usr/bin/python3

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
fi

# The hex display: opening an answer and repainting the dump, no instrument needed.
run_hexdump() {
  cmake --build "$BUILD" --target hexdumpbench -j2 >/dev/null
  echo "Hex display (VelqHexDisplay): opening answers, repaints are the mean of 50"
  "$BUILD/bin/hexdumpbench" 2>/dev/null | sed -n 's/^RESULT \([0-9.]*\) \([a-z]*\) \(.*\)/  \3: \1 \2/p; s/^INFO /    /p'
}
if [ "${1:-}" = hexdump ]; then
  run_hexdump
  exit 0
fi

cmake --build "$BUILD" --target velqsim visa velqbench velqbenchpeer -j2 >/dev/null

TMP="$(mktemp -d)"
PIDS=()
cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$TMP"
}
trap cleanup EXIT

# start_server <name> <command...>: runs a server whose announcement lines go to $TMP/<name>.
start_server() {
  local name="$1"
  shift
  "$@" >"$TMP/$name" 2>/dev/null &
  PIDS+=($!)
  for _ in $(seq 300); do
    grep -qx READY "$TMP/$name" && return 0
    sleep 0.1
  done
  echo "$name did not start:" >&2
  cat "$TMP/$name" >&2
  return 1
}
# field <server> <protocol> <column>: from a line "PROTOCOL port resource".
field() { awk -v s="$2" -v c="$3" '$1 == s { print $c; exit }' "$TMP/$1"; }

# Every server the simulator has goes on an ephemeral port; the chosen ports are read back.
SIM_ARGS=(--socket-port 0)
SIM_HELP="$("$BUILD/bin/velqsim" --help 2>&1 || true)"
for opt in --vxi11-port --portmapper-port --hislip-port; do
  if grep -q -- "$opt" <<<"$SIM_HELP"; then SIM_ARGS+=("$opt" 0); fi
done
start_server sim "$BUILD/bin/velqsim" "${SIM_ARGS[@]}"
start_server peer "$BUILD/bin/velqbenchpeer" --socket-port 0 --hislip-port 0

# collect <name> <command...>: runs the command RUNS times and keeps each run's output.
collect() {
  local name="$1" i
  shift
  rm -f "$TMP/run.$name".*
  for i in $(seq "$RUNS"); do "$@" >"$TMP/run.$name.$i" 2>/dev/null || true; done
}
# stat <name> [key]: "median min max count" of the "<key> <value>" lines (key RESULT by default)
# of the runs collected under name; nothing when no run gave a figure.
stat() {
  cat "$TMP/run.$1".* 2>/dev/null | awk -v k="${2:-RESULT}" '$1 == k { print $2 }' | sort -g |
    awk '{ a[NR] = $1 } END { if (NR == 0) exit; m = NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2;
                              printf "%.1f %.1f %.1f %d\n", m, a[1], a[NR], NR }'
}
median() { awk '{ print $1 }' <<<"$1"; }
shown() {
  [ -n "$1" ] || { echo "n/a"; return; }
  awk '{ s = sprintf("%.0f (%.0f-%.0f)", $1, $2, $3); if ($4 < R) s = s " " $4 "/" R " runs"; print s }' R="$RUNS" <<<"$1"
}
ratio() {
  awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN { if (a == "" || b == "" || b == 0) print "n/a"; else printf "%.2fx", a / b }'
}
# line <label> <stat> <unit> [<stat over> <stat under> <what the ratio is> <target>]
line() {
  if [ $# -gt 3 ]; then
    printf '  %-44s %-26s %-6s %-7s %s%s\n' "$1" "$(shown "$2")" "$3" "$(ratio "$4" "$5")" "$6" "${7:+ (target $7)}"
  else
    printf '  %-44s %-26s %-6s\n' "$1" "$(shown "$2")" "$3"
  fi
}

lxi_result() { tr '\r' '\n' | sed -n 's/^Result: *\([0-9.]*\) *requests\/second.*/RESULT \1/p' | head -n1; }
lxi_raw_idn() { command -v lxi >/dev/null && lxi benchmark -a 127.0.0.1 -p "$1" -r -t 60 -c "$COUNT" 2>&1 | lxi_result; }
pyvisa_idn() { "$PYTHON" "$ROOT/bench/pyvisa_idn.py" @py "$1" "$((COUNT / 5))"; }

# measure_target <name>: every SOCKET and HiSLIP client against one server, into stats named <name>.*
measure_target() {
  local t="$1" port rsrc hislip
  port="$(field "$t" SOCKET 2)"
  rsrc="$(field "$t" SOCKET 3)"
  hislip="$(field "$t" HISLIP 3)"
  # The peer builds a block the first time its size is asked for; no measured round pays for that.
  "$BUILD/bin/velqbench" tcp-bulk "$port" "$BYTES" >/dev/null 2>&1 || true
  collect "$t.idn" "$BUILD/bin/velqbench" visa-idn "$rsrc" "$COUNT"
  collect "$t.plain_idn" "$BUILD/bin/velqbench" tcp-idn "$port" "$COUNT"
  collect "$t.lxi_idn" lxi_raw_idn "$port"
  collect "$t.pyvisa_idn" pyvisa_idn "$rsrc"
  collect "$t.bulk" "$BUILD/bin/velqbench" visa-bulk "$rsrc" "$BYTES"
  collect "$t.flat" "$BUILD/bin/velqbench" visa-bulk-flat "$rsrc" "$BYTES"
  collect "$t.plain_bulk" "$BUILD/bin/velqbench" tcp-bulk "$port" "$BYTES"
  if [ -n "$hislip" ]; then
    collect "$t.hislip_idn" "$BUILD/bin/velqbench" visa-idn "$hislip" "$COUNT"
    collect "$t.hislip_bulk" "$BUILD/bin/velqbench" visa-bulk "$hislip" "$BYTES"
  fi
}

# report_target <name> <title>
report_target() {
  local t="$1" ours plain cold fresh flat
  ours="$(stat "$t.idn")"
  plain="$(stat "$t.plain_idn")"
  echo "$2"
  echo " *IDN? round trips per second over SOCKET"
  line "libvelqvisa (ours)" "$ours" "rt/s"
  line "plain TCP ping-pong (C++)" "$plain" "rt/s" "$ours" "$plain" "ours/this" ">= 0.9x"
  line "lxi benchmark -r (liblxi)" "$(stat "$t.lxi_idn")" "rt/s" "$ours" "$(stat "$t.lxi_idn")" "ours/this" ">= 1.2x"
  line "PyVISA + pyvisa-py" "$(stat "$t.pyvisa_idn")" "rt/s" "$ours" "$(stat "$t.pyvisa_idn")" "ours/this" ">= 5x"
  line "libvelqvisa over HiSLIP" "$(stat "$t.hislip_idn")" "rt/s" "$(stat "$t.hislip_idn")" "$ours" "this/ours over SOCKET" ">= 0.9x"
  echo " Bulk read of $BYTES bytes (TEST:BLOCk?)"
  cold="$(stat "$t.bulk" COLD)"
  fresh="$(stat "$t.plain_bulk" FRESH)"
  plain="$(stat "$t.plain_bulk")"
  line "plain recv loop, reused paged-in buffer" "$plain" "MiB/s"
  line "plain recv loop into fresh memory" "$fresh" "MiB/s"
  line "first viRead, console's doubling buffer" "$cold" "MiB/s" "$cold" "$fresh" "this/fresh recv" ">= 0.8x"
  line "later viReads, console's doubling buffer" "$(stat "$t.bulk")" "MiB/s" "$(stat "$t.bulk")" "$plain" "this/reused recv"
  line "one viRead into a buffer of the final size" "$(stat "$t.flat")" "MiB/s" "$(stat "$t.flat")" "$plain" "this/reused recv"
  line "later viReads over HiSLIP" "$(stat "$t.hislip_bulk")" "MiB/s" "$(stat "$t.hislip_bulk")" "$(stat "$t.bulk")" "this/over SOCKET"
}

echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo "velqbenchpeer: $(field peer SOCKET 3), $(field peer HISLIP 3)"
echo "velqsim:       $(field sim SOCKET 3), $(field sim HISLIP 3)"
echo "Each figure: median (min-max) of $RUNS runs; $COUNT *IDN? round trips per run (PyVISA $((COUNT / 5)))"
measure_target peer
measure_target sim
report_target peer "Against velqbenchpeer (the limit: one thread, no SCPI engine)"
report_target sim "Against velqsim"

# VXI-11. lxi and pyvisa-py ask only the portmapper on port 111, so a second simulator serves
# VXI-11 with its portmapper there (root, or a running rpcbind); ours is measured against it too.
# Without port 111 ours is measured against the first simulator and the peers show n/a.
VXI11_PM="$(field sim PORTMAPPER 2)"
if start_server sim111 "$BUILD/bin/velqsim" --socket-port 0 --hislip-port 0 --vxi11-port 0 --portmapper-port 111 &&
  [ "$(field sim111 PORTMAPPER 2)" = 111 ]; then
  VXI11_PM=111
fi
VXI11_RSRC="TCPIP0::127.0.0.1::INSTR"
vxi11_ours() { VELQ_VXI11_PORTMAPPER_PORT="$VXI11_PM" "$BUILD/bin/velqbench" "$@"; }
lxi_vxi11_idn() {
  [ "$VXI11_PM" = 111 ] && command -v lxi >/dev/null && lxi benchmark -a 127.0.0.1 -t 60 -c "$COUNT" 2>&1 | lxi_result
}
pyvisa_vxi11_idn() { [ "$VXI11_PM" = 111 ] && pyvisa_idn "$VXI11_RSRC"; }
collect vxi11_idn vxi11_ours visa-idn "$VXI11_RSRC" "$COUNT"
collect vxi11_lxi_idn lxi_vxi11_idn
collect vxi11_pyvisa_idn pyvisa_vxi11_idn
collect vxi11_bulk vxi11_ours visa-bulk "$VXI11_RSRC" "$BYTES"
OURS="$(stat vxi11_idn)"
echo "Against velqsim over VXI-11 (portmapper on port $VXI11_PM; velqbenchpeer has no VXI-11)"
line "*IDN? round trips, libvelqvisa (ours)" "$OURS" "rt/s"
line "*IDN? round trips, lxi benchmark (liblxi)" "$(stat vxi11_lxi_idn)" "rt/s" "$OURS" "$(stat vxi11_lxi_idn)" "ours/this" ">= 1.2x"
line "*IDN? round trips, PyVISA + pyvisa-py" "$(stat vxi11_pyvisa_idn)" "rt/s" "$OURS" "$(stat vxi11_pyvisa_idn)" "ours/this" ">= 5x"
line "later viReads of $BYTES bytes (ours)" "$(stat vxi11_bulk)" "MiB/s" "$(stat vxi11_bulk)" "$(stat sim.bulk)" "this/over SOCKET"

# The console's start-up under Xvfb: from before its process starts to its window first exposed,
# against a bare dialog with as many widgets, both warmed up once (font caches) before measuring.
startup_run() {
  local t0 out
  t0="$(date +%s%N)"
  out="$(DISPLAY="$XDISPLAY" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$TMP/config" "$BUILD/bin/velqconsolebench" "$@" 2>/dev/null)" ||
    return 0
  awk -v t0="$t0" '$1 == "EXPOSED" { printf "RESULT %.1f\n", ($2 - t0) / 1e6 } $1 == "WIDGETS" { print }' <<<"$out"
}
XDISPLAY=""
if command -v Xvfb >/dev/null && cmake --build "$BUILD" --target velqconsolebench -j2 >/dev/null 2>&1; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$TMP/display" 2>/dev/null &
  PIDS+=($!)
  for _ in $(seq 100); do [ -s "$TMP/display" ] && break; sleep 0.1; done
  [ -s "$TMP/display" ] && XDISPLAY=":$(head -n1 "$TMP/display")"
fi
if [ -n "$XDISPLAY" ]; then
  startup_run console >"$TMP/startup.warm"
  WIDGETS="$(awk '$1 == "WIDGETS" { print $2 }' "$TMP/startup.warm")"
  startup_run bare "${WIDGETS:-1}" >/dev/null
  collect startup_console startup_run console
  collect startup_bare startup_run bare "${WIDGETS:-1}"
fi
stall_run() {
  DISPLAY="$XDISPLAY" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$TMP/config" "$BUILD/bin/velqconsolebench" stall "$@" 2>/dev/null
}
if [ -n "$XDISPLAY" ]; then
  collect stall_small stall_run "$(field peer SOCKET 3)" "$BYTES"
  collect stall_large stall_run "$(field peer SOCKET 3)" 1073741824
fi
echo "Start-up under Xvfb to the window first exposed, loading included"
line "console main window ($WIDGETS widgets)" "$(stat startup_console)" "ms" "$(stat startup_console)" "$(stat startup_bare)" "this/bare" "<= 1.3x"
line "bare QDialog with as many widgets" "$(stat startup_bare)" "ms"
echo "Longest stall of the window's thread (1 ms timer) while the console reads and shows a block from velqbenchpeer"
line "$BYTES bytes: longest stall" "$(stat stall_small)" "ms"
line "$BYTES bytes: whole exchange" "$(stat stall_small TOTAL)" "ms"
line "1 GiB: longest stall (target <= 50 ms)" "$(stat stall_large)" "ms"
line "1 GiB: whole exchange" "$(stat stall_large TOTAL)" "ms"

echo "Targets (ratios of medians)"
target() { printf '  %-64s %-8s (target %s)\n' "$1" "$(ratio "$2" "$3")" "$4"; }
target "SOCKET *IDN?, fast peer: ours / plain C++ ping-pong" "$(stat peer.idn)" "$(stat peer.plain_idn)" ">= 0.9"
target "SOCKET *IDN?, fast peer: ours / liblxi" "$(stat peer.idn)" "$(stat peer.lxi_idn)" ">= 1.2"
target "SOCKET *IDN?, fast peer: ours / pyvisa-py" "$(stat peer.idn)" "$(stat peer.pyvisa_idn)" ">= 5"
target "VXI-11 *IDN?, velqsim: ours / liblxi" "$OURS" "$(stat vxi11_lxi_idn)" ">= 1.2"
target "VXI-11 *IDN?, velqsim: ours / pyvisa-py" "$OURS" "$(stat vxi11_pyvisa_idn)" ">= 5"
target "fast peer: HiSLIP *IDN? / SOCKET *IDN? (ours)" "$(stat peer.hislip_idn)" "$(stat peer.idn)" ">= 0.9"
target "fast peer: first doubling viRead / plain recv into fresh memory" "$(stat peer.bulk COLD)" "$(stat peer.plain_bulk FRESH)" ">= 0.8"
target "velqsim block over SOCKET / over HiSLIP (ours, later reads)" "$(stat sim.bulk)" "$(stat sim.hislip_bulk)" ">= 0.9"
target "console start-up / bare dialog with as many widgets (Xvfb)" "$(stat startup_console)" "$(stat startup_bare)" "<= 1.3"
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

run_hexdump

# The waveform plug-in: time to the first plot and per zoom/pan redraw, offscreen.
cmake --build "$BUILD" --target VelqWaveform velqwavebench -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$BUILD/bin/velqwavebench" "$BUILD/bin/plugins/VelqWaveform.so"
