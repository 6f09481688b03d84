#!/usr/bin/env bash
# An evening played by keyboard alone, as the README teaches it, in one run
# of the real program: a character and three talents through their dialogs,
# each dialog key twice in a row; the menu bar and the menus left by Escape,
# F10 and Alt; Escape from the docks; typed steps, karma keys, rolls; a
# re-roll from the log; the odds window; a copy; the log cleared after its
# question. The database must then hold every roll that was typed, with its
# step, talent and karma, and no other. With VELMORA_JOURNEY_ORCA set, Orca
# listens, and each key waits until Orca has said what it should.
#   run_journey.sh PATH/TO/velmora
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
source "$here/../a11y/orca.sh"
orca=${VELMORA_JOURNEY_ORCA:-}
[ -n "$orca" ] && on_private_bus "$@"
harness journey "$1"
start_x_session

db=${XDG_DATA_HOME:-$HOME/.local/share}/velmora/velmora.sqlite
rows() { sqlite3 -readonly "$db" "$1" 2>/dev/null || true; }
rolls() { rows "SELECT count(*) FROM rolls WHERE cleared IS NULL"; }
# Keys go to whichever window has the keyboard, as a person's do.
key() { xdotool key --delay 60 "$@"; }
# A key, and under Orca what it said for it: a line for each REGEX.
#   hear KEY REGEX...
hear() {
  [ -n "$orca" ] || { key "$1"; return; }
  local before pressed=$1 regex
  shift
  before=$(spoken | wc -l)
  key "$pressed"
  for regex in "$@"; do said_anew "$before" "$regex"; done
  echo "  $pressed: $(spoken | tail -n +"$((before + 1))" | tr '\n' '|')"
}
# A key that opens the dialog TITLE: under Orca, the dialog and the
# question of its field, whose words FIELD matches, must be said.
#   hear_dialog KEY TITLE FIELD
hear_dialog() {
  [ -n "$orca" ] || { key "$1"; return; }
  local before
  before=$(spoken | wc -l)
  key "$1"
  dialog_heard "$before" "$2" "$3"
  echo "  $1: $(spoken | tail -n +"$((before + 1))" | tr '\n' '|')"
}
# Waits until the dialog titled TITLE is up and has the keyboard.
#   dialog TITLE
dialog() {
  up() {
    local found
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$found" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$found" ]
  }
  wait_for "no dialog '$1' took the keyboard" up "$1"
}
gone() {
  closed() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
  wait_for "the dialog '$1' did not close" closed "$1"
  activate "$window"
}
# A name, then a step, as the two dialogs of a new talent ask for them.
#   new_talent KEY NAME STEP
new_talent() {
  hear_dialog "$1" "Talent hinzufügen" "Name des Talents"
  dialog "Talent hinzufügen"
  xdotool type --delay 30 "$2"
  hear_dialog Return "Stufe des neuen Talents" "Stufe von $2"
  dialog "Stufe des neuen Talents"
  key ctrl+a
  xdotool type --delay 30 "$3"
  hear Return "^$2\.$"
  gone "Stufe des neuen Talents"
  talents_are() { [ "$(rows "SELECT count(*) FROM talents WHERE name = '$2' AND step = $3")" = 1 ]; }
  wait_for "the talent '$2' was not kept at step $3" talents_are "$@"
}
# Waits for the Nth roll in the database.
rolled() {
  counted() { [ "$(rolls)" = "$1" ]; }
  wait_for "roll $1 was not kept; the database holds $(rolls)" counted "$1"
}
result="(Summe [0-9]+\.|Patzer!)"

[ -n "$orca" ] && start_orca "$work/orca.log"
start_program env
activate "$window"
[ -n "$orca" ] && said "^Stufe 01 (push )?button"

# The talents: a character by its button's mnemonic, twice; three talents
# by Ctrl+N and Insert, each key twice; a rename by F2 twice; Delete twice,
# answered No. Insert is Orca's own key: Ctrl+N stands in for it there.
add=Insert
[ -n "$orca" ] && add=ctrl+n
hear ctrl+t "Talente"
hear_dialog alt+n "Neuer Charakter" "Name des Charakters"
dialog "Neuer Charakter"
xdotool type --delay 30 Arven
hear Return "^Arven"
gone "Neuer Charakter"
hear_dialog alt+n "Neuer Charakter" "Name des Charakters"
dialog "Neuer Charakter"
hear Escape "^Arven\."
gone "Neuer Charakter"
new_talent ctrl+n Schwertkampf 14
new_talent ctrl+n Bogen 9
new_talent "$add" Ausweichen 7
# A new talent's dialog cancelled, and at once opened again.
for _ in 1 2; do
  hear_dialog "$add" "Talent hinzufügen" "Name des Talents"
  dialog "Talent hinzufügen"
  hear Escape "^Ausweichen\.$"
  gone "Talent hinzufügen"
done
hear_dialog F2 "Talent umbenennen" "Neuer Name des Talents"
dialog "Talent umbenennen"
hear Escape "^Ausweichen\.$"
gone "Talent umbenennen"
hear_dialog F2 "Talent umbenennen" "Neuer Name des Talents"
dialog "Talent umbenennen"
key ctrl+a
xdotool type --delay 30 Ducken
hear Return "^Ducken\.$"
gone "Talent umbenennen"
for _ in 1 2; do
  hear Delete "Talent löschen" "^Das Talent Ducken löschen"
  dialog "Talent löschen"
  hear Escape "^Ducken\.$"
  gone "Talent löschen"
