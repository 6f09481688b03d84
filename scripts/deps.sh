#!/usr/bin/env bash
# Installs the Debian packages that Velmora needs; only missing ones, as
# root or through sudo. Without sudo, run it as root: su -c ./scripts/deps.sh
#   deps.sh          what building and running the program needs
#   deps.sh --test   that, and all that the tests and benchmarks need
set -euo pipefail

packages=(
  # build and run
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-wayland
  fonts-dejavu-core
)
test_packages=(
  # unit and widget tests, benchmarks, memory checks
  libgtest-dev libgmock-dev libbenchmark-dev valgrind python3-xlib
  fonts-dejavu-extra
  # the randomness battery
  dieharder
  # what assistive technology meets: the AT-SPI bus, a client, and Orca
  dbus libglib2.0-bin at-spi2-core python3-gi gir1.2-atspi-2.0 orca
  # end-to-end tests in a real X server and a real Wayland compositor
  xvfb xauth xdotool x11-utils wmctrl openbox imagemagick faketime weston
  # desktop integration and packaging checks
  desktop-file-utils appstream dpkg-dev file lintian man-db
)

case ${1:-} in
  "") ;;
  --test) packages+=("${test_packages[@]}") ;;
  *) echo "usage: deps.sh [--test]" >&2; exit 2 ;;
esac

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
    echo "deps.sh: installing needs root; run it as root first: su -c '$0${1:+ $1}'" >&2
    echo "deps.sh: missing: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
