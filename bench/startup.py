#!/usr/bin/python3
"""Whole-process start-up, as a player meets it.

Spawns the program and a bare Qt program with the same 51 controls in turns
under a private Xvfb and D-Bus session bus, with no assistive technology, and takes for each run the time from spawn to the first
painted frame on screen and the peak memory (VmHWM) at that moment. Prints
the median of the per-pair ratios.

    bench/startup.py [--pairs N] BUILD_DIR
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

from Xlib import X, display, error

TITLES = {"main": "Velmora - Stand-Alone-Version", "bare": "Velmora bare"}
# A point of the empty band, in window pixels: the window's own background.
PROBE = (5, 530)


def start_xvfb():
    read, write = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"],
        pass_fds=[write], stderr=subprocess.DEVNULL)
    os.close(write)
    number = os.read(read, 16).decode().strip()
    os.close(read)
    return server, ":" + number


def find_window(root, title):
    for child in root.query_tree().children:
        try:
            if child.get_wm_name() == title:
                return child
        except error.XError:
            pass
    return None


def probe(window):
    try:
        if window.get_attributes().map_state != X.IsViewable:
            return None
        return window.get_image(*PROBE, 1, 1, X.ZPixmap, 0xFFFFFFFF).data[:3]
    except error.XError:
        return None


def peak_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise RuntimeError("no VmHWM")


def run_once(conn, command, title, background, env):
    """Seconds from spawn to the first frame, and peak KiB at that moment."""
    root = conn.screen().root
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    window = None
    try:
        while True:
            if process.poll() is not None:
                raise RuntimeError(f"{command[0]} ended early with {process.returncode}")
            window = window or find_window(root, title)
            if window is not None:
                pixel = probe(window)
                if pixel is not None and (background is None or pixel == background):
                    elapsed = time.perf_counter() - start
                    return elapsed, peak_kib(process.pid), pixel
            if time.perf_counter() - start > 20:
                raise RuntimeError(f"no window '{title}' within 20 s")
            time.sleep(0.0002)
    finally:
        process.terminate()
        process.wait()


def main():
    # A desktop session always has a session bus; without one, every Qt
    # program would spend its start-up looking for it.
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable, *sys.argv])
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="the build folder, e.g. build/default")
    parser.add_argument("--pairs", type=int, default=15)
    args = parser.parse_args()
    commands = {"main": [os.path.join(args.build, "velmora")],
                "bare": [os.path.join(args.build, "bench", "velmora_bare")]}

    server, name = start_xvfb()
    try:
        env = dict(os.environ, DISPLAY=name, QT_QPA_PLATFORM="xcb")
        env.pop("WAYLAND_DISPLAY", None)
        conn = display.Display(name)
        # The colour that a settled window shows at the probe point.
        _, _, background = run_once(conn, commands["bare"], TITLES["bare"], None, env)
        time.sleep(0.2)
        _, _, background = run_once(conn, commands["bare"], TITLES["bare"], None, env)
        for kind in ("bare", "main"):  # warm the caches of both
            run_once(conn, commands[kind], TITLES[kind], background, env)

        runs = {"main": [], "bare": []}
        for pair in range(args.pairs):
            order = ("bare", "main") if pair % 2 == 0 else ("main", "bare")
            for kind in order:
                seconds, kib, _ = run_once(conn, commands[kind], TITLES[kind], background, env)
                runs[kind].append((seconds, kib))
    finally:
        server.terminate()
        server.wait()

    time_ratios = [m[0] / b[0] for m, b in zip(runs["main"], runs["bare"])]
    memory_ratios = [m[1] / b[1] for m, b in zip(runs["main"], runs["bare"])]
    for kind in ("bare", "main"):
        print(f"{kind}: spawn to first frame median {statistics.median(s for s, _ in runs[kind]) * 1000:.1f} ms, "
              f"peak memory median {statistics.median(k for _, k in runs[kind]):,} KiB")
    print(f"start-up ratio main/bare, median of {args.pairs} pairs: {statistics.median(time_ratios):.3f}")
    print(f"peak memory ratio main/bare, median of {args.pairs} pairs: {statistics.median(memory_ratios):.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
