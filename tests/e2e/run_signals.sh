#!/usr/bin/env bash
# A logout, a terminal's Ctrl+C, a closed terminal: TERM, INT and HUP right
# after a roll close the program as its close box does, and the roll on
# the screen is in the database; so is every roll on the screen when the
# display goes away.
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

# A display that goes away (an X server that crashed, a remote session
# dropped): Qt ends the program with exit(1) at once. Another program holds
# the database's write lock meanwhile, so the rolls are still on their way
# to the disk when the display goes. Each roll on the screen is kept, and
# the program ends without a crash.
lock_database() {
  rm -f "$work/lock.in" "$work/lock.out"
  mkfifo "$work/lock.in"
  sqlite3 "$data" <"$work/lock.in" >"$work/lock.out" 2>&1 &
  exec 4>"$work/lock.in"
  echo "BEGIN EXCLUSIVE; SELECT 'locked';" >&4
  locked() { grep -q locked "$work/lock.out"; }
  wait_for "sqlite3 did not take the lock" locked
}
unlock_database() { echo "COMMIT;" >&4; exec 4>&-; wait "$!" 2>/dev/null || true; }
for round in $(seq "$rounds"); do
  [ "$round" -eq 1 ] || start_display
  start_program env
  activate "$window"
  before=$(rolls)
  lock_database
  xdotool key --delay 30 --repeat 12 space
  sleep 0.5 # the rolls on the screen, not yet on the disk
  kill "$xvfb_pid"
  sleep 0.5
  unlock_database
  wait_for "the program outlived its display" ended
  status=0
  wait "$app" || status=$?
  ! grep -E 'AddressSanitizer|runtime error|LeakSanitizer' "$work/program.log" >&2 ||
    fail "display lost, round $round: a sanitizer's report"
  [ "$status" -lt 128 ] || { cat "$work/program.log" >&2; fail "display lost, round $round: killed by signal $((status - 128))"; }
  [ "$(rolls)" -eq $((before + 12)) ] ||
    fail "display lost, round $round: the log holds $(($(rolls) - before)) of the 12 rolls on the screen"
  [ "$(sqlite3 -readonly "$data" 'PRAGMA integrity_check')" = ok ] || fail "display lost, round $round: the database is damaged"
done
check "display lost with the rolls on their way to the disk: all kept, no crash, $rounds of $rounds"
