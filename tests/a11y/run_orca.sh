#!/usr/bin/env bash
# Orca itself, headless: speech output off, its debug log on. A blind
# player's session: "1" "4", Space; "+" "+"; "4" "0", Tab to "Karma +6",
# which is chosen, and to "Karma +8", which is not; Tab to "Reset", Space;
# Ctrl+H, Escape; Shift+F10 on "Stufe 14"; Ctrl+T, "w", Return on a talent.
# Orca's log must show each result being spoken.
# Each key waits until Orca has spoken the one before. With
# VELMORA_ORCA_LATE set, Orca starts after Velmora, as on the usual desktop:
# the accessibility bus runs, named on the X root window, and is off.
#   run_orca.sh PATH/TO/velmora [LOG]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
source "$here/orca.sh"
on_private_bus "$@"
harness orca "$1"
log=${2:-$work/orca.log}

start_x_session

# A fresh profile, so that no first-run question waits for an answer.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$HOME"
# A player's talents, as Velmora keeps them.
mkdir -p "$XDG_CONFIG_HOME/velmora"
cat >"$XDG_CONFIG_HOME/velmora/talents.json" <<'JSON'
{"format": 1, "current": "Arven", "characters": [{"name": "Arven", "talents": [
  {"name": "Schwertkampf", "step": 14}, {"name": "Wahrnehmung", "step": 9}]}]}
JSON
if [ -n "${VELMORA_ORCA_LATE:-}" ]; then
  /usr/libexec/at-spi-bus-launcher --a11y=0 --screen-reader=0 >"$work/launcher.log" 2>&1 &
  pids+=($!)
  gdbus wait --session --timeout 10 org.a11y.Bus || fail "the accessibility bus launcher did not start"
  # As any toolkit's program does at start-up, which starts the bus and
  # names it on the root window.
  gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress >/dev/null
  on_root() { xprop -root AT_SPI_BUS 2>/dev/null | grep -q '='; }
  wait_for "the launcher did not name its bus on the X root window" on_root
  start_program env
  check "Velmora runs with accessibility off; Orca starts now"
fi
start_orca "$log"

key() { xdotool key --delay 80 "$@"; }
if [ -z "${VELMORA_ORCA_LATE:-}" ]; then
  start_program env
  activate "$window"
  said "^Stufe 01 (push )?button"
else
  # The focus stood on "Stufe 01" before Orca came; a move shows it.
  activate "$window"
  key Tab
  said "^Stufe 0[12] (push )?button"
fi
check "Orca follows the focus: '$(spoken | grep -m1 -E '^Stufe 0[12] ')'"

# A step in two keystrokes.
key 1 4
said "^Stufe 14 (push )?button"
said "D20 plus D4, im Mittel 14,4"
step14=$(spoken | grep -A1 -m1 -E '^Stufe 14 ' | tr '\n' ' ')
grep -qE "[:()·–]" <<<"$step14" && fail "Orca was given punctuation that it names aloud: $step14"
check "after '1' '4' Orca said: '$step14'"
key space
# The result once and first, then the dice, with no punctuation that Orca
# would read aloud. Orca 43 says "notification", then the words; Orca 48
# adds them to its list as one line. From Qt 6.8 on it is an announcement,
# which has no role word.
said "^(notification )?(Summe [0-9]+\.|Patzer!|Fehler, [^:]*\.) D20 [0-9]+"
roll=$(spoken | grep -E "^(notification )?(Summe [0-9]+\.|Patzer!|Fehler, [^:]*\.) D20 " | tail -1)
grep -qE "[:()–-]|Summe.*Summe" <<<"$roll" \
  && fail "Orca was given punctuation or the result twice: $roll"
if grep -aqE "in velmora \(Qt 6\.([89]|[1-9][0-9])" "$log"; then
  grep -q "^notification" <<<"$roll" && fail "Orca was given a role word with the result on Qt 6.8 or later: $roll"
fi
check "after Space on 'Stufe 14' Orca said: '$roll'"

