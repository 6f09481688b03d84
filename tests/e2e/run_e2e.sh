#!/usr/bin/env bash
# Drives the real program in a real X server: a window manager, xdotool
# clicks, and judgements from screenshot pixels.
#   run_e2e.sh PATH/TO/velmora
set -euo pipefail

source "$(dirname "$0")/../../scripts/harness.sh"
source "$(dirname "$0")/../../scripts/xsession.sh"
harness e2e "$1"
start_x_session

shot() { import -window "$1" "$2"; }
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
# Distinct colours in the transcript band, 136 px wide, full height.
band_colours() { convert "$1" -crop 136x539+0+0 +repage -format %k info:; }

# What is on screen after a click must be what a full repaint draws: no
# line of an earlier, longer roll may stay behind. Resizing the window makes
# Qt paint everything afresh.
band_matches_repaint() {
  local i
  for i in $(seq "$1"); do
    click_at "${karma6[@]}"; click_at "${stufe40[@]}"; click_at "${stufe1[@]}"
    shot "$window" "$work/clicked.png"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool windowsize "$window" $((WIDTH + 40)) $((HEIGHT + 40)); sleep 0.3
    xdotool windowsize "$window" "$WIDTH" "$HEIGHT"; sleep 0.4
    shot "$window" "$work/repainted.png"
    cmp -s <(convert "$work/clicked.png" -crop "130x${HEIGHT}+0+0" rgb:-) \
           <(convert "$work/repainted.png" -crop "130x${HEIGHT}+0+0" rgb:-) \
      || fail "the band after a click differs from a full repaint (round $i)"
  done
}

close_program() {
  wmctrl -c "$title" || fail "wmctrl could not close the window"
  status=0
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "the program did not end after its window was closed"
  wait "$app" || status=$?
  [ "$status" -eq 0 ] || { cat "$work/program.log" >&2; fail "exit code $status after close"; }
}

# Centres of controls, in window pixels (twips / 15).
stufe1=(184 196)
stufe10=(184 492)
stufe40=(392 492)
karma6=(168 60)
lamps_y=(28 60 92 124)
lamp_x=220

start_program env
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH" -eq 447 ] && [ "$HEIGHT" -eq 539 ] || fail "client area ${WIDTH}x${HEIGHT}, want 447x539"
check "window '$title' is 447x539"
icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
for size in 16 25 32; do
  grep -q "Icon ($size x $size)" <<<"$icons" || fail "window icon lacks ${size}px: $icons"
done
check "window icon at 16, 25 and 32 px"

shot "$window" "$work/start.png"
[ "$(band_colours "$work/start.png")" -eq 1 ] || fail "transcript band not empty at start"
click_at "${stufe10[@]}"
shot "$window" "$work/rolled.png"
[ "$(band_colours "$work/rolled.png")" -gt 1 ] || fail "no transcript drawn after Stufe 10"
check "Stufe 10 drew its transcript"

before=(); after=()
for y in "${lamps_y[@]}"; do before+=("$(pixel "$work/rolled.png" "$lamp_x" "$y")"); done
click_at "${karma6[@]}"
shot "$window" "$work/karma.png"
for y in "${lamps_y[@]}"; do after+=("$(pixel "$work/karma.png" "$lamp_x" "$y")"); done
for i in 0 1 2 3; do
  if [ "$i" -eq 1 ]; then
    [ "${before[$i]}" != "${after[$i]}" ] || fail "lamp 2 did not change colour"
  else
    [ "${before[$i]}" = "${after[$i]}" ] || fail "lamp $((i + 1)) changed colour"
  fi
done
cmp -s <(convert "$work/rolled.png" -crop 136x539+0+0 rgb:-) \
       <(convert "$work/karma.png" -crop 136x539+0+0 rgb:-) || fail "a karma click changed the transcript"
check "Karma +6 lit only the second lamp and left the transcript alone"

band_matches_repaint 3
check "after a long roll and a short one, the band shows the short one only"

close_program
check "closing the window ended the program with code 0"

# Qt paints below a ratio of 1 in device pixels as they are; the band must
# still be exactly the latest roll.
start_program env QT_SCALE_FACTOR=0.75
band_matches_repaint 3
check "the same at a scale factor of 0.75"
close_program

# With a clock that never moves, rolls must still differ from one another.
if command -v faketime >/dev/null 2>&1; then
  # faketime preloads itself; a sanitizer build must let it go first.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
  start_program env FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "@2026-01-01 12:00:00 x0"
  declare -A seen=()
  for i in 1 2 3 4 5 6; do
    click_at "${stufe10[@]}"
    shot "$window" "$work/frozen$i.png"
    seen[$(convert "$work/frozen$i.png" -crop 136x539+0+0 rgb:- | md5sum | cut -d' ' -f1)]=1
  done
  [ "${#seen[@]}" -ge 3 ] || fail "frozen clock: only ${#seen[@]} distinct transcripts in 6 rolls"
  check "frozen clock: ${#seen[@]} distinct transcripts in 6 rolls"
  close_program
fi
echo "e2e: 1 passed, 0 failed"
