#!/usr/bin/env bash
# A logout, a terminal's Ctrl+C, a closed terminal: TERM, INT and HUP right
# after a roll close the program as its close box does, and the roll on
# the screen is in the database.
#   run_signals.sh PATH/TO/velmora [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
on_private_bus "$@"
harness signals "$1"
rounds=${2:-3}
start_x_session

data=${XDG_DATA_HOME:-$HOME/.local/share}/velmora/velmora.sqlite
rolls() { sqlite3 -readonly "$data" 'SELECT count(*) FROM rolls' 2>/dev/null || echo 0; }
kept=0
for signal in TERM INT HUP; do
  for round in $(seq "$rounds"); do
    start_program env
    activate "$window"
    xdotool key space
    sleep 0.15 # the signal comes at the moment the issue names, not when a condition holds
    kill -s "$signal" "$app"
    ended() { ! kill -0 "$app" 2>/dev/null; }
    wait_for "$signal did not end the program" ended
    status=0
    wait "$app" || status=$?
    [ "$status" -eq 0 ] || { cat "$work/program.log" >&2; fail "$signal: exit code $status, not a closing"; }
    kept=$((kept + 1))
    [ "$(rolls)" -eq "$kept" ] || fail "$signal, round $round: the log holds $(rolls) rolls, not $kept"
  done
  check "$signal 0.15 s after a roll: the roll kept, $rounds of $rounds"
done