# A burst: three more rolls 10 ms apart, each heard with its own result;
# the log tells afterwards which results they were.
results() {
  spoken | grep -aE "^(notification )?(Summe [0-9]+\.|Patzer!|Fehler, [^:]*\.) D20 " \
    | sed -E 's/^(notification )?//; s/^(Summe [0-9]+|Patzer!|Fehler, [^.]*).*/\1/'
}
xdotool key --delay 10 space space space
heard_four() { [ "$(results | wc -l)" -ge 4 ]; }
for _ in $(seq 600); do heard_four && break; sleep 0.1; done
heard_four || fail "Orca told $(results | wc -l) of 4 rolls: $(results | tr '\n' '|')"
check "after three quick Spaces Orca said: '$(spoken | grep -aE "^(notification )?(Summe|Patzer|Fehler)" | tail -3 | tr '\n' '|')'"

# "+" twice from no karma: +4, then +6, each announced, the focus kept.
key plus
said "^(notification )?Karma \+4 gewählt\.?$"
key plus
said "^(notification )?Karma \+6 gewählt\.?$"
check "after '+' '+' Orca said: '$(spoken | grep -E 'Karma \+6 gewählt' | tail -1)'"

# The chosen karma button is said to be chosen, the others are not.
key 4 0
said "^Stufe 40 (push )?button"
key Tab Tab # "Karma +4", "Karma +6"
said "^Karma \+6 (push |toggle )?button"
said "^gewählt\.?$|^Karma \+6 (push |toggle )?button.* (gewählt|pressed|checked)"
chosen=$(spoken | grep -A1 -E "^Karma \+6 (push |toggle )?button" | tail -2 | tr '\n' ' ')
grep -qE "gewählt|pressed|checked" <<<"$chosen" || fail "Orca did not say that 'Karma +6' is chosen: $chosen"
check "on 'Karma +6' Orca said: '$chosen'"
key Tab # "Karma +8"
said "^Karma \+8 (push |toggle )?button"
unchosen=$(spoken | grep -A1 -E "^Karma \+8 (push |toggle )?button" | tail -2 | tr '\n' ' ')
grep -qE "gewählt|pressed|checked" <<<"$unchosen" && fail "Orca said that 'Karma +8' is chosen: $unchosen"
check "on 'Karma +8' Orca said: '$unchosen'"

key Tab Tab # "Karma +10", "Reset"
said "^Reset (push )?button"
key space
said "^(notification )?kein Karma\.?$"
check "after Space on 'Reset' Orca said: '$(spoken | grep -E 'kein Karma' | tail -1)'"
# The roll can be heard again: Ctrl+H opens the log on its newest entry,
# Escape gives the focus back.
before=$(spoken | wc -l)
key ctrl+h
said_anew "$before" "^(notification )?Verlauf\.?$"
check "after Ctrl+H Orca said the dock's name: '$(spoken | tail -n +"$((before + 1))" | grep -m1 -E 'Verlauf')'"
said_anew "$before" "^D20 [0-9]"
# The newest row, cell by cell: its time, result, luck, step, karma and dice.
entry=$(spoken | tail -n +"$((before + 1))" | grep -B5 -m1 -E '^D20 [0-9]' | tr '\n' ' ')
grep -qE "^[0-9]{1,2} Uhr( [0-9]{1,2})?\. (Summe [0-9]+|Patzer!)\.? Glück [0-9]+ %\.? Stufe 14\. kein Karma\. D20" <<<"$entry" \
  || fail "Orca read the newest roll as: $entry"
