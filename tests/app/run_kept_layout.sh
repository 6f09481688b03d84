#!/usr/bin/env bash
# Every way of leaving the window, on every screen, found again on every
# other, in the desktop's font and in 16 pt: the program's database carries
# the layout from one run to the next.
#   run_kept_layout.sh PATH/TO/velmora_widget_tests
set -uo pipefail
tests=$1
here=$(cd "$(dirname "$0")" && pwd)
screens=(800x600 1366x768 1920x1080)
failed=0
for points in 0 16; do
export VELMORA_STYLE_POINTS=$points
for how in small large maximized floating; do
  for from in "${screens[@]}"; do
    for to in "${screens[@]}"; do
      rm -rf "$HOME/.qttest"
      QT_QPA_PLATFORM=offscreen:configfile=$here/offscreen-$from.json VELMORA_LEAVE_LAYOUT=$how \
        "$tests" --gtest_brief=1 --gtest_filter=KeptLayout.LeftAsAsked >"$HOME/leave.log" 2>&1 \
        || { cat "$HOME/leave.log"; echo "FAIL: leaving it $how on $from ($points pt)"; failed=1; continue; }
      if QT_QPA_PLATFORM=offscreen:configfile=$here/offscreen-$to.json VELMORA_FIND_LAYOUT=$how \
        "$tests" --gtest_brief=1 --gtest_filter=KeptLayout.FoundFittedToThisScreen >"$HOME/find.log" 2>&1; then
        echo "ok: left $how on $from, found fitted on $to ($points pt)"
      else
        cat "$HOME/find.log"
        echo "FAIL: left $how on $from, found on $to ($points pt)"
        failed=1
      fi
    done
  done
done
done
exit $failed
