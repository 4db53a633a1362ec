#!/usr/bin/env bash
# Builds the Debian package from a finished build tree and meets it as a user
# would: lintian, its file list, then the console, velqsim and the VISA
# library run from the unpacked tree (dpkg-deb -x), the console by a user who
# cannot write to its folder.
#
# usage: check-package.sh BUILD_DIR LIBDIR APP_ID "PLUGIN.so;..."
set -euo pipefail

BUILD="$1"
# The package installs under /usr.
LIBDIR="usr/$2"
APP_ID="$3"
IFS=';' read -r -a PLUGINS_REGISTERED <<< "${4:-}"
APPDIR="$LIBDIR/velquist"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "-- $*"; }

for tool in cpack dpkg-deb dpkg-shlibdeps lintian appstreamcli desktop-file-validate Xvfb xdotool setpriv \
            pkg-config cc ldd od zcat; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/run-tests installs it)"
done

WORK="$(mktemp -d)"
PIDS=()
cleanup() {
  local p
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  chmod -R u+w "$WORK" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# --- the package -----------------------------------------------------------
note "cpack"
cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/pkg" > "$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log"; fail "cpack"; }
DEBS=("$WORK"/pkg/velquist_*.deb)
[ "${#DEBS[@]}" -eq 1 ] && [ -f "${DEBS[0]}" ] || fail "expected one velquist_*.deb, got: ${DEBS[*]}"
DEB="${DEBS[0]}"

note "lintian"
lintian --fail-on error --tag-display-limit 0 "$DEB" || fail "lintian reports errors"

# dpkg itself installs and removes it, in a private root so that this machine
# is left alone (the dependencies are those of the real system, hence
# --force-depends; the maintainer scripts are run outside that root).
note "dpkg install and removal"
DPKG_ROOT="$WORK/dpkg-root"
mkdir -p "$DPKG_ROOT/var/lib/dpkg/info" "$DPKG_ROOT/var/lib/dpkg/updates" "$DPKG_ROOT/var/lib/dpkg/triggers"
touch "$DPKG_ROOT/var/lib/dpkg/status"
DPKG=(dpkg --root="$DPKG_ROOT" --log=/dev/null --force-depends --force-script-chrootless --force-not-root)
"${DPKG[@]}" -i "$DEB" > "$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log"; fail "dpkg -i"; }
[ "$(dpkg-query --admindir="$DPKG_ROOT/var/lib/dpkg" -W -f='${Status}' velquist)" = "install ok installed" ] \
  || fail "dpkg did not install the package"
"${DPKG[@]}" --purge velquist > "$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log"; fail "dpkg --purge"; }
if [ -n "$(find "$DPKG_ROOT/usr" -type f 2>/dev/null)" ]; then fail "files left behind after purge"; fi

# Dependencies come from the binaries (dpkg-shlibdeps), never from a list.
DEPENDS="$(dpkg-deb -f "$DEB" Depends)"
for dep in libc6 libqt6core6 libqt6widgets6; do
  grep -q "\b$dep\b" <<< "$DEPENDS" || fail "Depends lacks $dep: $DEPENDS"
done

