#!/usr/bin/python3
"""Checks the running program as a screen reader meets it, through AT-SPI:
the tree, the lamps, pressing buttons through the Action interface, the
transcript through the Text interface, and the notifications that a screen
reader speaks after each click. Prints one line per check; exits 1 on the
first failure."""

import re
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
# Step 10 rolls a d10 and a d6; its fumble thresholds are 2, and 3 with karma.
STEP10_DICE = (10, 6)


def fail(message):
    print(f"atspi: FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)
    print(f"atspi: ok: {message}")


class Notifications:
    """Every notification that appears, as a screen reader is told of it."""

    def __init__(self):
        self.shown = []
        # Each one's object: a screen reader may read it well after it
        # showed, so its words must not change afterwards.
        self.sources = []
        self._listener = Atspi.EventListener.new(self._on_event)
        self._listener.register("object:state-changed:showing")
        self._listener.register("object:announcement")

    def _on_event(self, event):
        source = event.source
        if event.type == "object:announcement":
            # Qt 6.8 on: plain words, kept by no object to be read again.
            self.shown.append(("", event.any_data))
            self.sources.append(None)
        elif event.detail1 == 1 and source.get_role() == Atspi.Role.NOTIFICATION:
            self.shown.append(self.words(source))
            self.sources.append(source)

    @staticmethod
    def words(source):
        # The words stand in a label inside the notification, which has no
        # name of its own: so Orca 43 and 48 both say the result once, first.
        labels = [c.get_name() for c in children(source) if c.get_role() == Atspi.Role.LABEL]
        return (source.get_name(), " ".join(labels))

    def wait_for(self, count, seconds=10.0):
        end = time.monotonic() + seconds
        context = GLib.MainContext.default()
        while len(self.shown) < count and time.monotonic() < end:
            context.iteration(False)
            time.sleep(0.01)
        return self.shown[count - 1] if len(self.shown) >= count else None


def find_application(seconds=30.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_name() == "velmora":
                return app
        time.sleep(0.1)
    fail("the program did not appear on the accessibility bus")


def check_quick_karma(controls, by_name):
    """Karma changed faster than a screen reader keeps up: the states it is
    told, as a screen reader that caches them keeps them, settle on the last
    choice."""
    karma = [n for n in controls if n.get_role() in (Atspi.Role.CHECK_BOX, Atspi.Role.PUSH_BUTTON)
             and "Karma +" in n.get_name()]
    told = {n.get_name(): states(n).contains(Atspi.StateType.CHECKED) for n in karma}

    def on_checked(event):
        if event.source.get_name() in told:
            told[event.source.get_name()] = event.detail1 == 1
    listener = Atspi.EventListener.new(on_checked)
    listener.register("object:state-changed:checked")
    for name in ("Karma +4", "Karma +10", "Karma +6"):
        press(by_name[(Atspi.Role.PUSH_BUTTON, name)])
    want = ["Anzeige Karma +6", "Karma +6"]
    end = time.monotonic() + 5
    context = GLib.MainContext.default()
    while time.monotonic() < end and sorted(n for n, on in told.items() if on) != want:
        context.iteration(False)
        time.sleep(0.05)
    listener.deregister("object:state-changed:checked")
    lit = sorted(n for n, on in told.items() if on)
    check(lit == want, f"three quick karma choices: the states told settle on the last ({lit})")


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def states(node):
    return node.get_state_set()


def press(node):
    names = [node.get_action_name(i) for i in range(node.get_n_actions())]
    if "Press" not in names and "press" not in names:
        fail(f"'{node.get_name()}' offers no press action ({names})")
    node.do_action(names.index("Press") if "Press" in names else names.index("press"))


def transcript_lines(transcript):
    # Through Atspi.Text: in AT-SPI 2.56 (Debian 13), Accessible.get_text(),
    # which returns the Text interface, hides the text method of that name.
    length = Atspi.Text.get_character_count(transcript)
    return Atspi.Text.get_text(transcript, 0, length).split("\n")


def read_die(lines, at, sides):
    """Reads one die with its re-rolls from line at; returns (total, ones, next)."""
    total, ones = 0, True
    while True:
        match = re.fullmatch(rf"Ein D{sides} wird gewürfelt: (\d+)", lines[at] if at < len(lines) else "")
        if not match:
            fail(f"line {at + 1}: expected a d{sides}, got {lines[at:at + 1]}")
        face = int(match.group(1))
        if not 1 <= face <= sides:
            fail(f"line {at + 1}: face {face} on a d{sides}")
        total, ones, at = total + face, ones and face == 1, at + 1
        if face < sides:
            return total, ones, at
        if lines[at:at + 2] != ["Neuer Wurf!", ""]:
            fail(f"line {at + 1}: a highest face without 'Neuer Wurf!' and an empty line")
        at += 2


def check_step10(lines, karma_die):
    """The transcript of step 10 against the rules; returns its result line."""
    total, ones, at = 0, True, 0
    for sides in STEP10_DICE:
        value, only_ones, at = read_die(lines, at, sides)
        total, ones = total + value, ones and only_ones
    if karma_die:
        if lines[at:at + 1] != [f"Karma +{karma_die}!"]:
            fail(f"line {at + 1}: expected the karma line 'Karma +{karma_die}!'")
        value, only_ones, at = read_die(lines, at + 1, karma_die)
        total, ones = total + value, ones and only_ones
    expected = "Patzer!" if ones else f"Die Summe lautet: {total}"
    if lines[at:] != [expected]:
        fail(f"result: expected only '{expected}' after line {at}, got {lines[at:]}")
    return expected


def spoken_result(line):
    """The result line of the band as the notification speaks it."""
    return line.replace("Die Summe lautet: ", "Summe ")


def then_dice(result):
    """How the notification goes on from the result to step 10's first die."""
    return result + (" " if result.endswith(("!", ".")) else ". ") + "D10 "


def check_geometry(board, transcript, by_name):
    """Flat review reads the band by each character's box; a point query
    over a control finds that control."""
    screen = Atspi.CoordType.SCREEN
    band = Atspi.Component.get_extents(transcript, screen)
    line_height = None
    for offset in (0, transcript_lines(transcript)[0].__len__() + 1):
        box = Atspi.Text.get_character_extents(transcript, offset, screen)
        if box.width <= 0 or box.height <= 0:
            fail(f"character {offset} of the transcript has no box ({box.x},{box.y} {box.width}x{box.height})")
        if Atspi.Text.get_offset_at_point(transcript, box.x + box.width // 2, box.y + box.height // 2, screen) != offset:
            fail(f"the point inside character {offset}'s box names another character")
        line_height = box.y - band.y if offset else None
    check(line_height and line_height > 0, "the transcript's characters have boxes on screen, line under line")
    for name in ("Stufe 01", "Stufe 40", "Karma +4", "Reset"):
        node = by_name[(Atspi.Role.PUSH_BUTTON, name)]
        box = Atspi.Component.get_extents(node, screen)
        found = Atspi.Component.get_accessible_at_point(board, box.x + box.width // 2, box.y + box.height // 2, screen)
        if found is None or found.get_name() != name:
            fail(f"a point query over '{name}' found {found.get_name() if found else None}")
    check(band.width <= 140, f"the transcript's extent is the band ({band.width} px wide), and point queries find the buttons")


def table_cells(table, row):
    return [Atspi.Table.get_accessible_at(table, row, column).get_name()
            for column in range(Atspi.Table.get_n_columns(table))]


def check_log(frame, transcript, notifications):
    """Ctrl+H opens the roll log, a dock "Verlauf" in the frame: one row a
    roll, newest first, its cells in words: the time, the result, what was
    rolled, the karma and the dice as the notification told them."""
    # Without a window manager nothing gives the window the keyboard: ask X.
    # The key goes to the focused window, not to the one found: xdotool would
    # send the release elsewhere once the log has the focus, and leave Ctrl
    # and H held down.
    subprocess.run(["xdotool", "search", "--name", f"^{TITLE}$", "windowfocus", "--sync"], check=True)
    subprocess.run(["xdotool", "key", "ctrl+h"], check=True)
    end = time.monotonic() + 10
    rolls = None
    while rolls is None and time.monotonic() < end:
        rolls = find_node(frame, Atspi.Role.TABLE, "Würfe")
        if rolls is not None and not states(rolls).contains(Atspi.StateType.SHOWING):
            rolls = None
        time.sleep(0.1)
    check(rolls is not None, "Ctrl+H opens the table 'Würfe' in the window")
    said = notifications.wait_for(13)
    check(said is not None and said[1] == "Verlauf", f"the dock's name is said as it opens: {said}")
    dock = rolls
    while dock is not None and dock.get_name() != "Verlauf":
        dock = dock.get_parent()
    check(dock is not None and dock.get_role_name() in ("frame", "window", "panel", "filler", "internal frame"),
          f"the log's dock is named 'Verlauf': {dock.get_role_name() if dock else None}")
    rows = Atspi.Table.get_n_rows(rolls)
    check(rows == 9, f"the log lists the 9 rolls ({rows})")
    newest = table_cells(rolls, 0)
    result = spoken_result(check_step10(transcript_lines(transcript), None))
    check(newest[1] == result and re.fullmatch(r"Glück \d{1,3} %", newest[2]) and newest[3] == "Stufe 10"
          and newest[4] == "kein Karma" and re.fullmatch(r"\d{1,2} Uhr( \d{1,2})?", newest[0])
          and not any(re.search(r"[:()\u00b7+-]", cell) for cell in newest[:5]),
          f"the newest roll's cells in words: {newest}")
    check(dice_of(notifications_words[-1]) == newest[5],
          f"its dice as the notification told them: {newest[5]!r}")
    return rolls


def find_window(app, name, seconds=10.0, role=None, inside=None):
    """The window, or dialog, of that name that the program shows; with
    `inside`, one that holds a node of that role."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        for window in children(app):
            if window.get_name() == name and states(window).contains(Atspi.StateType.SHOWING) \
                    and (inside is None or find_node(window, inside) is not None):
                return window
        time.sleep(0.05)
    return None


def find_node(root, role, name=None):
    stack = [root]
    while stack:
        node = stack.pop()
        if node.get_role() == role and (name is None or node.get_name() == name):
            return node
        stack.extend(children(node))
    return None


def keys_to(title, *keys):
    """Keys to the window of that title, which X focuses first: without a
    window manager nothing else would."""
    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", f"^{title}$", "windowfocus", "--sync"],
                   check=True)
    subprocess.run(["xdotool", *keys], check=True)


def check_talents(app, notifications, told):
    """Ctrl+T opens the talents; every control in it is named; a character
    and a talent made by keyboard, and Return on the talent rolls it, told
    by its name."""
    keys_to(TITLE, "key", "Escape")
    keys_to(TITLE, "key", "ctrl+t")
    frame = find_window(app, TITLE)
    end = time.monotonic() + 10
    table = None
    while table is None and time.monotonic() < end:
        table = find_node(frame, Atspi.Role.TABLE, "Noch kein Charakter")
        table = table if table is not None and states(table).contains(Atspi.StateType.SHOWING) else None
        time.sleep(0.1)
    # The dock that holds the table, named as its title.
    talents = table.get_parent() if table is not None else None
    while talents is not None and talents.get_name() != "Talente":
        talents = talents.get_parent()
    check(talents is not None, "Ctrl+T opens the dock 'Talente'")
    said = notifications.wait_for(15)
    check(said is not None and said[1] == "Talente", f"the dock's name is said as it opens: {said}")
    unnamed = []
    stack = [talents]
    while stack:
        node = stack.pop()
        if states(node).contains(Atspi.StateType.FOCUSABLE) and states(node).contains(Atspi.StateType.SHOWING) \
                and node.get_role() != Atspi.Role.TABLE_CELL and not node.get_name():
            unnamed.append(node.get_role_name())
        stack.extend(children(node))
    check(not unnamed, f"every control of the talents window has a name (unnamed: {unnamed})")
    table = find_node(talents, Atspi.Role.TABLE)
    check(table is not None and table.get_name() == "Noch kein Charakter"
          and table.get_description() == "Neuer Charakter legt einen an.",
          f"the empty table says what to do: {table.get_name()!r}, {table.get_description()!r}")
    check(find_node(talents, Atspi.Role.COMBO_BOX, "Charakter") is not None, "the character selector is named")

    keys_to(TITLE, "key", "alt+n")
    check(find_window(app, "Neuer Charakter") is not None, "Alt+N asks for a new character's name")
    keys_to("Neuer Charakter", "type", "Arven")
    keys_to("Neuer Charakter", "key", "Return")
    keys_to(TITLE, "key", "Insert")
    check(find_window(app, "Talent hinzufügen", inside=Atspi.Role.TEXT) is not None, "Insert asks for a talent's name")
    keys_to("Talent hinzufügen", "type", "Schwertkampf")
    keys_to("Talent hinzufügen", "key", "Return")
    step = find_window(app, "Stufe des neuen Talents", inside=Atspi.Role.SPIN_BUTTON)
    check(step is not None, "then for its step")
    keys_to("Stufe des neuen Talents", "key", "ctrl+a")
    keys_to("Stufe des neuen Talents", "type", "14")
    keys_to("Stufe des neuen Talents", "key", "Return")
    end = time.monotonic() + 10
    while table.get_child_count() < 4 and time.monotonic() < end:
        time.sleep(0.05)
    cells = [table.get_child_at_index(i).get_name() for i in range(table.get_child_count())]
    check(table.get_name() == "Arven" and cells[-5:-3] == ["Schwertkampf", "14"]
          and cells[-1] == "noch nicht gewürfelt",
          f"the table 'Arven' lists Schwertkampf at step 14, not yet rolled: {cells}")
    count = len(notifications.shown)
    # A reader keeps a cell's name once read: the talent's latest result is
    # told as it changes, or it would go on saying "noch nicht gewürfelt".
    renamed = []
    def on_rename(event):
        if event.source.get_role() == Atspi.Role.TABLE_CELL:
            renamed.append(event.source.get_name())
    rename_listener = Atspi.EventListener.new(on_rename)
    rename_listener.register("object:property-change:accessible-name")
    keys_to(TITLE, "key", "Return")
    said = notifications.wait_for(count + 1)
    check(said is not None and (said[1].startswith("Schwertkampf, Summe ") or said[1].startswith("Schwertkampf, Patzer!")),
          f"Return rolls the talent, told by its name: {said}")
    told_result = re.match(r"Schwertkampf, (Summe \d+|Patzer!)", said[1]) if said is not None else None
    result = told_result.group(1) if told_result else ""
    end = time.monotonic() + 10
    context = GLib.MainContext.default()
    while result not in renamed and time.monotonic() < end:
        context.iteration(False)
        time.sleep(0.01)
    rename_listener.deregister("object:property-change:accessible-name")
    check(result in renamed, f"the talent's latest result '{result}' is told as its cell changes: {renamed}")


def dice_of(words):
    """The dice of a notification's words, after the result."""
    return re.sub(r"^(Summe \d+(, das ist \d+ minus \d+)?\. |Patzer! |Fehler, .*?abgebrochen\. )", "", words)


notifications_words = []


def main():
    notifications = Notifications()
    app = find_application()
    frames = children(app)
    check(len(frames) == 1 and frames[0].get_role() == Atspi.Role.FRAME, "the window is one frame")
    frame = frames[0]
    check(frame.get_name() == TITLE, f"the frame is named by the title '{TITLE}'")

    # The board: the frame's child that holds the controls, beneath the menu bar.
    board = next((node for node in children(frame)
                  if any(c.get_name() == "Stufe 01" for c in children(node))), None)
    check(board is not None and find_node(frame, Atspi.Role.MENU_BAR) is not None,
          "the frame holds a menu bar and the board")
    controls = children(board)
    by_name = {}
    for node in controls:
        by_name.setdefault((node.get_role(), node.get_name()), node)
    check(len(controls) == 51, f"the board holds the 51 visible controls ({len(controls)})")
    buttons = [f"Stufe {n:02d}" for n in range(1, 41)] + ["Karma +4", "Karma +6", "Karma +8", "Karma +10", "Reset"]
    for name in buttons:
        node = by_name.get((Atspi.Role.PUSH_BUTTON, name))
        if node is None or not states(node).contains(Atspi.StateType.FOCUSABLE):
            fail(f"no focusable push button '{name}'")
    check(True, "45 focusable push buttons carry their captions")
    for die in (4, 6, 8, 10):
        lamp = by_name.get((Atspi.Role.CHECK_BOX, f"Anzeige Karma +{die}"))
        if lamp is None:
            fail(f"no check box 'Anzeige Karma +{die}' for the lamp")
        lamp_states = states(lamp)
        if not lamp_states.contains(Atspi.StateType.READ_ONLY) or lamp_states.contains(Atspi.StateType.CHECKED) \
                or lamp_states.contains(Atspi.StateType.FOCUSABLE):
            fail(f"lamp 'Karma +{die}' is not a read-only, unchecked, unfocusable check box")
    check(True, "the four lamps are read-only check boxes, none checked")
    transcript = by_name.get((Atspi.Role.LABEL, "Wurfergebnis"))
    check(transcript is not None and "Text" in transcript.get_interfaces(),
          "the transcript 'Wurfergebnis' offers a Text interface")
    hidden = [n.get_name() for n in controls if n.get_role() == Atspi.Role.LABEL
              and n.get_name() not in ("Wurfergebnis",) and not states(n).contains(Atspi.StateType.SHOWING)]
    check(not hidden and (Atspi.Role.LABEL, "0") not in by_name, "the hidden karma state is not in the tree")

    press(by_name[(Atspi.Role.PUSH_BUTTON, "Karma +6")])
    said = notifications.wait_for(1)
    check(said is not None and said == ("", "Karma +6 gewählt"), f"a notification says the karma choice ({said})")
    lit = [n.get_name() for n in controls if n.get_role() == Atspi.Role.CHECK_BOX
           and states(n).contains(Atspi.StateType.CHECKED)]
    check(lit == ["Anzeige Karma +6"], f"only the lamp 'Anzeige Karma +6' is checked ({lit})")
    chosen = [n.get_name() for n in controls if n.get_role() == Atspi.Role.PUSH_BUTTON
              and states(n).contains(Atspi.StateType.CHECKED)]
    check(chosen == ["Karma +6"], f"only the button 'Karma +6' is checked ({chosen})")

    for roll in range(1, 6):
        press(by_name[(Atspi.Role.PUSH_BUTTON, "Stufe 10")])
        said = notifications.wait_for(1 + roll)
        lines = transcript_lines(transcript)
        result = check_step10(lines, 6)
        spoken = spoken_result(result)
        check(said is not None and said[1].startswith(then_dice(spoken)),
              f"roll {roll}: a notification says '{spoken}' first, then the dice: {said}")
        check(not re.search(r"[:()\u2013-]|Summe.*Summe", said[1]),
              f"roll {roll}: no punctuation read aloud, the result once")

    check_geometry(board, transcript, by_name)

    press(by_name[(Atspi.Role.PUSH_BUTTON, "Reset")])
    said = notifications.wait_for(7)
    check(said is not None and said[1] == "kein Karma", f"a notification says 'kein Karma' after Reset ({said})")
    press(by_name[(Atspi.Role.PUSH_BUTTON, "Stufe 10")])
    said = notifications.wait_for(8)
    result = spoken_result(check_step10(transcript_lines(transcript), None))
    check(said is not None and said[1].startswith(then_dice(result)), f"without karma: a notification says '{result}'")

    # A burst: three presses of Space 10 ms apart, each roll told with its
    # own result, in order, and nothing told rewritten afterwards.
    Atspi.Component.grab_focus(by_name[(Atspi.Role.PUSH_BUTTON, "Stufe 10")])
    subprocess.run(["xdotool", "search", "--name", f"^{TITLE}$", "windowfocus", "--sync"], check=True)
    subprocess.run(["xdotool", "key", "--delay", "10", "space", "space", "space"], check=True)
    said = notifications.wait_for(11)
    check(said is not None, f"three quick rolls give three notifications ({len(notifications.shown) - 8})")
    burst = notifications.shown[8:11]
    again = [Notifications.words(source) if source else words
             for source, words in zip(notifications.sources[8:11], burst)]
    check(again == burst, f"each notification keeps its words: {burst} then {again}")
    notifications_words.extend(words[1] for words in burst)
    subprocess.run(["xdotool", "key", "ctrl+c"], check=True)
    said = notifications.wait_for(12)
    check(said is not None and said[1] == "Wurf kopiert", f"Ctrl+C is confirmed: {said}")
    rolls = check_log(frame, transcript, notifications)
    subprocess.run(["xdotool", "key", "ctrl+a", "ctrl+c"], check=True)
    said = notifications.wait_for(14)
    check(said is not None and said[1] == "9 Würfe kopiert", f"Ctrl+A, Ctrl+C in the log is confirmed: {said}")
    # The log's newest first; each names its result after the step.
    logged = [re.sub(r"^(Summe \d+|Patzer!|Fehler, .*?\.).*$", r"\1", table_cells(rolls, row)[1])
              for row in reversed(range(3))]
    told = [words[1].split(". ")[0].split("! ")[0].rstrip(".") for words in burst]
    told = [t if not t.startswith("Patzer") else "Patzer!" for t in told]
    logged = [t if not t.startswith("Patzer") else "Patzer!" for t in logged]
    check(told == logged, f"the burst's notifications tell the logged rolls in order: {told} and {logged}")
    check_talents(app, notifications, told)
    check_quick_karma(controls, by_name)
    print("atspi: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
