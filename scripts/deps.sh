#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Only missing packages are installed; runs as root or through sudo.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev valgrind python3-xlib
  fonts-dejavu-extra dieharder
  # what assistive technology meets: the AT-SPI bus, a client, and Orca
  dbus libglib2.0-bin at-spi2-core python3-gi gir1.2-atspi-2.0 orca
  # end-to-end test in a real X server
  xvfb xauth xdotool x11-utils wmctrl openbox imagemagick faketime
  # desktop integration and packaging checks
  desktop-file-utils appstream dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "deps.sh: need root or sudo to install: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
