# Sourced: starts Xvfb on a display of its own choosing, with openbox unless
# NO_WM is set, and stops both on exit. Sets DISPLAY; needs harness.sh's
# `harness` first.

# Runs the calling script again, once, on a private D-Bus session bus.
on_private_bus() {
  if [ -z "${VELMORA_PRIVATE_BUS:-}" ]; then
    VELMORA_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
  fi
}

# Waits up to 30 s for a command to succeed; says why on failure.
#   wait_for WHAT COMMAND…
wait_for() {
  local what=$1 deadline=$((SECONDS + 30))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$what within 30 s"
    sleep 0.05
  done
}

# Gives a window the keyboard, as a click on it would, and waits until it
# has it. xdotool's own --sync waits for ever where a busy window manager
# passed over the request; this asks again every second, for 30 s.
#   activate WINDOW
activate() {
  local target=$1 polls=0
  has_keyboard() {
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$target" ] && return 0
    if [ $((polls++ % 20)) -eq 0 ]; then
      xdotool windowactivate "$target" >/dev/null 2>&1 || xdotool windowfocus "$target" >/dev/null 2>&1 || true
    fi
    return 1
  }
  wait_for "window $target did not take the keyboard" has_keyboard
}

# Xvfb of the given size; sets DISPLAY and xvfb_pid.
start_xvfb() {
  local number=""
  # Xvfb takes the first free display itself and writes its number to the
  # fd once it accepts connections: a display found free beforehand may be
  # taken by another server before this one claims it.
  mkfifo "$work/xvfb.displayfd"
  # Without -noreset the server resets whenever its last client leaves, and
  # refuses whoever connects meanwhile.
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$work/xvfb.displayfd" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  # The fifo's end: a number, or nothing if Xvfb gave up.
  read -r -t 60 number <"$work/xvfb.displayfd" || true
  rm -f "$work/xvfb.displayfd"
  [ -n "$number" ] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
  export DISPLAY=:$number
}

start_x_session() {
  x_pids=()
  trap stop_x_session EXIT
  start_display
}

# Xvfb and its window manager, again after the last display went away.
start_display() {
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
  rm -f "$work/wm.ready"
  start_xvfb 1280x1024x24
  x_pids+=("$xvfb_pid")
  if [ -z "${NO_WM:-}" ]; then
    # A window mapped while the manager is still starting may never be
    # shown: openbox claims the screen well before it has taken charge of
    # it, and runs its --startup command only then.
    openbox --startup "touch '$work/wm.ready'" >"$work/wm.log" 2>&1 &
    x_pids+=($!)
    wm_ready() { [ -e "$work/wm.ready" ]; }
    wait_for "openbox did not start" wm_ready
  fi
}

stop_x_session() {
  local pid
  # The programs first, and the display only once they have ended, as a
  # session ends: a Qt program whose display goes away is ended by Qt with
  # exit(), while its database thread may still be at work.
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Some are not our children (Orca runs under script), so `wait` alone
  # would not see them end.
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    # One that does not end would keep the `wait` below, and the test,
    # waiting for ever: it is told and killed.
    if kill -0 "$pid" 2>/dev/null; then
      echo "teardown: $(ps -o comm= -p "$pid" 2>/dev/null) ($pid) did not end within 5 s of SIGTERM; killed" >&2
      kill -9 "$pid" 2>/dev/null || true
    fi
  done
  for pid in "${x_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ -n "${failed:-}" ]; then
    echo "$tag: its files are kept in $work" >&2
  else
    rm -rf "$work"
  fi
}

# The pointer goes to the screen's far corner, off any window, so that no
# button is under it until click_at moves there.
park_pointer() {
  local width height
  read -r width height < <(xdotool getdisplaygeometry)
  # xdotool leaves only once the server has moved the pointer.
  xdotool mousemove $((width - 1)) $((height - 1))
  pointer_at=""
}

