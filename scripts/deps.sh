#!/usr/bin/env bash
# Installs the Debian packages that Velmora needs; only missing ones, as
# root or through sudo. Without sudo, run it as root: su -c ./scripts/deps.sh
#   deps.sh            what building and running the program needs
#   deps.sh --package  that, and what making the .deb needs
#   deps.sh --test     all that, and what the tests and benchmarks need
#   deps.sh --remove   purges what earlier runs installed, with whatever
#                      came along only for them (apt asks first)
# What it installs is recorded in /var/lib/velmora/deps-installed, beside the
# packages themselves: the same whether it ran through sudo or su -c.
set -euo pipefail

packages=(
  # build and run
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-wayland
  # the database: Qt's SQLite driver
  libqt6sql6-sqlite
  # Qt's own dialogs and buttons in German
  qt6-translations-l10n
  # Qt's CMake package looks for it, and says "Could NOT find XKB" without it
  libxkbcommon-dev
  fonts-dejavu-core
)
package_packages=(
  # cpack's .deb: dpkg-shlibdeps finds the Depends, file finds what to strip
  dpkg-dev file
)
test_packages=(
  # unit and widget tests, benchmarks, memory checks; the database read by hand
  libgtest-dev libgmock-dev libbenchmark-dev valgrind python3-xlib sqlite3
  fonts-dejavu-extra fonts-terminus-otb
  # the randomness battery
  dieharder
  # what assistive technology meets: the AT-SPI bus, a client, and Orca
  dbus libglib2.0-bin at-spi2-core python3-gi gir1.2-atspi-2.0 orca
  # end-to-end tests in a real X server and a real Wayland compositor
  xvfb xauth xdotool x11-utils wmctrl openbox imagemagick faketime weston xclip
  # the style check in CI
  clang-format
  # desktop integration and packaging checks
  desktop-file-utils appstream lintian man-db
)
record=/var/lib/velmora/deps-installed
# Where earlier versions of this script kept it, in the home of whoever ran it.
old_record=${XDG_STATE_HOME:-$HOME/.local/state}/velmora/deps-installed

as_root=()
need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      as_root=(sudo)
    else
      echo "deps.sh: this needs root; run it as root: su -c '$0${1:+ $1}'" >&2
      [ -z "${2:-}" ] || echo "deps.sh: $2" >&2
      exit 1
    fi
  fi
}

case ${1:-} in
  "") ;;
  --package) packages+=("${package_packages[@]}") ;;
  --test) packages+=("${package_packages[@]}" "${test_packages[@]}") ;;
  --remove)
    records=()
    for r in "$record" "$old_record"; do [ -s "$r" ] && records+=("$r"); done
    [ "${#records[@]}" -gt 0 ] || { echo "deps.sh: $record lists nothing that deps.sh installed" >&2; exit 1; }
    mapfile -t installed < <(sort -u "${records[@]}")
    present=()
    for p in "${installed[@]}"; do
      dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' && present+=("$p")
    done
    need_root "$1"
    if [ "${#present[@]}" -gt 0 ]; then
      "${as_root[@]}" apt-get purge --autoremove "${present[@]}"
    fi
    "${as_root[@]}" rm -f "$record"
    "${as_root[@]}" rmdir --ignore-fail-on-non-empty "$(dirname "$record")"
    rm -f "$old_record"
    exit 0 ;;
  *) echo "usage: deps.sh [--package | --test | --remove]" >&2; exit 2 ;;
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

need_root "${1:-}" "missing: ${missing[*]}"

echo "deps.sh: installing ${missing[*]}"
# Through env, since sudo passes on no variable of the caller's.
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
"${as_root[@]}" mkdir -p "$(dirname "$record")"
printf '%s\n' "${missing[@]}" | "${as_root[@]}" tee -a "$record" >/dev/null
echo "deps.sh: installed ${missing[*]} and what they need; ./scripts/deps.sh --remove removes them again"
