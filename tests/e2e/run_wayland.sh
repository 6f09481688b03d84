#!/usr/bin/env bash
# The real program under a real Wayland compositor, Debian's weston, with
# Qt's Wayland platform. On weston's headless backend, the protocol that the
# program speaks shows its title, its size and a committed frame; on weston
# nested in Xvfb, a click on the window's close button ends it with code 0.
# Exits 77 (skipped) where weston cannot start.
#   run_wayland.sh PATH/TO/velmora
set -euo pipefail
source "$(dirname "$0")/../../scripts/harness.sh"
source "$(dirname "$0")/../../scripts/xsession.sh"
harness wayland "$1"
cleanup() {
  local i
  # Newest first, each to its end, so that no compositor outlives its X server.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

command -v weston >/dev/null || skip "no weston (Debian package weston)"
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 \
  || fail "no Qt Wayland platform (Debian package qt6-wayland)"
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=wayland

# The first weston command that brings up its socket.
start_weston() {
  local socket=$1
  shift
  weston --socket="$socket" --idle-time=0 --log="$work/$socket.log" "$@" &
  pids+=($!)
  for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$socket" ] && return 0
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/$socket.log" >&2 || true
  return 1
}

# libwayland writes objects as interface@id up to 1.22 and interface#id
# from 1.23 on.
id='[@#][0-9]+'
# The id of the program's toplevel wl_surface, once it has one.
toplevel_surface() {
  grep -aoE "get_xdg_surface\(new id xdg_surface$id, wl_surface$id" "$1" | head -1 | grep -oE '[0-9]+$'
}
# True once the program has acked a configure and then committed a buffer to
# its toplevel surface: the compositor shows the window from then on.
mapped() {
  local surface
  surface=$(toplevel_surface "$1") || return 1
  awk -v s="wl_surface[@#]$surface\\\\." '
    /-> xdg_surface[@#][0-9]+\.ack_configure\(/ { acked = 1 }
    acked && $0 ~ ("-> " s "attach\\(wl_buffer") { attached = 1 }
    attached && $0 ~ ("-> " s "commit\\(\\)") { found = 1; exit }
    END { exit !found }' "$1"
}
# Waits up to 30 s for a condition on the program; fails if it ends first.
#   await WHAT COMMAND…
await() {
  local what=$1 deadline=$((SECONDS + 30))
  shift
  until "$@"; do
    kill -0 "$app" 2>/dev/null || { cat "$work/program.log" >&2; fail "the program ended before $what"; }
    [ "$SECONDS" -lt "$deadline" ] || { tail -20 "$work/program.log" >&2; fail "$what did not happen within 30 s"; }
    sleep 0.05
  done
}
# Starts the program on a compositor, its side of the protocol logged.
start_wayland_program() {
  env WAYLAND_DISPLAY="$1" WAYLAND_DEBUG=client "${@:2}" "$program" >"$work/program.log" 2>&1 &
  app=$!
  pids+=($app)
  await "its window was mapped" mapped "$work/program.log"
}

# Headless: what the window tells the compositor. Without Qt's drawn frame
# the window's geometry is the client area itself.
start_weston headless --backend=headless-backend.so || skip "weston's headless backend did not start"
start_wayland_program headless QT_WAYLAND_DISABLE_WINDOWDECORATION=1
kill "$app"
wait "$app" || true
grep -qE "xdg_toplevel$id\.set_title\(\"$title\"\)" "$work/program.log" \
  || fail "no xdg_toplevel.set_title(\"$title\")"
check "the window is titled '$title'"
# The board's 447x539 beneath a menu bar.
geometry=$(grep -oE "xdg_surface$id\.set_window_geometry\(0, 0, 447, [0-9]+\)" "$work/program.log" | head -1)
height=$(sed -E 's/.*, ([0-9]+)\)$/\1/' <<<"$geometry")
[ -n "$height" ] && [ "$height" -ge $((539 + 15)) ] && [ "$height" -le $((539 + 40)) ] \
  || fail "window geometry: $(grep -o 'set_window_geometry([^)]*)' "$work/program.log" | head -1)"
check "its client area is 447x539 beneath a menu bar ($geometry)"
check "a frame was attached and committed after a configure was acked"

# Nested in Xvfb, with Qt's own window frame: the output is exactly the
# window's size, so the window lies at its origin and its close button at a
# known place in both.
start_xvfb 640x640x24
pids+=("$xvfb_pid")
printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
start_weston nested --config="$work/weston.ini" --backend=x11-backend.so --width=453 --height=572 \
  || skip "weston's X11 backend did not start"
# A leak report must name the frames that lead into Mesa: its code has no
# frame pointers, which the fast unwinder needs, and its driver is unloaded
# before the leak check.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0" start_wayland_program nested
close=(436 14) # the close button of Qt's frame, top right, in the output
seen=$(wc -l <"$work/program.log")
# The click goes where the compositor's pointer is, which follows the X
# pointer only as weston reads its events: it must have reached the button.
pointer_at_close() {
  tail -n +"$((seen + 1))" "$work/program.log" \
    | grep -aqE "wl_pointer$id\.(enter\([0-9]+, wl_surface$id, |motion\([0-9]+, )${close[0]}\.0+, ${close[1]}\.0+\)"
}
# Weston's output window on the X screen, wherever the server put it.
output=$(xdotool search --class "^Weston Compositor$" | head -1) || true
[ -n "$output" ] || fail "weston's window is not on the X screen"
eval "$(xdotool getwindowgeometry --shell "$output")"
read -r screen_width screen_height < <(xdotool getdisplaygeometry)
outside=($((screen_width - 1)) $((screen_height - 1)))
[ "${outside[0]}" -ge $((X + WIDTH)) ] || [ "${outside[1]}" -ge $((Y + HEIGHT)) ] \
  || fail "weston's window covers the whole X screen, leaving no place outside it"
# A fresh server may start with its pointer inside weston's window, where
# weston 10 has seen no enter and keeps its own pointer at 0,0 whatever the X
# pointer does. Out of the window first, then onto the button, weston sees
# the pointer enter there; each try waits for the compositor's word.
pointer_placed() {
  local _
  xdotool mousemove "${outside[@]}"
  xdotool mousemove $((X + close[0])) $((Y + close[1]))
  for _ in $(seq 100); do
    pointer_at_close && return 0
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
for try in 1 2 3 4 5 6; do
  pointer_placed && break
  kill -0 "$app" 2>/dev/null || { cat "$work/program.log" >&2; fail "the program ended before the pointer reached the close button"; }
  [ "$try" -lt 6 ] || fail "the pointer reached the close button in none of 6 tries; weston's pointer last: $(grep -aoE "wl_pointer$id\.(enter|motion|leave)\(.*" "$work/program.log" | tail -3 | tr '\n' ' ')"
done
[ "$try" -eq 1 ] || check "the pointer reached the close button at try $try"
xdotool click 1
status=0
ended() { ! kill -0 "$app" 2>/dev/null; }
for _ in $(seq 300); do ended && break; sleep 0.1; done
ended || fail "the window did not close; the pointer last: $(grep -aoE "wl_pointer$id\.(enter|motion|button)\(.*" "$work/program.log" | tail -3 | tr '\n' ' ')"
wait "$app" || status=$?
[ "$status" -eq 0 ] || { grep -av '^\[' "$work/program.log" >&2; fail "exit code $status after close"; }
check "closing the window ended the program with code 0"
# Qt 6.4's Wayland client can hang while it tears down; Velmora then ends
# itself, and says so.
if grep -aq "hängen geblieben" "$work/program.log"; then
  check "Qt's teardown hung, and Velmora ended without it: $(grep -a 'hängen geblieben' "$work/program.log")"
fi
echo "wayland: 1 passed, 0 failed"