# Where a program that is still running is held up, on stderr.
print_program_threads() {
  # A wrapper such as faketime runs the program as its child.
  local pid
  pid=$(pgrep -P "$app" | head -1) || true
  if kill -0 "${pid:=$app}" 2>/dev/null && command -v gdb >/dev/null; then
    gdb -p "$pid" -batch -ex "thread apply all bt 12" 2>/dev/null | grep -E '^(Thread|#)' >&2
  fi
}

# Starts the program (after the given wrapper command) and waits until its
# window is mapped, viewable and drawn.
start_program() {
  park_pointer
  "$@" "$program" >"$work/program.log" 2>&1 &
  app=$!
  pids+=($app)
  window=""
  # Up to 60 s: a loaded machine, or a first contact with the accessibility
  # bus, can hold the first window back for seconds.
  local deadline=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$deadline" ]; do
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    # Each clue that can be had, whichever of them fails.
    {
      cat "$work/program.log"
      for w in $(xdotool search --name "^${title}\$" 2>/dev/null); do
        xwininfo -id "$w" | grep -E 'Map State|geometry'
        xprop -id "$w" WM_STATE _NET_WM_STATE _NET_WM_DESKTOP
      done
      xprop -root _NET_CURRENT_DESKTOP _NET_CLIENT_LIST
      ps -o pid,stat,cmd -C openbox
      print_program_threads
    } >&2 || true
    fail "no window titled '$title'"
  fi
  # Qt leaves a new window's background to the server, so until Qt's first
  # frame it shows the flat colour beneath it; the drawn controls bring
  # dozens of shades.
  drawn() { [ "$(x_look colours)" -gt 16 ]; }
  wait_for "the window was not drawn" drawn
}

# Closes the window as its close box would, and waits for the program to
# end with code 0.
close_program() {
  wmctrl -c "$title" || fail "wmctrl could not close the window"
  status=0
  ended() { ! kill -0 "$app" 2>/dev/null; }
  # Under the sanitizers, the leak check at exit takes seconds.
  wait_for "the program did not end after its window was closed" ended
  wait "$app" || status=$?
  [ "$status" -eq 0 ] || { cat "$work/program.log" >&2; fail "exit code $status after close"; }
}

