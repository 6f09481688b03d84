#!/usr/bin/env bash
# Installs the build into a scratch prefix and packs it as a .deb, then checks
# what a desktop needs: the program, a valid desktop entry and metainfo,
# icons named as the entry's Icon=, the manual page; and that Debian's
# package checker, lintian, finds nothing to warn about.
#   check_install.sh BUILD_DIR
set -euo pipefail

build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install: FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/usr" >/dev/null
root=$work/usr
[ -x "$root/bin/velmora" ] || fail "bin/velmora missing"
desktop=$root/share/applications/org.velmora.Velmora.desktop
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net "$root/share/metainfo/org.velmora.Velmora.metainfo.xml" >/dev/null \
  || fail "metainfo does not validate"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 32 48 64 128 256; do
  png=$root/share/icons/hicolor/${size}x${size}/apps/$icon.png
  [ -f "$png" ] || fail "no ${size}px icon"
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "${size}px icon has the wrong size"
done
[ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon"
man -l "$root/share/man/man6/velmora.6.gz" 2>/dev/null | grep -q '^NAME' || fail "no readable manual page"

# The program, as installed, finds the store's module and keeps what it is
# given in a database of its own: started with a home of its own, it makes
# one once its window is on screen, and ends on SIGTERM.
keeps() {
  local program=$1 home
  home=$(mktemp -d -p "$work")
  HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home \
    QT_QPA_PLATFORM=offscreen "$program" >"$home/out" 2>&1 &
  local pid=$! tries=0
  until [ -s "$home/data/velmora/velmora.sqlite" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ] || ! kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      fail "$program made no database: $(cat "$home/out")"
    fi
    sleep 0.05
  done
  kill -TERM "$pid"
  wait "$pid" || fail "$program did not end cleanly on SIGTERM: $(cat "$home/out")"
  ! grep -q "lässt sich nicht laden" "$home/out" || fail "$program: $(cat "$home/out")"
}
keeps "$root/bin/velmora"

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/velmora_*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q ' \./usr/games/velmora$' <<<"$contents" || fail "the package holds no usr/games/velmora"
grep -q ' \./usr/bin/' <<<"$contents" && fail "the package still holds usr/bin/"
grep -q "usr/share/applications/$icon.desktop" <<<"$contents" || fail "the package holds no desktop entry"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libc6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q libqt6sql6 <<<"$depends" || fail "Depends lacks libqt6sql6, which the store's module needs: $depends"
dpkg-deb -x "$deb" "$work/unpacked"
keeps "$work/unpacked/usr/games/velmora"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "the package's section is not games"
grep -q qt6-wayland <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "the package does not recommend qt6-wayland"
findings=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EW]: ' || true)
[ -z "$findings" ] || fail "lintian: $findings"
echo "install: lintian finds no error and no warning"
echo "install: 1 passed, 0 failed"
