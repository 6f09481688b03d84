#!/usr/bin/env bash
# An accessibility status service that stops answering and then floods the
# session bus with "IsEnabled changed to true", 10,000 times: the window goes
# on answering clicks at once, asks the service little, and keeps its memory.
#   run_stuck.sh PATH/TO/velmora
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/harness.sh"
source "$here/../../scripts/xsession.sh"
source "$here/fake_status.sh"
on_private_bus "$@"
harness stuck "$1"

NO_WM=1 start_x_session
start_fake_status

start_program env
# The watch reads the status once after the first frame.
asked() { grep -q "answered GetAll" "$work/fake.log"; }
wait_for "the program did not ask for the accessibility status" asked
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$app/status"; }
ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
click_at 184 492 # "Stufe 10"
start=$(date +%s%N)
click_at 392 492 # "Stufe 40", as a click takes with a quiet bus
quiet=$(ms "$start")
before=$(rss)

tell stuck
tell flood 10000
start=$(date +%s%N)
# Fails after 30 s; a watch that waits for the service's answers takes 25 s
# for each.
click_at 184 196 # "Stufe 01"
took=$(ms "$start")
after=$(rss)
questions=$(grep -c "^held" "$work/fake.log" || true)
check "after the flood a click was drawn within $took ms (with a quiet bus $quiet ms); the program asked the silent service $questions times"
[ "$questions" -le 5 ] || fail "the program asked the silent service $questions times"
check "memory: $before KiB before the flood, $after KiB after"
# AddressSanitizer holds what is freed in quarantine, so there the resident
# size says nothing about what the program keeps.
if ldd "$program" | grep -q libasan; then
  check "memory not judged under AddressSanitizer"
else
  [ $((after - before)) -le 4096 ] || fail "the flood cost $((after - before)) KiB"
fi
echo "stuck: 1 passed, 0 failed"
