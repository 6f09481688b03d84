#!/usr/bin/python3
"""What a screen reader started late must reach through AT-SPI: the
program's window by its title, its 45 buttons by their captions, and a roll
of step 10 started through the Action interface. Prints one line per check;
exits 1 on the first failure."""

import time

from atspi_client import TITLE, Atspi, check, check_step10, children, fail, find_application, press, \
    transcript_lines

BUTTONS = [f"Stufe {n:02d}" for n in range(1, 41)] + ["Karma +4", "Karma +6", "Karma +8", "Karma +10", "Reset"]


def main():
    app = find_application()
    frame = next((node for node in children(app) if node.get_role() == Atspi.Role.FRAME
                  and node.get_name() == TITLE), None)
    check(frame is not None, f"the program shows its frame '{TITLE}'")
    # The board beneath the menu bar holds the controls.
    controls = [node for child in children(frame) for node in children(child)]
    buttons = {node.get_name(): node for node in controls if node.get_role() == Atspi.Role.PUSH_BUTTON}
    missing = [name for name in BUTTONS if name not in buttons]
    check(not missing, f"its {len(BUTTONS)} push buttons carry their captions (missing: {missing})")
    transcript = next((node for node in controls if node.get_role() == Atspi.Role.LABEL
                       and node.get_name() == "Wurfergebnis"), None)
    if transcript is None:
        fail("no transcript 'Wurfergebnis'")
    before = transcript_lines(transcript)
    press(buttons["Stufe 10"])
    end = time.monotonic() + 10
    lines = before
    while lines == before and time.monotonic() < end:
        time.sleep(0.05)
        lines = transcript_lines(transcript)
    check(lines != before, "pressing 'Stufe 10' through the Action interface rolls")
    check(True, f"the transcript holds a roll of step 10: '{check_step10(lines, None)}'")
    print("atspi late: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
