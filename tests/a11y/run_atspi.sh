#!/usr/bin/env bash
# The real program under Xvfb on a private D-Bus session with the AT-SPI
# bus, checked by an AT-SPI client as a screen reader would see it.
#   run_atspi.sh PATH/TO/velmora
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
on_private_bus "$@"
harness atspi "$1"

NO_WM=1 start_x_session # AT-SPI needs no window manager
# What a desktop with assistive technology turned on announces; Qt reads it
# once, at start-up.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null \
  || fail "no AT-SPI bus (Debian package at-spi2-core)"
start_program env
/usr/bin/python3 "$here/atspi_client.py"
