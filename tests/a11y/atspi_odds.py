#!/usr/bin/python3
"""Checks the odds as a screen reader meets them, through AT-SPI: a step
button's description once it has the focus, its context menu from the
keyboard (Shift+F10 and the Menu key), and the odds window's tables read as
tables with their headers. Prints one line per check; exits 1 on the first
failure."""

import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# Debian 12's AT-SPI offers no replacement yet for the action names it deprecates.
warnings.filterwarnings("ignore", category=DeprecationWarning)

TITLE = "Velmora - Stand-Alone-Version"
ODDS_TITLE = "Velmora - Chancen"
HEADERS = ["Mindestwurf", "ohne Karma", "Karma +4", "Karma +6", "Karma +8", "Karma +10"]
# Step 14, d20 and d4, worked out with exact fractions: 65 rows, from N = 1
# to the first N where every chance is below 0.1 %; at N = 10 without karma
# 70.9375 %.
STEP14_ROWS = 65
STEP14_CELL = (9, 1, "70,9 %")


def fail(message):
    print(f"atspi_odds: FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)
    print(f"atspi_odds: ok: {message}")


def wait_for(what, probe, seconds=20.0):
    """Polls probe() until it returns something true, taking the events that
    come meanwhile; fails after seconds."""
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.iteration(False):
            pass
        found = probe()
        if found:
            return found
        time.sleep(0.02)
    fail(f"{what} within {seconds:.0f} s")


class Menus:
    """Context menus as a screen reader learns of them: each popup that
    shows, and each menu item that takes the focus. A popup is no child of
    the application in the tree, so events are all there is."""

    def __init__(self):
        self.popups = 0
        self.focused = []
        self.notifications = []
        self._listener = Atspi.EventListener.new(self._on_event)
        self._listener.register("object:state-changed:showing")
        self._listener.register("object:state-changed:focused")
        self._listener.register("object:announcement")

    def _on_event(self, event):
        if event.type == "object:announcement":  # Qt 6.8 on
            self.notifications.append(event.any_data)
            return
        if event.detail1 != 1:
            return
        role = event.source.get_role()
        if event.type == "object:state-changed:showing" and role == Atspi.Role.POPUP_MENU:
            self.popups += 1
        elif event.type == "object:state-changed:focused" and role == Atspi.Role.MENU_ITEM:
            self.focused.append(event.source.get_name())
        elif event.type == "object:state-changed:showing" and role == Atspi.Role.NOTIFICATION:
            self.notifications.append(" ".join(c.get_name() for c in children(event.source)))

    def open(self, keys, count):
        """Sends keys to the main window; returns the name of the menu entry
        that is current as the menu opens, as a screen reader hears it."""
        self.focused.clear()
        x_keys(TITLE, keys)
        wait_for(f"a context menu after {keys}", lambda: self.popups >= count)
        return wait_for(f"an entry of the menu after {keys} current at once", lambda: self.focused[:1])[0]


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def descendants(node, depth=8):
    for child in children(node):
        if child is None:
            continue
        yield child
        if depth > 1:
            yield from descendants(child, depth - 1)


def find_application():
    def probe():
        desktop = Atspi.get_desktop(0)
        for app in children(desktop):
            if app is not None and app.get_name() == "velmora":
                return app
        return None
    return wait_for("the program on the accessibility bus", probe, 30.0)


def frame(app, title):
    def probe():
        app.clear_cache()
        for node in children(app):
            if node is not None and node.get_role() == Atspi.Role.FRAME and node.get_name() == title:
                return node
        return None
    return wait_for(f"a frame '{title}'", probe)


def x_keys(title, *keys):
    """Sends keys as the keyboard does, to the window with this title."""
    window = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], capture_output=True, text=True,
                            check=False).stdout.split()
    if not window:
        fail(f"no X window titled '{title}'")
    subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], check=True)
    if keys:
        subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True)


def focus_button(main, name):
    x_keys(TITLE)  # the keyboard's focus to the main window first
    button = next((n for n in descendants(main, 2) if n.get_role() == Atspi.Role.PUSH_BUTTON
                   and n.get_name() == name), None)
    if button is None:
        fail(f"no push button '{name}'")
    button.grab_focus()
    wait_for(f"'{name}' focused", lambda: button.get_state_set().contains(Atspi.StateType.FOCUSED))
    return button


def cell_text(table, row, column):
    cell = table.get_accessible_at(row, column)
    return cell.get_name() if cell is not None else None


