#!/usr/bin/python3
"""With Qt scaling the window (QT_SCALE_FACTOR), each control is where AT-SPI
says it is: a click by the screen's pixels at the middle of what AT-SPI
reports for a button reaches that button, and a point query there names
it, as a screen reader's mouse review asks."""

import subprocess
import sys
import time

from atspi_odds import TITLE, descendants, find_application, frame
from gi.repository import Atspi, GLib

NAMES = ("Stufe 01", "Stufe 10", "Stufe 25", "Stufe 40", "Karma +4", "Karma +10", "Reset")


def fail(message):
    print(f"atspi_scale: FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)
    print(f"atspi_scale: ok: {message}")


def wait_for(what, probe, seconds=20.0):
    """Polls probe(), taking the events that come meanwhile."""
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.iteration(False):
            pass
        if probe():
            return
        time.sleep(0.02)
    fail(f"{what} within {seconds:.0f} s")


def x_window():
    """The window's client area in the screen's pixels, as X has it."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$"], capture_output=True,
                           text=True, check=False).stdout.split()
    if not found:
        fail(f"no X window titled '{TITLE}'")
    shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", found[0]], capture_output=True, text=True,
                           check=True).stdout
    values = dict(line.split("=", 1) for line in shell.split())
    return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def main():
    main_frame = frame(find_application(), TITLE)
    x, y, width, height = x_window()
    buttons = {n.get_name(): n for n in descendants(main_frame, 4)
               if n is not None and n.get_role() == Atspi.Role.PUSH_BUTTON}
    screen = Atspi.CoordType.SCREEN
    for name in NAMES:
        node = buttons.get(name)
        if node is None:
            fail(f"no button '{name}' in the tree")
        box = Atspi.Component.get_extents(node, screen)
        inside = x <= box.x and box.x + box.width <= x + width and y <= box.y and box.y + box.height <= y + height
        if not inside:
            fail(f"'{name}' reported at {box.x},{box.y} {box.width}x{box.height}, "
                 f"outside the window's {x},{y} {width}x{height}")
        middle = (box.x + box.width // 2, box.y + box.height // 2)
        board = node.get_parent()
        found = Atspi.Component.get_accessible_at_point(board, middle[0], middle[1], screen)
        if found is None or found.get_name() != name:
            fail(f"a point query at the middle of '{name}' found {found.get_name() if found else None}")
        subprocess.run(["xdotool", "mousemove", str(middle[0]), str(middle[1]), "click", "1"], check=True)
        wait_for(f"'{name}' focused by a click at the middle of its reported extent {middle}",
                 lambda node=node: node.get_state_set().contains(Atspi.StateType.FOCUSED))
        print(f"atspi_scale: ok: '{name}' at {box.x},{box.y} {box.width}x{box.height}: clicked there, it took the focus")
    check(True, f"every button clicked where AT-SPI reports it, in a window of {width}x{height} screen pixels")


if __name__ == "__main__":
    main()
