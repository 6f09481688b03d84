#!/usr/bin/env bash
# Two Velmoras at once, as on a game master's desktop: each rolls in turn,
# quickly, and both write the one roll log. Afterwards the log holds every
# roll of both, each once, in the order they were rolled.
#   run_two.sh PATH/TO/velmora
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
on_private_bus "$@"
harness two "$1"
start_x_session

data=${XDG_DATA_HOME:-$HOME/.local/share}/velmora/log.json
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

rolls() { /usr/bin/python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["rolls"]))' "$data" 2>/dev/null || echo 0; }
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
/usr/bin/python3 - "$data" <<'PY' || fail "the log does not hold each roll once, in the order rolled"
import json, sys
rolls = json.load(open(sys.argv[1]))["rolls"]
ids = [r["id"] for r in rolls]
when = [r["when"] for r in rolls]
sys.exit(0 if len(rolls) == 40 and len(set(ids)) == 40 and when == sorted(when) else 1)
PY
check "the log holds the 40 rolls of both, each once, in the order rolled"
