#!/usr/bin/env bash
# The real program under Xvfb on a private D-Bus session with the AT-SPI
# bus, checked by an AT-SPI client as a screen reader would see it.
#   run_atspi.sh PATH/TO/velmora
set -euo pipefail
if [ -z "${VELMORA_PRIVATE_BUS:-}" ]; then
  VELMORA_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi

here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
title="Velmora - Stand-Alone-Version"
work=$(mktemp -d)
pids=()
fail() { echo "atspi: FAIL: $*" >&2; exit 1; }

source "$here/../../scripts/xsession.sh"
start_x_session
# What a desktop with assistive technology turned on announces; Qt reads it
# once, at start-up.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null \
  || fail "no AT-SPI bus (Debian package at-spi2-core)"
start_program env
/usr/bin/python3 "$here/atspi_client.py"
