# Sourced: Orca itself, headless (speech output off, its debug log on), and
# what it said, for scripts that already run an X session (xsession.sh).
#   start_orca LOG     starts it and waits until it follows the focus
#   spoken             what Orca said, an utterance a line
#   said REGEX         waits until Orca has said a matching line
#   said_anew N REGEX  the same, among what it said after its first N lines
#   settle             waits until Orca has said all it still has
#   dialog_heard N TITLE FIELD  waits until a dialog and its question were said

start_orca() {
  orca_log=$1
  command -v orca >/dev/null || fail "no orca (Debian package orca)"
  # Orca runs once per user and refuses to start beside another: wait for
  # one that a previous run is still shutting down, and name a real one.
  for _ in $(seq 100); do pgrep -u "$(id -u)" -x orca >/dev/null || break; sleep 0.1; done
  pgrep -u "$(id -u)" -x orca >/dev/null && skip "an Orca of this user is running, as on a blind player's desktop, and Orca starts only once per user"
  # Orca's log goes to a terminal, which it writes line by line, so that each
  # step can wait for what Orca says instead of guessing how long it takes.
  script -qfec "orca --user-prefs '$work/orca' --disable speech --disable braille --disable main-window \
    --disable splash-window --debug-file=/dev/stdout" /dev/null >"$orca_log" 2>&1 &
  pids+=($!)
  for _ in $(seq 600); do grep -aq "registering listener for: object:state-changed:focused" "$orca_log" && break; sleep 0.1; done
  pids+=($(pgrep -u "$(id -u)" -x orca)) # stopped with the session, not left behind
}

# With speech off, Orca 43 still logs each utterance, a notification as
# "notification" and then its words; Orca 48 logs a notification only as it
# adds it to its list, in one line, which comes out here as "notification
# WORDS", and an announcement (Qt 6.8 on) only as it takes the event, whose
# words it then speaks as they are.
spoken() {
  tr -d '\r' <"$orca_log" | grep -a -e "SPEECH OUTPUT: '" -e "NOTIFICATION PRESENTER: Adding '" \
    -e "EVENT MANAGER: Dequeued object:announcement for " | sed -E \
    -e "s/^.*NOTIFICATION PRESENTER: Adding ' ?(.*[^ ]) ?'\.[[:space:]]*$/notification \1/" \
    -e "s/^.*EVENT MANAGER: Dequeued object:announcement for .* \([0-9]+, [0-9]+, (.*)\) priority: .*$/\1/" \
    -e "s/^.*SPEECH OUTPUT: '//; s/'[[:space:]]*(\{.*\}|None)?[[:space:]]*$//"
}
# Up to 60 s: on a loaded machine, Orca alone can take half of that to start.
said() { said_anew 0 "$1"; }
said_anew() {
  local before=$1 _
  for _ in $(seq 600); do
    spoken | tail -n +"$((before + 1))" | grep -qE "$2" && return 0
    sleep 0.1
  done
  fail "Orca did not say /$2/ within 60 s; it said: $(spoken | tail -5 | tr '\n' '|')"
}

# Its log still for half a second, up to 50 s.
settle() {
  local lines _
  for _ in $(seq 100); do
    lines=$(wc -l <"$orca_log")
    sleep 0.5
    [ "$(wc -l <"$orca_log")" -eq "$lines" ] && return 0
  done
}

# Waits until Orca has said the dialog TITLE and the question of its field,
# whose words FIELD matches, after its Nth utterance: with the field as it
# takes the focus, or with the dialog, which tells its question. Orca 48
# handles keys typed before the dialog after its window's activation, and
# then takes the field for its focus without a word.
#   dialog_heard N TITLE FIELD
dialog_heard() {
  local n=$1 title=$2 field=$3 _
  whole() {
    spoken | tail -n +"$((n + 1))" | grep -qE "^$title dialog" \
      && spoken | tail -n +"$((n + 1))" | grep -qE "(^|^$title dialog )$field"
  }
  for _ in $(seq 600); do
    whole && return 0
    sleep 0.1
  done
  fail "Orca did not say the dialog '$title' and its question '$field' within 60 s; it said: $(spoken | tail -n +"$((n + 1))" | tr '\n' '|')"
}
