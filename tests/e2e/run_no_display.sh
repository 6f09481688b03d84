#!/usr/bin/env bash
# Started where no window system can be reached, the program prints one
# plain line that names DISPLAY or WAYLAND_DISPLAY and exits with 1, rather
# than aborting with Qt's advice to reinstall.
#   run_no_display.sh PATH/TO/velmora
set -euo pipefail
source "$(dirname "$0")/../../scripts/harness.sh"
harness no-display "$1"
trap 'rm -rf "$work"' EXIT

# case | environment | what the line must name
cases=(
  "unset|-u DISPLAY -u WAYLAND_DISPLAY|weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt"
  "X11 unreachable|-u WAYLAND_DISPLAY DISPLAY=:4711|DISPLAY=:4711 ist nicht erreichbar"
  "Wayland unreachable|-u DISPLAY WAYLAND_DISPLAY=nowhere-4711|WAYLAND_DISPLAY=nowhere-4711 ist nicht erreichbar"
  "both unreachable|DISPLAY=:4711 WAYLAND_DISPLAY=nowhere-4711|weder DISPLAY=:4711 noch WAYLAND_DISPLAY=nowhere-4711"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name environment expected <<<"$entry"
  status=0
  # shellcheck disable=SC2086 # the environment is a list of words
  output=$(env -u QT_QPA_PLATFORM $environment XDG_RUNTIME_DIR="$work" "$program" 2>&1) || status=$?
  [ "$status" -eq 1 ] || fail "$name: exit code $status, want 1; said: $output"
  [ "$(wc -l <<<"$output")" -eq 1 ] || fail "$name: more than one line: $output"
  grep -qF "$expected" <<<"$output" || fail "$name: the line lacks '$expected': $output"
  check "$name: $output"
done
echo "no-display: 1 passed, 0 failed"
