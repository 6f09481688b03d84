#!/usr/bin/env bash
# The main window scaled by Qt, under Xvfb on a private D-Bus session with the AT-SPI bus,
# checked by where AT-SPI says its controls are.
#   run_atspi_scale.sh PATH/TO/velmora
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
on_private_bus "$@"
harness atspi_scale "$1"

NO_WM=1 start_x_session # AT-SPI needs no window manager
# Qt reads at start-up whether assistive technology is on.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null \
  || fail "no AT-SPI bus (Debian package at-spi2-core)"
start_program env QT_SCALE_FACTOR=1.5
/usr/bin/python3 "$here/atspi_scale.py"