grep -qE "[:()·–]|Doppelpunkt|Mittelpunkt" <<<"$entry" && fail "Orca was given punctuation that it names aloud: $entry"
# The row's own words are few; the dice take two words a die, however often
# they explode, and nothing else.
words=$(sed -E 's/ D20 .*//' <<<"$entry" | wc -w)
[ "$words" -le 13 ] || fail "Orca read the newest roll's time, result, luck, step and karma in $words words: $entry"
dice=$(sed -E 's/^.* (D20 )/\1/' <<<"$entry")
extra=$(tr ' ' '\n' <<<"$dice" | grep -vE '^(D[0-9]+|[0-9]+[,.]?|und|)$' || true)
[ -z "$extra" ] || fail "Orca read the newest roll's dice with more than dice and numbers ($(tr '\n' ' ' <<<"$extra")): $entry"
check "after Ctrl+H Orca said, in $words words before the dice: '$entry'"
# Tonight's summary follows the table, read as it takes the focus.
before=$(spoken | wc -l)
key Tab
said_anew "$before" "^Heute, [0-9]+ Würfe, Glück im Mittel [0-9]+ %, [0-9]+ über dem Mittel, erwartet [0-9]+,[0-9], so ein Abend 1 von [0-9]+"
tonight=$(spoken | tail -n +"$((before + 1))" | grep -m1 "^Heute")
[ "$(wc -w <<<"$tonight")" -lt 25 ] || fail "Orca read tonight's summary in $(wc -w <<<"$tonight") words"
check "on tonight's summary Orca said: '$tonight'"
# Then the chart's numbers as a table, row by row.
before=$(spoken | wc -l)
key Tab
said_anew "$before" "^0 bis unter 10 %"
key Down
said_anew "$before" "^10 bis unter 20 %"
check "in tonight's luck table Orca said: '$(spoken | tail -n +"$((before + 1))" | tr '\n' '|')'"
before=$(spoken | wc -l)
key shift+Tab shift+Tab
said_anew "$before" "^D20 [0-9]"
# Every roll in the log, oldest first, as Orca told them.
key ctrl+a ctrl+c
logged() {
  timeout 5 xclip -o -selection clipboard 2>/dev/null | grep -aE '^(Die Summe lautet: [0-9]+|Patzer!|Fehler: )' \
    | sed -E 's/^Die Summe lautet: /Summe /; s/^Fehler: ([^–]*[^ –]).*/Fehler, \1/' | tac
}
copied() { [ "$(logged | wc -l)" -ge 4 ]; }
for _ in $(seq 100); do copied && break; sleep 0.1; done
[ "$(logged | head -4)" = "$(results | head -4)" ] \
  || fail "Orca told the four rolls of 'Stufe 14' as '$(results | head -4 | tr '\n' '|')', the log holds '$(logged | head -4 | tr '\n' '|')'"
check "Orca told each of the four rolls with its own result, in order: '$(results | head -4 | tr '\n' '|')'"
before=$(spoken | wc -l)
key Escape
said_anew "$before" "^Reset (push )?button"
check "after Escape the focus is back on 'Reset'"

# A talent by its name: Ctrl+T, "w" finds "Wahrnehmung", Return rolls it.
before=$(spoken | wc -l)
key ctrl+t
said_anew "$before" "^(notification )?Talente\.?$"
said_anew "$before" "Schwertkampf"
check "after Ctrl+T Orca said: '$(spoken | tail -n +"$((before + 1))" | sed '/Schwertkampf/q' | tr '\n' '|')'"
before=$(spoken | wc -l)
key w
said_anew "$before" "Wahrnehmung"
check "after 'w' Orca said: '$(spoken | tail -n +"$((before + 1))" | sed '/Wahrnehmung/q' | tr '\n' '|')'"
before=$(spoken | wc -l)
key Return
said_anew "$before" "^(notification )?Wahrnehmung, (Summe [0-9]+\.|Patzer!) D8 "
check "after 'w' and Return Orca said: '$(spoken | grep -E "^(notification )?Wahrnehmung, " | tail -1)'"
before=$(spoken | wc -l)
key Escape
said_anew "$before" "^Reset (push )?button"
check "after Escape the focus is back on 'Reset'"

