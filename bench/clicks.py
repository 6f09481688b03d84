#!/usr/bin/python3
"""Resident memory over many real clicks, as a player's long evening makes it.

Starts the program under a private Xvfb and D-Bus session bus and clicks
every step button in turn through XTest, as fast as X takes them. After the
first click and at each checkpoint it waits until the program is idle and
reads its resident memory (VmRSS). Prints the ratios to the first roll and
to the 5,000th click, the log being full from the 1,000th roll on.

    bench/clicks.py [--clicks N] [--wrap COMMAND] BUILD_DIR

--wrap runs the program under another, e.g. --wrap "heaptrack -o /tmp/h".
"""

import argparse
import os
import shlex
import subprocess
import sys
import time

from Xlib import X
from Xlib.ext import xtest

from startup import TITLES, first_frame, on_session_bus, session, status_kib

TWIPS_PER_PIXEL = 15


def step_centres():
    """Each step button's centre in window pixels, from the design in twips:
    three columns, fifteen rows in three groups of five."""
    def row_top(row):
        return 240 + row * 480 + (row // 5) * 120

    columns = [(2160, 1, 5), (3720, 11, 0), (5280, 26, 0)]
    centres = []
    for step in range(1, 41):
        left, first, first_row = max(c for c in columns if step >= c[1])
        top = row_top(first_row + step - first)
        centres.append(((left + 1215 // 2) // TWIPS_PER_PIXEL, (top + 375 // 2) // TWIPS_PER_PIXEL))
    return centres


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def settle(screen, pid):
    """Waits until the program has used no CPU for two seconds, a player's
    pause: every click sent has been handled, and what the program does
    once idle is done."""
    screen.conn.sync()
    last, quiet_since = cpu_ticks(pid), time.monotonic()
    while time.monotonic() - quiet_since < 2.0:
        time.sleep(0.05)
        now = cpu_ticks(pid)
        if now != last:
            last, quiet_since = now, time.monotonic()


def main():
    on_session_bus()
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="the build folder, e.g. build/test")
    parser.add_argument("--clicks", type=int, default=20000)
    parser.add_argument("--wrap", default="", help="a command to run the program under")
    parser.add_argument("--bare", action="store_true", help="click the bare window instead, for comparison")
    args = parser.parse_args()
    kind = "bare" if args.bare else "main"
    program = os.path.join(args.build, "bench", "velmora_bare") if args.bare else os.path.join(args.build, "velmora")
    checkpoints = sorted({1, 1000, 5000, *range(5000, args.clicks + 1, 5000), args.clicks})

    with session(args.build) as (screen, env, background):
        process = subprocess.Popen([*shlex.split(args.wrap), program], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            # Under a wrapper, the window is the wrapped process's.
            window = first_frame(screen, process, TITLES[kind], background, seconds=120,
                                 pid=None if args.wrap else -1)
            pid = window.get_full_property(screen.pid_atom, 0).value[0]
            origin = window.translate_coords(screen.root, 0, 0)
            centres = step_centres()
            readings = {}
            for click in range(1, args.clicks + 1):
                x, y = centres[(click - 1) % len(centres)]
                xtest.fake_input(screen.conn, X.MotionNotify, x=x - origin.x, y=y - origin.y)
                xtest.fake_input(screen.conn, X.ButtonPress, 1)
                xtest.fake_input(screen.conn, X.ButtonRelease, 1)
                if click % 50 == 0:
                    screen.conn.sync()  # as fast as X takes them, not faster
                if click in checkpoints:
                    settle(screen, pid)
                    readings[click] = status_kib(pid, "VmRSS")
                    print(f"after {click:>6,} clicks: {readings[click]:,} KiB", flush=True)
        finally:
            process.terminate()
            process.wait()

    last = max(readings)
    print(f"ratio to the first roll: {readings[last] / readings[1]:.3f}")
    if 5000 in readings and last > 5000:
        print(f"ratio from the 5,000th click on: {readings[last] / readings[5000]:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
