#!/usr/bin/env bash
# Orca itself, headless: speech output off, its debug log on. A blind
# player's session: Tab to "Stufe 40", Space; Tab to "Karma +6", Space;
# Tab to "Reset", Space. Orca's log must show each result being spoken.
#   run_orca.sh PATH/TO/velmora [LOG]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/xsession.sh"
on_private_bus "$@"

program=$(realpath "$1")
title="Velmora - Stand-Alone-Version"
work=$(mktemp -d)
log=${2:-$work/orca.log}
pids=()
fail() { echo "orca: FAIL: $*" >&2; exit 1; }
check() { echo "orca: ok: $*"; }

start_x_session
command -v orca >/dev/null || fail "no orca (Debian package orca)"

# A fresh profile, so that no first-run question waits for an answer.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$HOME"
orca --user-prefs "$work/orca" --disable speech --disable braille --disable main-window \
  --disable splash-window --debug-file="$log" >"$work/orca.out" 2>&1 &
orca_pid=$!
pids+=($orca_pid)
for _ in $(seq 100); do
  gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Get org.a11y.Status IsEnabled 2>/dev/null | grep -q true && break
  sleep 0.1
done
sleep 2 # Orca registers its listeners after it has turned accessibility on

start_program env
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
sleep 1
key() { xdotool key --delay 60 "$@"; }
key $(printf 'Tab %.0s' $(seq 39)) # from "Stufe 01" to "Stufe 40"
sleep 0.5
key space
sleep 1.5
key Tab Tab # "Karma +4", "Karma +6"
sleep 0.5
key space
sleep 1.5
key Tab Tab Tab # "Karma +8", "Karma +10", "Reset"
sleep 0.5
key space
sleep 1.5

# Orca writes its log in full when it ends.
kill -INT "$orca_pid"
for _ in $(seq 100); do kill -0 "$orca_pid" 2>/dev/null || break; sleep 0.1; done
spoken=$(grep -a "SPEECH OUTPUT: '" "$log" | sed -E "s/^.*SPEECH OUTPUT: '//; s/'[[:space:]]*\{.*\}$//")
grep -q "^Stufe 40" <<<"$spoken" || fail "Orca never spoke the focus on 'Stufe 40'"
result=$(grep -E "^notification (Die Summe lautet: [0-9]+|Patzer!|Fehler: .*)\.?$" <<<"$spoken" | head -1)
[ -n "$result" ] || fail "Orca did not speak the roll's result"
check "after Space on 'Stufe 40' Orca said: '$result'"
grep -q "^Ein D20 wird gewürfelt: " <<<"$spoken" || fail "Orca did not speak the roll's lines"
check "then the roll line by line: '$(grep -m1 "^Ein D20 wird gewürfelt: " <<<"$spoken")'"
grep -qx "notification Karma +6 gewählt\.\?" <<<"$spoken" || fail "Orca did not speak the karma choice"
check "after Space on 'Karma +6' Orca said: 'notification Karma +6 gewählt'"
grep -qx "notification kein Karma\.\?" <<<"$spoken" || fail "Orca did not speak 'kein Karma' after Reset"
check "after Space on 'Reset' Orca said: 'notification kein Karma'"
echo "orca: 1 passed, 0 failed"
