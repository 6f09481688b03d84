# Sourced after harness.sh: the false accessibility status service of
# fake_status.py as a coprocess.
#   start_fake_status [--late]   starts it and waits until it is ready
#   tell COMMAND…                 sends a command, waits until it is done
start_fake_status() {
  coproc fake { exec /usr/bin/python3 "$here/fake_status.py" "$@" 2>"$work/fake.log"; }
  fake_pid=$fake_PID # bash forgets it once the service ends
  pids+=("$fake_pid")
  exec {to_fake}>&"${fake[1]}" {from_fake}<&"${fake[0]}"
  local ready=""
  read -r -t 30 ready <&"$from_fake" || true
  [ "$ready" = ready ] || fail "the false status service did not start"
}
tell() {
  local said=""
  echo "$*" >&"$to_fake"
  read -r -t 60 said <&"$from_fake" || true
  [ "$said" = "$1" ] || fail "the false service did not finish '$*'"
}