# A talent added by Ctrl+N, which Orca passes on (Insert is Orca's own key),
# and rolled by Return, where the focus then is.
before=$(spoken | wc -l)
key ctrl+t
said_anew "$before" "Schwertkampf|Wahrnehmung"
before=$(spoken | wc -l)
key ctrl+n
dialog_heard "$before" "Talent hinzufügen" "Name des Talents"
xdotool type --delay 40 Bogen
# The step's dialog follows at once: its title, then its field.
before=$(spoken | wc -l)
key Return
dialog_heard "$before" "Stufe des neuen Talents" "Stufe von Bogen"
before=$(spoken | wc -l)
key Return
said_anew "$before" "^Bogen"
before=$(spoken | wc -l)
key Return
said_anew "$before" "^(notification )?Bogen, (Summe [0-9]+\.|Patzer!) D"
check "a talent added by Ctrl+N and rolled by Return: '$(spoken | grep -E "^(notification )?Bogen, " | tail -1)'"
# A name offered for renaming, selected, is read whole.
before=$(spoken | wc -l)
key F2
said_anew "$before" "(selected|ausgewählt)\.?$|^Talent umbenennen dialog"
selected() { spoken | tail -n +"$((before + 1))" | grep -E "(selected|ausgewählt)\.?$" | head -1; }
for _ in $(seq 30); do [ -n "$(selected)" ] && break; sleep 0.1; done
if [ -n "$(selected)" ]; then
  grep -qE "^Bogen (selected|ausgewählt)" <<<"$(selected)" || fail "Orca read the selected name as: '$(selected)'"
  check "F2 on 'Bogen': '$(selected)'"
else
  check "the rename dialog was heard without its field: Orca took the field silently, as with Ctrl+N"
fi
before=$(spoken | wc -l)
key Escape
said_anew "$before" "^Bogen"
# The character box by its mnemonic, with the chosen character and no "&".
before=$(spoken | wc -l)
key alt+c
# Qt 6.8's box names its choice itself, which Orca 48 says after the label.
said_anew "$before" "^Charakter(: Arven| Arven)+ combo box"
check "on the character box Orca said: '$(spoken | tail -n +"$((before + 1))" | tr '\n' '|')'"
before=$(spoken | wc -l)
key Escape
said_anew "$before" "^Reset (push )?button"
spoken | grep -F '&' && fail "Orca read a mnemonic's '&' aloud"

# Karma and rolls 20 ms apart, as a player who knows the keys types them:
# every roll heard, and no flood of events that Orca would drop.
before=$(spoken | wc -l)
key 1 4
said_anew "$before" "^Stufe 14 (push )?button"
counted=$(results | wc -l)
logged=$(wc -l <"$log")
said_before=$(spoken | wc -l)
# Up to "Karma +8" and back, four times over: 32 choices, each followed by
# a roll. Orca 43 takes 10 to 40 ms for each event it queues, and drops
# notices once more than 50 wait: each key may cost it about one.
pairs=32
burst=""
for _ in 1 2 3 4; do burst+=" plus space plus space plus space minus space minus space minus space plus space minus space"; done
# shellcheck disable=SC2086 # the keys are words
xdotool key --delay 20 $burst
heard_all() { [ "$(results | wc -l)" -ge $((counted + pairs)) ]; }
# Faster than anyone types: measured and told, not required. A slow build
# (the sanitizers') answers Orca's questions slowly enough for Orca 43 to
# drop notices, whatever the program sends.
for _ in $(seq 100); do heard_all && break; sleep 0.1; done
rolls_told=$(($(results | wc -l) - counted))
choices=$(spoken | tail -n +"$((said_before + 1))" | grep -cE "^(notification )?(Karma \+[0-9]+ gewählt|kein Karma)\.?$" || true)
floods=$(tail -n +"$((logged + 1))" "$log" | grep -ac "FLOOD" || true)
check "'+' Space and '-' Space 20 ms apart: $rolls_told of $pairs rolls and $choices of $pairs choices told, $floods flood lines in Orca's log"
# Let Orca finish with what it still has before the next run of keys.
settle

# The same at a fast typist's pace, 100 ms apart, with both cores taken by
# other work, as on a player's machine that also carries the call: every
# roll and every choice still told.
busy=()
for _ in 1 2; do
  timeout 120 sh -c 'while :; do :; done' &
  busy+=($!)
