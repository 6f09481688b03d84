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
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "the package's section is not games"
grep -q qt6-wayland <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "the package does not recommend qt6-wayland"
findings=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EW]: ' || true)
[ -z "$findings" ] || fail "lintian: $findings"
echo "install: lintian finds no error and no warning"
echo "install: 1 passed, 0 failed"