done
[ "$(rows "SELECT name || ' ' || step FROM talents ORDER BY position" | tr '\n' '|')" = "Schwertkampf 14|Bogen 9|Ducken 7|" ] \
  || fail "the talents kept are: $(rows "SELECT name, step FROM talents" | tr '\n' ' ')"
check "a character and three talents made through their dialogs, each key twice in a row"

# Return rolls the chosen talent, the newest one.
hear Return "^(notification )?Ducken, $result D"
rolled 1
# Back to the board, into the menu bar and out of it, and a step by its digits.
hear Escape "^Stufe 01 (push )?button"
hear F10 "^Datei"
hear Escape "^Stufe 01 (push )?button"
hear 1 "^1"
hear 4 "^Stufe 14 (push )?button"
hear space "^(notification )?$result D20"
rolled 2
hear shift+F10 "Chancen für Stufe 14"
hear Escape "^escape"
hear 2 "^2"
hear 0 "^Stufe 20 (push )?button"
hear space "^(notification )?$result D20"
rolled 3
hear plus "Karma \+4 gewählt"
hear plus "Karma \+6 gewählt"
hear 7 "^Stufe 07 (push )?button"
hear space "^(notification )?$result D"
rolled 4
hear F10 "^Datei"
hear Down "Verlauf speichern"
hear Escape "^Stufe 07 (push )?button"
hear minus "Karma \+4 gewählt"
hear 3 "^3"
hear 1 "^Stufe 31 (push )?button"
hear space "^(notification )?$result D"
rolled 5
hear minus "kein Karma"
hear F10 "^Datei"
hear Right "^Bearbeiten"
hear alt "^Stufe 31 (push )?button"
hear 6 "^Stufe 06 (push )?button"
hear space "^(notification )?$result D"
rolled 6
check "F10 and Escape, F10 Down Escape, F10 Right Alt, Shift+F10 and Escape: each time the digits after them rolled their step"

# A re-roll from the log: Ctrl+H stands on the newest roll, Return rolls it
# again with the karma chosen now.
hear plus "Karma \+4 gewählt"
hear ctrl+h "^D10 [0-9 und]+\.$"
hear Return "^(notification )?Stufe 06, $result D"
rolled 7
hear Escape "^Stufe 06 (push )?button"
hear 5 "^Stufe 05 (push )?button"
hear space "^(notification )?$result D"
rolled 8
# The odds window for the focused step, closed by Escape; the keys are the
# board's again.
hear ctrl+k "Chancen für Stufe 5"
odds() { xdotool search --onlyvisible --name "^Velmora - Chancen\$" >/dev/null 2>&1; }
wait_for "Ctrl+K opened no odds window" odds
hear Escape "^Stufe 05 (push )?button|frame\.$"
wait_for "Escape did not close the odds window" eval '! odds'
activate "$window"
hear 9 "^Stufe 09 (push )?button"
hear space "^(notification )?$result D"
rolled 9
hear ctrl+c "kopiert"
copied() { xclip -o -selection clipboard 2>/dev/null | head -1 | grep -qx "Stufe 09, Karma +4"; }
wait_for "Ctrl+C copied '$(xclip -o -selection clipboard 2>/dev/null | head -1)'" copied
check "a re-roll from the log, the odds window and a copy, the keys back on the board after each"

want="7 0 Arven Ducken|14 0 - -|20 0 - -|7 2 - -|31 1 - -|6 0 - -|6 1 - -|5 1 - -|9 1 - -|"
kept() { rows "SELECT step, karma, coalesce(nullif(character, ''), '-'), coalesce(nullif(talent, ''), '-') FROM rolls WHERE cleared IS NULL ORDER BY seq" | tr '|\n' ' |' | sed 's/ |/|/g'; }
[ "$(kept)" = "$want" ] || fail "the database holds '$(kept)', where the evening rolled '$want'"
check "the database holds the nine rolls as typed: $want"

# The log cleared from the menu, after its question: No keeps it, Yes
# empties it; the keys are the board's again after each.
hear F10 "^Datei"
hear Right "^Bearbeiten"
hear l "Verlauf leeren"
dialog "Verlauf leeren"
hear Escape "^Stufe 09 (push )?button"
gone "Verlauf leeren"
[ "$(rolls)" = 9 ] || fail "No to the question left $(rolls) rolls"
hear F10 "^Datei"
hear Right "^Bearbeiten"
hear l "Verlauf leeren"
dialog "Verlauf leeren"
hear alt+l "^Stufe 09 (push )?button"
gone "Verlauf leeren"
emptied() { [ "$(rolls)" = 0 ]; }
wait_for "Yes to the question left $(rolls) rolls" emptied
hear 1 "^1"
hear 2 "^Stufe 12 (push )?button"
hear space "^(notification )?$result D"
rolled 1
[ "$(kept)" = "12 1 - -|" ] || fail "after clearing, the database holds '$(kept)'"
check "the log cleared after its question; the next roll is the only one kept"

close_program
[ -z "$orca" ] || check "Orca said every dialog with its question"
echo "journey: 1 passed, 0 failed"