note "file list"
dpkg-deb -c "$DEB" | awk '{ sub(/^\.\//, "", $6); print $6 }' | sort > "$WORK/files"
REQUIRED=(
  usr/bin/velquist usr/bin/velqsim
  "$APPDIR/velquist" "$APPDIR/velquist.pdf" "$APPDIR/libVelqLink.so.1"
  "$LIBDIR/libvelqvisa.so.1" "$LIBDIR/libvelqvisa.so" "$LIBDIR/pkgconfig/velqvisa.pc"
  usr/include/velqvisa/visa.h usr/include/velqvisa/visatype.h
  "usr/share/applications/$APP_ID.desktop" "usr/share/metainfo/$APP_ID.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$APP_ID.svg"
  usr/share/man/man1/velquist.1.gz usr/share/man/man1/velqsim.1.gz
  usr/share/doc/velquist/copyright usr/share/doc/velquist/changelog.gz
)
ICON_SIZES=(16 22 24 32 48 64 128 256)
for n in "${ICON_SIZES[@]}"; do REQUIRED+=("usr/share/icons/hicolor/${n}x${n}/apps/$APP_ID.png"); done
# Plug-ins by what the build made, not by name: every module in bin/plugins
# and every target registered as a plug-in must be in the package.
PLUGINS=()
for f in "$BUILD"/bin/plugins/*.so; do [ -e "$f" ] && PLUGINS+=("$(basename "$f")"); done
for f in "${PLUGINS_REGISTERED[@]}"; do [ -n "$f" ] && PLUGINS+=("$f"); done
mapfile -t PLUGINS < <(printf '%s\n' "${PLUGINS[@]}" | sed '/^$/d' | sort -u)
note "plug-ins expected: ${#PLUGINS[@]} (${PLUGINS[*]:-none built yet})"
for f in "${PLUGINS[@]}"; do REQUIRED+=("$APPDIR/plugins/$f"); done
for f in "${REQUIRED[@]}"; do
  grep -qxF "$f" "$WORK/files" || fail "$f is not in the package"
done
# Nothing of the build tree's own layout may leak into the package.
if grep -E '^usr/(bin/plugins|lib/lib|lib/static)|/tests?/' "$WORK/files"; then fail "build-tree paths in the package"; fi

ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
[ "$(readlink -f "$ROOT/usr/bin/velquist")" = "$ROOT/$APPDIR/velquist" ] \
  || fail "usr/bin/velquist does not lead to $APPDIR/velquist"
[ "$(head -c 5 "$ROOT/$APPDIR/velquist.pdf")" = "%PDF-" ] || fail "the help document is not a PDF"

note "run-time links"
# Each binary must find the package's own libraries through its RUNPATH,
# with no help from the environment or the build tree.
check_links() {
  local bin="$1" out
  out="$(env -u LD_LIBRARY_PATH ldd "$bin")" || fail "ldd $bin"
  if grep -q "not found" <<< "$out"; then echo "$out"; fail "$bin has unresolved libraries"; fi
  if grep -E "lib(VelqLink|velqvisa)" <<< "$out" | grep -vqF "$ROOT/"; then
    echo "$out"; fail "$bin takes a library from outside the package"
  fi
}
check_links "$ROOT/$APPDIR/velquist"
check_links "$ROOT/$APPDIR/libVelqLink.so.1"
check_links "$ROOT/usr/bin/velqsim"
for f in "${PLUGINS[@]}"; do check_links "$ROOT/$APPDIR/plugins/$f"; done

note "desktop entry, metadata, icons"
DESKTOP="$ROOT/usr/share/applications/$APP_ID.desktop"
desktop-file-validate "$DESKTOP" || fail "desktop-file-validate"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/$APP_ID.metainfo.xml" || fail "appstreamcli validate"
for key in 'Name' 'Name\[zh_CN\]' 'Comment' 'Comment\[zh_CN\]'; do
  grep -q "^$key=." "$DESKTOP" || fail "the desktop entry has no $key"
done
EXEC="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$DESKTOP")"
[ -x "$ROOT/usr/bin/$EXEC" ] || fail "Exec=$EXEC is not a command of the package"
[ "$(sed -n 's/^Icon=//p' "$DESKTOP")" = "$APP_ID" ] || fail "Icon= does not name the packaged icon"
# PNG: width and height are the big-endian words at offsets 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }
for n in "${ICON_SIZES[@]}"; do
  got="$(png_size "$ROOT/usr/share/icons/hicolor/${n}x${n}/apps/$APP_ID.png")"
  [ "$got" = "${n}x${n}" ] || fail "the ${n}x${n} icon is $got"
done
zcat "$ROOT/usr/share/man/man1/velquist.1.gz" | grep -q '^\.TH VELQUIST 1' || fail "velquist(1)"
zcat "$ROOT/usr/share/man/man1/velqsim.1.gz" | grep -q '^\.TH VELQSIM 1' || fail "velqsim(1)"

note "velqsim from the package"
"$ROOT/usr/bin/velqsim" --socket-port 0 --hislip-port 0 --portmapper-port 0 > "$WORK/sim.out" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do grep -q '^READY' "$WORK/sim.out" && break; sleep 0.1; done
grep -q '^READY' "$WORK/sim.out" || { cat "$WORK/sim.out"; fail "velqsim did not start"; }
RSRC="$(awk '$1 == "SOCKET" { print $3; exit }' "$WORK/sim.out")"

note "a C program built with pkg-config against the package"
PC_FLAGS="$(PKG_CONFIG_SYSROOT_DIR="$ROOT" PKG_CONFIG_LIBDIR="$ROOT/$LIBDIR/pkgconfig" \
            pkg-config --cflags --libs velqvisa)" || fail "pkg-config velqvisa"
# shellcheck disable=SC2086
cc -std=c11 -Wall -Werror -o "$WORK/visa_client" "$HERE/visa_client.c" $PC_FLAGS || fail "building against velqvisa.pc"
IDN="$(LD_LIBRARY_PATH="$ROOT/$LIBDIR" "$WORK/visa_client" "$RSRC")" || fail "the client could not query $RSRC"
[ -n "$IDN" ] || fail "empty *IDN? answer"
note "*IDN? through the packaged library: $IDN"

note "the console from the package, by a user who cannot write to its folder"
USER_HOME="$WORK/home"
mkdir -p "$USER_HOME"
RUN_AS=()
if [ "$(id -u)" -eq 0 ]; then
  # root writes anywhere; the console runs as an unprivileged user instead.
  chmod 755 "$WORK"
  chown nobody "$USER_HOME"
  RUN_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  chmod -R a-w "$ROOT/$APPDIR"
fi
if "${RUN_AS[@]}" test -w "$ROOT/$APPDIR"; then fail "the console's folder is writable: nothing would be checked"; fi

exec 3> "$WORK/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > "$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$WORK/display")"

# The help link hands the document to the desktop's opener: this one notes
# what it was given.
mkdir -p "$WORK/opener"
OPENED="$USER_HOME/opened"
printf '#!/bin/sh\necho "$*" >> "%s"\n' "$OPENED" > "$WORK/opener/xdg-open"
chmod 755 "$WORK/opener" "$WORK/opener/xdg-open"

env -i DISPLAY="$DISPLAY" HOME="$USER_HOME" PATH="$WORK/opener:/usr/bin:/bin" LANG=C.UTF-8 \
    QT_LOGGING_RULES="qt.core.library.debug=true" \
    "${RUN_AS[@]}" "$ROOT/usr/bin/velquist" > "$WORK/console.log" 2>&1 &
CONSOLE_PID=$!
PIDS+=("$CONSOLE_PID")
WIN=""
for _ in $(seq 300); do
  WIN="$(xdotool search --onlyvisible --name '^Velquist' 2>/dev/null | head -n1 || true)"
  [ -n "$WIN" ] && break
  kill -0 "$CONSOLE_PID" 2>/dev/null || { cat "$WORK/console.log"; fail "the console ended at start-up"; }
  sleep 0.1
done
[ -n "$WIN" ] || { cat "$WORK/console.log"; fail "no console window"; }

# The console looks for plug-ins, help and histories beside the file the
# kernel started, not beside the command name.
# (Asked as the console's own user: another user needs ptrace rights to look.)
[ "$("${RUN_AS[@]}" readlink "/proc/$CONSOLE_PID/exe")" = "$ROOT/$APPDIR/velquist" ] \
  || fail "the console runs from elsewhere"
for f in "${PLUGINS[@]}"; do
  grep -qF "\"$ROOT/$APPDIR/plugins/$f\" loaded library" "$WORK/console.log" \
    || { cat "$WORK/console.log"; fail "the console did not load its plug-in $f"; }
done

# The footer link, at the window's bottom left, opens the help document.
eval "$(xdotool getwindowgeometry --shell "$WIN")"
for dy in 14 10 18 7 22; do
  xdotool mousemove --window "$WIN" 40 $((HEIGHT - dy)) click 1
  for _ in $(seq 20); do [ -s "$OPENED" ] && break 2; sleep 0.1; done
done
[ "$(cat "$OPENED" 2>/dev/null)" = "file://$ROOT/$APPDIR/velquist.pdf" ] \
  || fail "the help link opened '$(cat "$OPENED" 2>/dev/null)', not the packaged help document"

# Escape closes the window as the user would; the histories are saved then.
xdotool windowfocus --sync "$WIN" key Escape
for _ in $(seq 300); do kill -0 "$CONSOLE_PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$CONSOLE_PID" 2>/dev/null; then fail "the console did not close"; fi
wait "$CONSOLE_PID" || { cat "$WORK/console.log"; fail "the console ended with an error"; }

DATA="$USER_HOME/.local/share/TARNOVE TECHNOLOGIES/Velquist"
for f in velquist.type velquist.cfg; do
  [ -s "$DATA/$f" ] || { find "$USER_HOME" -ls; fail "no history $f in the user's data folder"; }
  [ ! -e "$ROOT/$APPDIR/$f" ] || fail "$f was written beside the executable"
done
note "histories: $(cd "$DATA" && ls)"
echo "PASS"