# Looks at the window through Xlib, straight from the server, many times a
# second where ImageMagick takes a fraction of a second a look.
#   x_look colours                the number of distinct colours in the window
#   x_look click X Y W H MOVE     clicks at X,Y in the window, judging by the
#                                 W x H patch around it (see click_at)
x_look() {
  python3 - "$window" "$@" <<'PY'
import ctypes, sys, time
from ctypes import c_int, c_uint, c_ulong, c_void_p, POINTER, byref

class XImage(ctypes.Structure):
    _fields_ = [("width", c_int), ("height", c_int), ("xoffset", c_int), ("format", c_int),
                ("data", c_void_p), ("byte_order", c_int), ("bitmap_unit", c_int),
                ("bitmap_bit_order", c_int), ("bitmap_pad", c_int), ("depth", c_int),
                ("bytes_per_line", c_int), ("bits_per_pixel", c_int)]

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XGetImage.restype = POINTER(XImage)
x11.XGetImage.argtypes = [c_void_p, c_ulong, c_int, c_int, c_uint, c_uint, c_ulong, c_int]
x11.XDestroyImage.argtypes = [POINTER(XImage)]
x11.XDefaultRootWindow.restype = c_ulong
x11.XDefaultRootWindow.argtypes = [c_void_p]
x11.XTranslateCoordinates.argtypes = [c_void_p, c_ulong, c_ulong, c_int, c_int,
                                      POINTER(c_int), POINTER(c_int), POINTER(c_ulong)]
x11.XSync.argtypes = [c_void_p, c_int]
x11.XGetGeometry.argtypes = [c_void_p, c_ulong, POINTER(c_ulong), POINTER(c_int), POINTER(c_int),
                             POINTER(c_uint), POINTER(c_uint), POINTER(c_uint), POINTER(c_uint)]
xtst.XTestFakeMotionEvent.argtypes = [c_void_p, c_int, c_int, c_int, c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [c_void_p, c_uint, c_int, c_ulong]
# A window that goes away mid-look is an X error, not the end of this process.
ERROR_HANDLER = ctypes.CFUNCTYPE(c_int, c_void_p, c_void_p)(lambda display, event: 0)
x11.XSetErrorHandler(ERROR_HANDLER)

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("x_look: cannot open the display")
window = int(sys.argv[1])
ALL_PLANES, Z_PIXMAP = 0xFFFFFFFF, 2

def look(x, y, w, h):
    image = x11.XGetImage(display, window, x, y, w, h, ALL_PLANES, Z_PIXMAP)
    if not image:
        return None
    try:
        i = image.contents
        return ctypes.string_at(i.data, i.bytes_per_line * i.height), i.bits_per_pixel
    finally:
        x11.XDestroyImage(image)

def changes(x, y, w, h, before, what, seconds=30.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        now = look(x, y, w, h)
        if now is not None and now != before:
            return now
        time.sleep(0.01)
    sys.exit(f"the button at {x + w // 2},{y + h // 2} {what} within {seconds:.0f} s")

if sys.argv[2] == "colours":
    width, height = c_uint(), c_uint()
    geometry = [c_ulong(), c_int(), c_int(), width, height, c_uint(), c_uint()]
    x11.XGetGeometry(display, window, *[byref(v) for v in geometry])
    shot = look(0, 0, width.value, height.value)
    if shot is None or shot[1] != 32:
        print(0)
    else:
        print(len(set(memoryview(shot[0]).cast("I"))))
elif sys.argv[2] == "click":
    cx, cy, w, h, move = (int(v) for v in sys.argv[3:8])
    x, y = cx - w // 2, cy - h // 2
    rx, ry, child = c_int(), c_int(), c_ulong()
    x11.XTranslateCoordinates(display, window, x11.XDefaultRootWindow(display), cx, cy,
                              byref(rx), byref(ry), byref(child))
    def fake(event, what):
        before = look(x, y, w, h)
        event()
        x11.XSync(display, 0)
        changes(x, y, w, h, before, what)
    if move:
        fake(lambda: xtst.XTestFakeMotionEvent(display, -1, rx.value, ry.value, 0),
             "did not light up under the pointer")
    fake(lambda: xtst.XTestFakeButtonEvent(display, 1, 1, 0), "was not drawn pressed")
    fake(lambda: xtst.XTestFakeButtonEvent(display, 1, 0, 0), "was not drawn released")
PY
}

# Clicks the button at a point given in the design's pixels, whatever the
# scale factor, and returns once the program has handled the click: a
# button's look changes as the pointer comes over it, as it is pressed and
# as it is released, and what the click changes is drawn with the release.
# One point per button: the pointer over a button means over that point.
# Where the board begins in the window: beneath the menu bar, all that the
# window holds above the board's 447x539 at the window's scale.
board_top() { echo $((HEIGHT - 539 * WIDTH / 447)); }

click_at() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  local x=$(($1 * WIDTH / 447)) y=$(($(board_top) + $2 * WIDTH / 447)) move=1
  [ "$pointer_at" != "$window:$x,$y" ] || move=0
  x_look click "$x" "$y" $((17 * WIDTH / 447)) $((7 * WIDTH / 447)) "$move" \
    || {
      # Whether the pointer is where the window is, and what holds the
      # program; each clue that can be had.
      {
        xdotool getmouselocation
        xwininfo -id "$window" | grep -E 'Absolute|Width|Height|Map State'
        print_program_threads
      } >&2 || true
      fail "click at $1,$2"
    }
  pointer_at="$window:$x,$y"
}