done
pids+=("${busy[@]}")
counted=$(results | wc -l)
said_before=$(spoken | wc -l)
# shellcheck disable=SC2086 # the keys are words
xdotool key --delay 100 $burst
for _ in $(seq 600); do heard_all && break; sleep 0.1; done
kill "${busy[@]}" 2>/dev/null || true
heard_all || fail "with both cores busy, Orca told $(($(results | wc -l) - counted)) of $pairs rolls typed 100 ms apart"
choices=$(spoken | tail -n +"$((said_before + 1))" | grep -cE "^(notification )?(Karma \+[0-9]+ gewählt|kein Karma)\.?$" || true)
[ "$choices" -eq "$pairs" ] || fail "with both cores busy, Orca told $choices of $pairs karma choices typed 100 ms apart"
check "'+' Space and '-' Space 100 ms apart, both cores busy: $pairs of $pairs rolls and $pairs of $pairs choices told"

# Last, since a key right after a menu closes can go astray on a busy
# machine: the step's menu by keyboard, heard with its first entry.
before=$(spoken | wc -l)
key 4 0
said_anew "$before" "^Stufe 40 (push )?button"
before=$(spoken | wc -l)
key 1 4
said_anew "$before" "^Stufe 14 (push )?button"
before=$(spoken | wc -l)
key shift+F10
said_anew "$before" "Chancen für Stufe 14"
check "after Shift+F10 on 'Stufe 14' Orca said: '$(spoken | grep -B1 -E 'Chancen für Stufe 14' | tail -2 | tr '\n' ' ')'"
# Keys typed as the menu closes act in order: "+" chooses karma, "1" "5"
# the step, Space rolls it.
counted=$(results | wc -l)
xdotool key --delay 20 Escape plus 1 5 space
rolled_once() { [ "$(results | wc -l)" -gt "$counted" ]; }
for _ in $(seq 600); do rolled_once && break; sleep 0.1; done
rolled_once || fail "no roll told after Escape '+' '1' '5' Space"
roll=$(spoken | grep -aE "^(notification )?(Summe [0-9]+\.|Patzer!|Fehler, [^:]*\.) D20 " | tail -1)
grep -qE "D20 [0-9 und]+, D6 [0-9 und]+, Karma D" <<<"$roll" \
  || fail "after Escape '+' '1' '5' Space, not 'Stufe 15' with karma: $roll"
check "after the menu, Escape '+' '1' '5' Space 20 ms apart rolled 'Stufe 15' with karma: '$roll'"
# The board's menu on a karma button, heard at every opening.
before=$(spoken | wc -l)
key 4 0
said_anew "$before" "^Stufe 40 (push )?button"
before=$(spoken | wc -l)
key Tab
said_anew "$before" "^Karma \+4 (push |toggle )?button"
menus=$(spoken | wc -l)
for n in 1 2 3; do
  before=$(spoken | wc -l)
  key shift+F10
  said_anew "$before" "Wurf kopieren"
  # Orca says nothing as the focus goes back to the button it was on; its
  # echo of the key is what there is to wait for.
  before=$(spoken | wc -l)
  key Escape
  said_anew "$before" "^escape"
done
check "the karma button's menu heard at three openings in a row: '$(spoken | tail -n +"$((menus + 1))" | grep -m1 'Wurf kopieren')'"
# The odds window's summary: a row says what it holds as it is reached.
before=$(spoken | wc -l)
key 1 4
said_anew "$before" "^Stufe 14 (push )?button"
before=$(spoken | wc -l)
key ctrl+k
said_anew "$before" "Chancen für Stufe 14"
before=$(spoken | wc -l)
key Tab
said_anew "$before" "Patzer und Mittelwert"
said_anew "$before" "^Patzer! [0-9]"
before=$(spoken | wc -l)
key Down
said_anew "$before" "^im Mittel [0-9]+,[0-9]"
check "Down in the odds window's summary: '$(spoken | tail -n +"$((before + 1))" | tr '\n' '|')'"
spoken | grep -F '&' && fail "Orca read a mnemonic's '&' aloud"
echo "orca: 1 passed, 0 failed"
