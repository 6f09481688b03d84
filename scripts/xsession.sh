# Sourced: starts Xvfb on a free display, with openbox unless NO_WM is set,
# and stops both on exit. Sets DISPLAY; needs harness.sh's `harness` first.

# Runs the calling script again, once, on a private D-Bus session bus.
on_private_bus() {
  if [ -z "${VELMORA_PRIVATE_BUS:-}" ]; then
    VELMORA_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
  fi
}
# Xvfb on a free display, of the given size; sets DISPLAY and xvfb_pid.
start_xvfb() {
  local display="" n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || fail "no free X display"
  export DISPLAY=$display
  # Without -noreset the server resets whenever its last client leaves, and
  # refuses whoever connects meanwhile: after the probe below, that was the
  # window manager, now and then, on a loaded machine.
  Xvfb "$display" -screen 0 "$1" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"
}

start_x_session() {
  x_pids=()
  trap stop_x_session EXIT
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
  start_xvfb 1280x1024x24
  x_pids+=("$xvfb_pid")
  if [ -z "${NO_WM:-}" ]; then
    openbox >"$work/wm.log" 2>&1 &
    x_pids+=($!)
    # A window mapped while the manager is still starting may never be shown.
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      sleep 0.1
    done
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || fail "openbox did not start"
  fi
}

stop_x_session() {
  local pid
  for pid in "${pids[@]}" "${x_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Some are not our children (Orca runs under script), so `wait` alone
  # would not see them end.
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  wait 2>/dev/null || true
  rm -rf "$work"
}

# Starts the program (after the given wrapper command) and waits for its window.
start_program() {
  "$@" "$program" >"$work/program.log" 2>&1 &
  app=$!
  pids+=($app)
  window=""
  # Up to 30 s: a loaded machine, or a first contact with the accessibility
  # bus, can hold the first window back for seconds.
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    cat "$work/program.log" >&2
    for w in $(xdotool search --name "^${title}\$" 2>/dev/null); do
      xwininfo -id "$w" | grep -E 'Map State|geometry' >&2
      xprop -id "$w" WM_STATE _NET_WM_STATE _NET_WM_DESKTOP >&2
    done
    xprop -root _NET_CURRENT_DESKTOP _NET_CLIENT_LIST >&2
    ps -o pid,stat,cmd -C openbox >&2
    fail "no window titled '$title'"
  fi
  sleep 0.5
}

# Clicks at a point given in the design's pixels, whatever the scale factor.
click_at() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --window "$window" $(($1 * WIDTH / 447)) $(($2 * HEIGHT / 539)) click 1
  sleep 0.4
}
