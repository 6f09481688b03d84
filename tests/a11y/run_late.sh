#!/usr/bin/env bash
# Assistive technology turned on after the program started: with the
# accessibility bus there but accessibility off, or with no accessibility
# bus at all yet. Each case runs on its own D-Bus session and X server; once
# accessibility is on, an AT-SPI client must find the window and press a
# button through it.
#   run_late.sh PATH/TO/velmora [CASE…]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"

# name | accessibility bus before the program: the launcher's switches, or
# "-" for none | what happens once the window is up, steps split by ";"
# "x11" first: the usual desktop, whose launcher publishes its bus on the X
# root window once some program has asked for it.
cases=(
  "x11-bus-then-enabled|x11 --a11y=0 --screen-reader=0|set IsEnabled"
  "enabled-at-start|--a11y=1 --screen-reader=0|"
  "screen-reader-at-start|--a11y=0 --screen-reader=1|"
  "enabled-later|--a11y=0 --screen-reader=0|set IsEnabled"
  "screen-reader-later|--a11y=0 --screen-reader=0|set ScreenReaderEnabled"
  "bus-appears-enabled|-|launch --a11y=1 --screen-reader=0"
  "bus-appears-then-enabled|-|launch --a11y=0 --screen-reader=0; set IsEnabled"
  "bus-appears-then-screen-reader|-|launch --a11y=0 --screen-reader=0; set ScreenReaderEnabled"
  "x11-bus-on-off-on|x11 --a11y=0 --screen-reader=0|set IsEnabled; unset IsEnabled; set ScreenReaderEnabled"
)

# The bus launcher as the session would start it, but with its switches
# instead of the desktop's settings, which it also writes to when a property
# is set: those stay in memory. Without DISPLAY, as under Wayland: on X it
# would also publish the bus on the root window, which Qt reads at start-up
# whatever the settings say. Its socket goes to a runtime folder of its own,
# not to the one in ~/.cache that every other such bus of this user takes.
launch_bus() {
  local display=(-u DISPLAY) x11=""
  if [ "${1:-}" = x11 ]; then display=() x11=1; shift; fi
  mkdir -p -m 700 "$work/runtime"
  env "${display[@]}" XDG_RUNTIME_DIR="$work/runtime" GSETTINGS_BACKEND=memory /usr/libexec/at-spi-bus-launcher "$@" \
    >>"$work/launcher.log" 2>&1 &
  pids+=($!)
  gdbus wait --session --timeout 10 org.a11y.Bus || fail "the accessibility bus launcher did not start"
  if [ -n "$x11" ]; then
    # As any toolkit's program does at start-up, which starts the bus.
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress >/dev/null
    on_root() { xprop -root AT_SPI_BUS 2>/dev/null | grep -q '='; }
    wait_for "the launcher did not name its bus on the X root window" on_root
  fi
}
status() {
  gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Get org.a11y.Status "$1"
}
set_status() {
  gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Set org.a11y.Status "$1" "<${2:-true}>" >/dev/null
}

run_case() {
  local name before after step words
  IFS='|' read -r name before after <<<"$1"
  harness "late $name" "$program"
  unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON AT_SPI_BUS_ADDRESS
  NO_WM=1 start_x_session
  command -v /usr/libexec/at-spi-bus-launcher >/dev/null || fail "no AT-SPI bus launcher (Debian package at-spi2-core)"
  if [ "$before" != - ]; then
    # shellcheck disable=SC2086 # the switches are words
    launch_bus $before
    check "at start: IsEnabled $(status IsEnabled), ScreenReaderEnabled $(status ScreenReaderEnabled)"
  else
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.NameHasOwner org.a11y.Bus | grep -q false \
      || fail "an accessibility bus runs already"
    check "at start: no accessibility bus"
  fi
  start_program env
  IFS=';' read -ra steps <<<"$after"
  for step in "${steps[@]}"; do
    read -ra words <<<"$step"
    case ${words[0]} in
      launch) launch_bus "${words[@]:1}" ;;
      set) set_status "${words[1]}" ;;
      unset) set_status "${words[1]}" false ;;
      *) fail "unknown step '$step'" ;;
    esac
    check "then: ${words[*]}"
  done
  if [[ "$before" != x11* ]] && xprop -root AT_SPI_BUS 2>/dev/null | grep -q '='; then
    fail "the root window names the accessibility bus, which Qt would use whatever the settings say"
  fi
  # The AT-SPI registry starts with the first call to it, which the client
  # gives up on after 800 ms: on a loaded machine, start it beforehand.
  local address
  address=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress)
  address=${address#(\'}
  gdbus call --address "${address%\',)}" --dest org.a11y.atspi.Registry --object-path /org/a11y/atspi/registry \
    --method org.freedesktop.DBus.Peer.Ping >/dev/null || fail "the AT-SPI registry did not start"
  /usr/bin/python3 "$here/atspi_late.py"
}

if [ "${1:-}" = --case ]; then
  program=$(realpath "$3")
  run_case "$2"
  exit 0
fi

harness late "$1"
wanted=("${@:2}")
passed=0 failed=()
for entry in "${cases[@]}"; do
  name=${entry%%|*}
  if [ ${#wanted[@]} -gt 0 ] && [[ " ${wanted[*]} " != *" $name "* ]]; then continue; fi
  if dbus-run-session -- bash "$0" --case "$entry" "$program"; then
    passed=$((passed + 1))
  else
    failed+=("$name")
  fi
done
rm -rf "$work"
echo "late: $passed passed, ${#failed[@]} failed${failed:+ (${failed[*]})}"
[ ${#failed[@]} -eq 0 ]
