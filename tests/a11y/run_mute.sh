#!/usr/bin/env bash
# An accessibility service that appears after the program started, on a
# session bus that cannot start one itself, and never answers: each click
# is drawn at once, before, while and after it appears.
#   run_mute.sh PATH/TO/velmora [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
source "$here/fake_status.sh"
on_private_bus "$@"
harness mute "$1"
rounds=${2:-1}

NO_WM=1 start_x_session
ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
for round in $(seq "$rounds"); do
  start_fake_status --late
  tell stuck

  start_program env
  start=$(date +%s%N)
  click_at 392 492 # as a click takes with no service
  quiet=$(ms "$start")
  sleep 2 # the service comes 2.5 s after the start, as a condition would not say
  tell own
  slowest=0 times=""
  for x in 184 392 184 392 184; do
    sleep 1
    start=$(date +%s%N)
    # Fails after 30 s; Qt's own reader of the status waits 25 s for each
    # of its two questions.
    click_at "$x" 492 # "Stufe 10", "Stufe 40"
    took=$(ms "$start")
    times+=" $took"
    [ "$took" -le "$slowest" ] || slowest=$took
  done
  questions=$(grep -c "^held" "$work/fake.log" || true)
  check "round $round: a service that came 2.5 s after the start and never answered; five clicks drawn within$times ms (before it came: $quiet ms, this check's own time included); asked $questions times"
  [ "$slowest" -le 1000 ] || fail "round $round: a click took $slowest ms to be drawn"
  # Silent while the program asked: asked again, once it answers, as a
  # bus that is only slow must be.
  tell answer
  answered() { grep -q "^answered" "$work/fake.log"; }
  wait_for "round $round: the service, answering again, was not asked again" answered
  check "round $round: the service, answering again, was asked again"
  kill "$app" "$fake_pid" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  exec {to_fake}>&- {from_fake}<&-
  wait "$fake_pid" 2>/dev/null || true
done

# A service already there at the start that never answers: Qt's bridge,
# which the first widget starts, would wait 25 s for each of its two
# questions before the window showed.
start_fake_status
tell stuck
start=$(date +%s%N)
start_program env
shown=$(ms "$start")
[ "$shown" -le 10000 ] || fail "with a mute service there at the start, the window took $shown ms to show"
slowest=0 times=""
for x in 184 392; do
  sleep 1
  start=$(date +%s%N)
  click_at "$x" 492
  took=$(ms "$start")
  times+=" $took"
  [ "$took" -le "$slowest" ] || slowest=$took
done
check "a service there at the start that never answers: the window shown after $shown ms (start-up included), two clicks drawn within$times ms"
[ "$slowest" -le 1000 ] || fail "with a mute service there at the start, a click took $slowest ms to be drawn"
echo "mute: $rounds passed, 0 failed"
