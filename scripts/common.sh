# Shared by the scripts: package installation and the build.
# shellcheck shell=bash

ORVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

ORVANE_PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools libqt5svg5-dev
  libqt5sql5-sqlite qttranslations5-l10n qt5-image-formats-plugins
  libcurl4-openssl-dev libssl-dev libjansson-dev libcpp-httplib-dev liblzma-dev
  curl tinyproxy xvfb xauth imagemagick fonts-noto-cjk
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local missing=()
  for p in "${ORVANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

jobs_count() {
  local n
  n=$(nproc 2>/dev/null || echo 2)
  echo "$n"
}
