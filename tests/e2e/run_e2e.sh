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
# Distinct colours in the transcript band, 136 px wide, full height.
band_colours() { convert "$1" -crop "136x539+0+$top" +repage -format %k info:; }
# Whether two shots show the same band, the first WIDTHxHEIGHT pixels.
#   same_band A.png B.png WIDTH HEIGHT
same_band() { compare -metric AE "$1[$3x$4+0+$top]" "$2[$3x$4+0+$top]" null: 2>/dev/null; }

# What is on screen after a click must be what a full repaint draws: no
# line of an earlier, longer roll may stay behind. Growing the window makes
# Qt paint everything afresh; the lines hang from the top, so the band's
# first HEIGHT rows are the same at either size.
#   band_matches_repaint ROUNDS [CLICK-FUNCTION]
band_matches_repaint() {
  local i click=${2:-click_at}
  for i in $(seq "$1"); do
    $click "${karma6[@]}" karma; $click "${stufe40[@]}"; $click "${stufe1[@]}"
    shot "$window" "$work/clicked.png"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    grow_and_repaint $((WIDTH + 40)) $((HEIGHT + 40)) "$work/repainted.png"
    same_band "$work/clicked.png" "$work/repainted.png" 130 "$((HEIGHT - top))" \
      || fail "the band after a click differs from a full repaint (round $i)"
    xdotool windowsize --sync "$window" "$WIDTH" "$HEIGHT"
  done
}

# Resizes the window to WIDTH HEIGHT, wider than it is, and takes a shot
# once Qt has painted the new size: the server leaves the new strip on the
# right as it was, Qt fills it with the window's face colour, that of the
# window's bottom right corner before.
#   grow_and_repaint WIDTH HEIGHT SHOT.png
grow_and_repaint() {
  local face
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # As numbers: ImageMagick names a colour gray(N) or srgb(N,N,N) by the
  # image it is in.
  rgb() { echo "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]"; }
  face=$(import -window "$window" -format "$(rgb $((WIDTH - 1)) $((HEIGHT - 1)))" info:)
  xdotool windowsize --sync "$window" "$1" "$2"
  # The strip right of the old width, as wide and as high as it must be;
  # beneath the menu bar; with STRIP_ROWS set, its bottom rows only (see the
  # scale of 0.75 below).
  local rows=${STRIP_ROWS:-$(($2 - top))}
  painted() {
    shot "$window" "$3"
    [ "$(convert "$3" -crop "$(($1 - WIDTH))x$rows+$WIDTH+$(($2 - rows))" +repage \
      -format "%wx%h %k $(rgb 0 0)" info:)" = "$(($1 - WIDTH))x$rows 1 $face" ]
  }
  wait_for "the window was not painted at $1x$2" painted "$@"
}

