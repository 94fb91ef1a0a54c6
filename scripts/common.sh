# Shared by the scripts: package installation and the build.
# shellcheck shell=bash

ORVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

ORVANE_PACKAGES=(
  build-essential cmake ninja-build pkg-config git ccache
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools libqt5svg5-dev
  libqt5sql5-sqlite qttranslations5-l10n qt5-image-formats-plugins
  libcurl4-openssl-dev libssl-dev libjansson-dev libcpp-httplib-dev liblzma-dev
  curl openssl tinyproxy xvfb xauth imagemagick fonts-noto-cjk xdotool
  dbus trayer desktop-file-utils clang chromium python3
)

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    die "need root rights for: $* (run as root or install sudo)"
  fi
}

# Installs the missing packages only, so a second run does nothing.
install_packages() {
  command -v dpkg-query >/dev/null 2>&1 || die "these scripts expect a Debian system (dpkg/apt-get)"
  local missing=()
  for p in "${ORVANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

jobs_count() {
  local n
  n=$(nproc 2>/dev/null || echo 2)
  echo "$n"
}

# Extra CMake arguments every build gets: ccache when it is there.
cmake_common_args() {
  if command -v ccache >/dev/null 2>&1; then
    echo "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
  fi
}

# Configures (once, or again when the cache is from another generator) and builds.
#   configure_and_build <build dir> <cmake args...>
configure_and_build() {
  local dir="$1"
  shift
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
    log "Removing $dir (configured with another generator)"
    rm -rf "$dir"
  fi
  # shellcheck disable=SC2046
  cmake -S "$ORVANE_ROOT" -B "$dir" -G Ninja $(cmake_common_args) "$@"
  cmake --build "$dir" -j "$(jobs_count)"
}

# Qt warns without a runtime folder; give headless runs a private one.
#   ensure_runtime_dir <folder to use when none is set>
ensure_runtime_dir() {
  if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "${XDG_RUNTIME_DIR}" ]; then
    mkdir -p "$1"
    chmod 700 "$1"
    XDG_RUNTIME_DIR="$(cd "$1" && pwd)"
    export XDG_RUNTIME_DIR
  fi
}
