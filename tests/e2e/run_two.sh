#!/usr/bin/env bash
# Two Velmoras at once, as on a game master's desktop: each rolls in turn,
# quickly, and both write the one roll log. Afterwards the log holds every
# roll of both, each once, in the order they were rolled. Then "Verlauf
# leeren" in one while the other rolls: once both are closed, only the rolls
# after the clearing are left.
#   run_two.sh PATH/TO/velmora
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
on_private_bus "$@"
harness two "$1"
start_x_session

data=${XDG_DATA_HOME:-$HOME/.local/share}/velmora/velmora.sqlite
[ ! -e "$data" ] || fail "a roll log is there before the test: $data"
start_program env
first=$window
window=""
"$program" >"$work/second.log" 2>&1 &
pids+=($!)
second_window() {
  window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | grep -vx "$first" | head -1 || true)
  [ -n "$window" ]
}
wait_for "no second window" second_window
second=$window
check "two Velmoras run: windows $first and $second"

# As another program reads it, while both write.
rolls() { sqlite3 -readonly "$data" 'SELECT count(*) FROM rolls WHERE cleared IS NULL' 2>/dev/null || echo 0; }
# Five rounds of four rolls each, the programs taking turns; each turn
# waits until its program has written its rolls, so that every write after
# the first must take in what the other program wrote before.
turns=0
for _ in 1 2 3 4 5; do
  for w in "$first" "$second"; do
    activate "$w"
    xdotool key --delay 30 space space space space
    turns=$((turns + 1))
    kept() { [ "$(rolls)" -ge $((4 * turns)) ]; }
    wait_for "after turn $turns the log did not hold the $((4 * turns)) rolls of both" kept
  done
done
ordered=$(sqlite3 -readonly "$data" \
  "SELECT count(*), count(DISTINCT a.id), sum(a.rolled_at <= b.rolled_at) FROM rolls a LEFT JOIN rolls b ON b.seq = (SELECT min(seq) FROM rolls WHERE seq > a.seq)")
[ "$ordered" = "40|40|39" ] || fail "the log does not hold each roll once, in the order rolled: $ordered"
check "the log holds the 40 rolls of both, each once, in the order rolled"

# "Verlauf leeren" in the first, by keyboard: its log docked beside the
# board, which widens the window, the button, and "Alle".
activate "$first"
xdotool key ctrl+h
docked() { eval "$(xdotool getwindowgeometry --shell "$first")"; [ "$WIDTH" -gt 447 ]; }
wait_for "no log docked beside the board" docked
xdotool key alt+e
question() { xdotool search --onlyvisible --name "^Verlauf leeren\$" >/dev/null 2>&1; }
wait_for "no question before the clearing" question
# "Ja" once the question has the keyboard: on a loaded machine the key
# would otherwise go to the window beneath it.
activate "$(xdotool search --onlyvisible --name "^Verlauf leeren\$" | head -1)"
xdotool key alt+l
emptied() { [ "$(rolls)" -eq 0 ]; }
wait_for "the log was not emptied" emptied
check "Verlauf leeren in the first emptied the log"
activate "$second"
xdotool key --delay 30 space space space
three() { [ "$(rolls)" -eq 3 ]; }
wait_for "the second's rolls after the clearing were not kept" three
for w in "$first" "$second"; do
  wmctrl -i -c "$w"
done
ended() { ! pgrep -f -x "$program" >/dev/null; }
wait_for "both programs did not end" ended
[ "$(rolls)" -eq 3 ] || fail "after closing, the log holds $(rolls) rolls, not the 3 after the clearing"
check "both closed: only the 3 rolls after the clearing are left"