# Below a ratio of 1, Qt 6.4 on X11 leaves the buttons undrawn, so a click
# cannot be followed by its button's look; a step's roll still shows in the
# band, and each roll here differs from the one before, a long one from a
# short one. Karma needs no wait: the server hands the program its clicks in
# order, so it has taken the karma before the next step's click.
#   click_seen_in_band X Y [karma]
click_seen_in_band() {
  local before
  eval "$(xdotool getwindowgeometry --shell "$window")"
  band_sum() { import -window "$window" -crop "136x${HEIGHT}+0+0" rgb:- | md5sum; }
  before=$(band_sum)
  xdotool mousemove --window "$window" $(($1 * WIDTH / 447)) $(($(board_top) + $2 * WIDTH / 447)) click 1
  [ "${3:-}" != karma ] || return 0
  band_changed() { [ "$(band_sum)" != "$before" ]; }
  wait_for "the roll at $1,$2 did not show in the band" band_changed
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
# The board's size, with a menu bar above it.
top=$(board_top)
[ "$WIDTH" -eq 447 ] && [ "$top" -ge 15 ] && [ "$top" -le 40 ] \
  || fail "client area ${WIDTH}x${HEIGHT}, want 447x539 beneath a menu bar"
check "window '$title' is 447x539 beneath a menu bar of $top px"
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

# The lamps' colours in a shot, one a line.
lamps() {
  local rows=() y
  for y in "${lamps_y[@]}"; do rows+=($((y + top))); done
  convert "$1" -format "$(printf "%%[pixel:p{$lamp_x,%d}]\\n" "${rows[@]}")" info:
}
mapfile -t before < <(lamps "$work/rolled.png")
click_at "${karma6[@]}"
shot "$window" "$work/karma.png"
mapfile -t after < <(lamps "$work/karma.png")
for i in 0 1 2 3; do
  if [ "$i" -eq 1 ]; then
    [ "${before[$i]}" != "${after[$i]}" ] || fail "lamp 2 did not change colour"
  else
    [ "${before[$i]}" = "${after[$i]}" ] || fail "lamp $((i + 1)) changed colour"
  fi
done
same_band "$work/rolled.png" "$work/karma.png" 136 539 || fail "a karma click changed the transcript"
check "Karma +6 lit only the second lamp and left the transcript alone"

band_matches_repaint 3
check "after a long roll and a short one, the band shows the short one only"

# Ctrl+C puts the latest roll on the clipboard, as a chat takes it: the step
# and karma first, then the band's lines without the empty ones.
# Keys go to the focused window, as a user's do: with --window, xdotool sends
# a key's release elsewhere once the focus has moved (the log takes it on
# Ctrl+H), and the server keeps Ctrl and H held down, repeating them into
# every later window.
activate "$window"
xdotool key ctrl+c
copied() { xclip -o -selection clipboard 2>/dev/null | head -1 | grep -qx "Stufe 01, Karma +6"; }
wait_for "Ctrl+C put no roll on the clipboard: '$(xclip -o -selection clipboard 2>/dev/null | head -3)'" copied
clip=$(xclip -o -selection clipboard)
grep -qE '^Ein D4 wird gewürfelt: [0-9]+$' <<<"$clip" || fail "the copy lacks the die line: $clip"
grep -qE '^(Die Summe lautet: [0-9]+ \([0-9]+-2\)|Patzer!)$' <<<"$(tail -1 <<<"$clip")" || fail "the copy does not end with the result: $clip"
grep -q '^$' <<<"$clip" && fail "the copy holds an empty line: $clip"
check "Ctrl+C copied the roll: $(tr '\n' '|' <<<"$clip")"

# The log docks beside the board: the window widens, the board stays.
xdotool key ctrl+h
widened() { eval "$(xdotool getwindowgeometry --shell "$window")"; [ "$WIDTH" -gt 447 ]; }
wait_for "Ctrl+H did not widen the window for the log" widened
check "Ctrl+H docked the roll log beside the board (${WIDTH}x${HEIGHT})"
# Ctrl+H in the log closes it, and the window gives its width back: the
# layout kept for the next start is the bare board's.
xdotool key ctrl+h
narrowed() { eval "$(xdotool getwindowgeometry --shell "$window")"; [ "$WIDTH" -eq 447 ]; }
wait_for "closing the log left the window ${WIDTH} px wide" narrowed
check "Ctrl+H again closed the log, and the window is the board's width again"

close_program
check "closing the window ended the program with code 0"

# Qt paints below a ratio of 1 in device pixels as they are; the band must
# still be exactly the latest roll.
# Qt 6.4 there can leave the top right of a grown window unpainted for
# good (seen twice, the same 34x320 pixels each time); the strip's bottom
# rows still show that it painted the new size.
start_program env QT_SCALE_FACTOR=0.75
STRIP_ROWS=40 band_matches_repaint 3 click_seen_in_band
check "the same at a scale factor of 0.75"
close_program

# With a clock that never moves, rolls must still differ from one another.
if command -v faketime >/dev/null 2>&1; then
  # faketime preloads itself; a sanitizer build must let it go first.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
  # A date without "@" stops the clock. A rate of x0 would stop it too, but
  # faketime divides every poll's timeout by the rate: the program's timers
  # would wait for ever, and its clicks now and then with them.
  start_program env FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "2026-01-01 12:00:00"
  declare -A seen=()
  for i in 1 2 3 4 5 6; do
    click_at "${stufe10[@]}"
    seen[$(import -window "$window" -crop "136x539+0+$top" rgb:- | md5sum | cut -d' ' -f1)]=1
  done
  [ "${#seen[@]}" -ge 3 ] || fail "frozen clock: only ${#seen[@]} distinct transcripts in 6 rolls"
  check "frozen clock: ${#seen[@]} distinct transcripts in 6 rolls"
  close_program
fi
echo "e2e: 1 passed, 0 failed"
