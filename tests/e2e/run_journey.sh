#!/usr/bin/env bash
# An evening played by keyboard alone, as the README teaches it, in one run
# of the real program: a character and three talents through their dialogs,
# each dialog key twice in a row; the menu bar and the menus left by Escape,
# F10 and Alt; Escape from the docks; typed steps, karma keys, rolls; a
# re-roll from the log; the odds window; a copy; the log cleared after its
# question. The database must then hold every roll that was typed, with its
# step, talent and karma, and no other.
#   run_journey.sh PATH/TO/velmora
set -euo pipefail

source "$(dirname "$0")/../../scripts/harness.sh"
source "$(dirname "$0")/../../scripts/xsession.sh"
harness journey "$1"
start_x_session

db=${XDG_DATA_HOME:-$HOME/.local/share}/velmora/velmora.sqlite
rows() { sqlite3 -readonly "$db" "$1" 2>/dev/null || true; }
rolls() { rows "SELECT count(*) FROM rolls"; }
# Keys go to whichever window has the keyboard, as a person's do.
key() { xdotool key --delay 60 "$@"; }

# The dialog titled TITLE, once it is up and has the keyboard; a dialog of
# the same title that was there before (FORMER) does not count.
#   dialog TITLE [FORMER]
dialog() {
  local found=""
  up() {
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "${2:-none}" | head -1 || true)
    [ -n "$found" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$found" ]
  }
  wait_for "no dialog '$1' took the keyboard" up "$@"
  echo "$found"
}
gone() {
  closed() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
  wait_for "the dialog '$1' did not close" closed "$1"
  activate "$window"
}
# A name, then a step, as the two dialogs of a new talent ask for them.
#   new_talent KEY NAME STEP
new_talent() {
  key "$1"
  local first
  first=$(dialog "Talent hinzufügen")
  xdotool type --delay 30 "$2"
  key Return
  dialog "Talent hinzufügen" "$first" >/dev/null
  key ctrl+a
  xdotool type --delay 30 "$3"
  key Return
  gone "Talent hinzufügen"
  talents_are() { [ "$(rows "SELECT count(*) FROM talents WHERE name = '$2' AND step = $3")" = 1 ]; }
  wait_for "the talent '$2' was not kept at step $3" talents_are "$@"
}
# Waits for the Nth roll in the database.
rolled() {
  counted() { [ "$(rolls)" = "$1" ]; }
  wait_for "roll $1 was not kept; the database holds $(rolls)" counted "$1"
}

start_program env
activate "$window"

# The talents: a character by its button's mnemonic, twice; three talents
# by Ctrl+N and Insert, each key twice; a rename by F2 twice; Delete twice,
# answered No.
key ctrl+t
key alt+n
dialog "Neuer Charakter" >/dev/null
xdotool type --delay 30 Arven
key Return
gone "Neuer Charakter"
key alt+n
dialog "Neuer Charakter" >/dev/null
key Escape
gone "Neuer Charakter"
new_talent ctrl+n Schwertkampf 14
new_talent ctrl+n Bogen 9
new_talent Insert Ausweichen 7
key Insert
dialog "Talent hinzufügen" >/dev/null
key Escape
gone "Talent hinzufügen"
key F2
dialog "Talent umbenennen" >/dev/null
key Escape
gone "Talent umbenennen"
key F2
dialog "Talent umbenennen" >/dev/null
key ctrl+a
xdotool type --delay 30 Ducken
key Return
gone "Talent umbenennen"
for _ in 1 2; do
  key Delete
  dialog "Talent löschen" >/dev/null
  key Escape
  gone "Talent löschen"
done
[ "$(rows "SELECT name || ' ' || step FROM talents ORDER BY position" | tr '\n' '|')" = "Schwertkampf 14|Bogen 9|Ducken 7|" ] \
  || fail "the talents kept are: $(rows "SELECT name, step FROM talents" | tr '\n' ' ')"
check "a character and three talents made through their dialogs, each key twice in a row"

# Return rolls the chosen talent, the newest one.
key Return
rolled 1
# Back to the board, into the menu bar and out of it, and a step by its digits.
key Escape F10 Escape 1 4 space
rolled 2
key shift+F10 Escape 2 0 space
rolled 3
key plus plus 7 space
rolled 4
key F10 Down Escape minus 3 1 space
rolled 5
key minus F10 Right alt 6 space
rolled 6
check "F10 and Escape, F10 Down Escape, F10 Right Alt, Shift+F10 and Escape: each time the digits after them rolled their step"

# A re-roll from the log: Ctrl+H stands on the newest roll, Return rolls it
# again with the karma chosen now.
key plus ctrl+h
key Return
rolled 7
key Escape 5 space
rolled 8
# The odds window for the focused step, closed by Escape; the keys are the
# board's again.
key ctrl+k
odds() { xdotool search --onlyvisible --name "^Velmora - Chancen\$" >/dev/null 2>&1; }
wait_for "Ctrl+K opened no odds window" odds
key Escape
wait_for "Escape did not close the odds window" eval '! odds'
activate "$window"
key 9 space
rolled 9
key ctrl+c
copied() { xclip -o -selection clipboard 2>/dev/null | head -1 | grep -qx "Stufe 09, Karma +4"; }
wait_for "Ctrl+C copied '$(xclip -o -selection clipboard 2>/dev/null | head -1)'" copied
check "a re-roll from the log, the odds window and a copy, the keys back on the board after each"

want="7 0 Arven Ducken|14 0 - -|20 0 - -|7 2 - -|31 1 - -|6 0 - -|6 1 - -|5 1 - -|9 1 - -|"
kept() { rows "SELECT step, karma, coalesce(nullif(character, ''), '-'), coalesce(nullif(talent, ''), '-') FROM rolls ORDER BY seq" | tr '|\n' ' |' | sed 's/ |/|/g'; }
[ "$(kept)" = "$want" ] || fail "the database holds '$(kept)', where the evening rolled '$want'"
check "the database holds the nine rolls as typed: $want"

# The log cleared from the menu, after its question: No keeps it, Yes
# empties it; the keys are the board's again after each.
key F10 Right l
dialog "Verlauf leeren" >/dev/null
key Escape
gone "Verlauf leeren"
[ "$(rolls)" = 9 ] || fail "No to the question left $(rolls) rolls"
key F10 Right l
dialog "Verlauf leeren" >/dev/null
key alt+j
gone "Verlauf leeren"
emptied() { [ "$(rolls)" = 0 ]; }
wait_for "Yes to the question left $(rolls) rolls" emptied
key 1 2 space
rolled 1
[ "$(kept)" = "12 1 - -|" ] || fail "after clearing, the database holds '$(kept)'"
check "the log cleared after its question; the next roll is the only one kept"

close_program
echo "journey: 1 passed, 0 failed"