def main():
    app = find_application()
    main_frame = frame(app, TITLE)
    menus = Menus()
    button = focus_button(main_frame, "Stufe 14")

    def description():
        button.clear_cache()
        return button.get_description() == "D20 plus D4, im Mittel 14,4"
    wait_for(f"'Stufe 14' described by its dice and mean (has '{button.get_description()}')", description)
    check(True, "the focused 'Stufe 14' is described as 'D20 plus D4, im Mittel 14,4'")

    entry = menus.open("shift+F10", 1)
    check(entry == "Chancen für Stufe 14 …",
          f"Shift+F10 opens a menu whose first entry is 'Chancen für Stufe 14 …' ({entry!r})")
    subprocess.run(["xdotool", "key", "Return"], check=True)

    odds = frame(app, ODDS_TITLE)
    check(True, f"the entry opens the frame '{ODDS_TITLE}'")
    texts = [n.get_name() for n in descendants(odds) if n.get_role() == Atspi.Role.LABEL]
    check("Chancen für Stufe 14" in texts, f"the window says 'Chancen für Stufe 14' ({texts})")

    tables = {n.get_name(): n for n in descendants(odds) if n.get_role() == Atspi.Role.TABLE}
    table = tables.get("Chancen je Mindestwurf")
    check(table is not None and "Table" in table.get_interfaces(),
          f"the odds are a table with AT-SPI's Table interface ({sorted(tables)})")
    check(table.get_n_columns() == len(HEADERS) and table.get_n_rows() == STEP14_ROWS,
          f"{STEP14_ROWS} rows of {len(HEADERS)} columns ({table.get_n_rows()} x {table.get_n_columns()})")
    headers = []
    for column in range(table.get_n_columns()):
        header = table.get_column_header(column)
        headers.append(header.get_name() if header is not None else None)
    check(headers == HEADERS, f"the column headers are {HEADERS} ({headers})")
    descriptions = [table.get_column_description(c) for c in range(table.get_n_columns())]
    check(descriptions == HEADERS, f"and so are the column descriptions ({descriptions})")
    row, column, text = STEP14_CELL
    # The first cell says its row's header, which Orca reads with the row.
    check(cell_text(table, row, column) == text and cell_text(table, row, 0) == f"Mindestwurf {row + 1}",
          f"the cell of N = {row + 1}, '{HEADERS[column]}' reads '{text}', its row's first 'Mindestwurf {row + 1}'")
    header = table.get_row_header(row)
    check(header is not None and header.get_name() == f"Mindestwurf {row + 1}",
          f"its row is headed 'Mindestwurf {row + 1}' for Up and Down ({header.get_name() if header else None})")

    summary = tables.get("Patzer und Mittelwert")
    check(summary is not None and "Table" in summary.get_interfaces(),
          "'Patzer!' and the means are a table too")
    rows = [summary.get_row_description(r) for r in range(summary.get_n_rows())]
    check(rows == ["Patzer!", "im Mittel"], f"its rows are 'Patzer!' and 'im Mittel' ({rows})")
    # Orca says no row header; the row's first cell names its row.
    check(cell_text(summary, 1, 0) == "im Mittel 14,4" and cell_text(summary, 1, 1) == "17,7",
          "the mean without karma reads 'im Mittel 14,4', with karma +4 '17,7'")

    # A step chosen in the window is told with its dice, not as a bare number.
    x_keys(ODDS_TITLE, "Down")
    told = wait_for("a notification of the new step",
                    lambda: [n for n in menus.notifications if "Stufe 13" in n][-1:])[0]
    check(told == "Chancen für Stufe 13. D12 plus D10, im Mittel 13,2",
          f"Down in the step selector tells the new step and its dice: {told!r}")

    # The Menu key, as a keyboard sends it: one menu, not one from the key
    # and another from the context menu event that Qt makes of it.
    focus_button(main_frame, "Stufe 40")
    entry = menus.open("Menu", 2)
    check(entry == "Chancen für Stufe 40 …" and menus.popups == 2,
          f"the Menu key opens one menu, of 'Stufe 40' ({entry!r}; {menus.popups} menus shown in all)")
    subprocess.run(["xdotool", "key", "Escape"], check=True)

    # Every control has the window's menu by keyboard, its first entry current.
    focus_button(main_frame, "Karma +6")
    entry = menus.open("shift+F10", 3)
    check(entry == "Wurf kopieren", f"Shift+F10 on 'Karma +6' opens the window's menu at 'Wurf kopieren' ({entry!r})")
    subprocess.run(["xdotool", "key", "Escape"], check=True)
    print("atspi_odds: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
