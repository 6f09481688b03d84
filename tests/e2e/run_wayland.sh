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

# Headless: what the window tells the compositor. Without Qt's drawn frame
# the window's geometry is the client area itself.
start_weston headless --backend=headless-backend.so || skip "weston's headless backend did not start"
WAYLAND_DISPLAY=headless WAYLAND_DEBUG=client QT_WAYLAND_DISABLE_WINDOWDECORATION=1 \
  timeout 5 "$program" >"$work/protocol.log" 2>&1 || true
grep -q "xdg_toplevel@[0-9]*\.set_title(\"$title\")" "$work/protocol.log" \
  || fail "no xdg_toplevel.set_title(\"$title\")"
check "the window is titled '$title'"
grep -q "xdg_surface@[0-9]*\.set_window_geometry(0, 0, 447, 539)" "$work/protocol.log" \
  || fail "window geometry: $(grep -o 'set_window_geometry([^)]*)' "$work/protocol.log" | head -1)"
check "its client area is 447x539"
grep -A3 "wl_surface@[0-9]*\.attach(wl_buffer" "$work/protocol.log" | grep -q "wl_surface@[0-9]*\.commit()" \
  || fail "no frame was attached and committed"
check "a frame was attached and committed"

# Nested in Xvfb, with Qt's own window frame: the output is exactly the
# window's size, so its close button is at a known place.
start_xvfb 640x640x24
pids+=("$xvfb_pid")
printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
start_weston nested --config="$work/weston.ini" --backend=x11-backend.so --width=453 --height=572 \
  || skip "weston's X11 backend did not start"
WAYLAND_DISPLAY=nested "$program" >"$work/program.log" 2>&1 &
app=$!
pids+=($app)
sleep 2
kill -0 "$app" 2>/dev/null || { cat "$work/program.log" >&2; fail "the program ended by itself"; }
xdotool mousemove 436 14 click 1 # the close button of Qt's frame, top right
status=0
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the window did not close"
wait "$app" || status=$?
[ "$status" -eq 0 ] || { cat "$work/program.log" >&2; fail "exit code $status after close"; }
check "closing the window ended the program with code 0"
echo "wayland: 1 passed, 0 failed"
