# Shared by scripts/run-console and scripts/run-tests: install what is
# missing (as root) and configure and build the tree in ./build.
set -euo pipefail

VELQ_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VELQ_BUILD="${VELQ_BUILD:-$VELQ_ROOT/build}"

VELQ_BUILD_PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev"
# cpack's DEB generator (file, dpkg-shlibdeps) and the checks of its package.
VELQ_PACKAGE_PACKAGES="dpkg-dev file lintian appstream desktop-file-utils"

velq_missing_packages() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  echo "${missing[*]:-}"
}

velq_ensure_packages() {
  local missing
  missing="$(velq_missing_packages "$@")"
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Run this as root, then try again:" >&2
    echo "  apt-get update && apt-get install -y $missing" >&2
    exit 1
  fi
  echo "Installing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
}

velq_build() {
  local jobs
  jobs="$(nproc 2>/dev/null || echo 2)"
  if [ ! -f "$VELQ_BUILD/build.ninja" ]; then
    cmake -S "$VELQ_ROOT" -B "$VELQ_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  fi
  cmake --build "$VELQ_BUILD" -j "$jobs"
}

# A clang tree with AddressSanitizer and UndefinedBehaviorSanitizer (abort on the first report)
# and the libFuzzer targets; only the targets named are built, never the GUI.
velq_build_sanitized() {
  local dir="$1" jobs
  shift
  jobs="$(nproc 2>/dev/null || echo 2)"
  if [ ! -f "$dir/build.ninja" ]; then
    local launcher=()
    if command -v ccache >/dev/null; then
      launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$VELQ_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
      -DVELQ_SANITIZE=address,undefined -DVELQ_FUZZ=ON
  fi
  cmake --build "$dir" -j "$jobs" --target "$@"
}
