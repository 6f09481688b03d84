#!/usr/bin/python3
"""Whole-process start-up, as a player meets it.

Spawns the program and a bare Qt program with the same 51 controls in turns
under a private Xvfb and D-Bus session bus, with no assistive technology, and
takes for each run the time from spawn to its first painted frame on screen,
the processor time of all its threads until then (kernel included), and its
peak memory (VmHWM) at that moment. Prints the medians of both programs and
of the per-pair ratios. The processor time drifts less than the wall time,
which also holds the X server's share and whatever else the machine does.

    bench/startup.py [--pairs N] [--log LOG_JSON] BUILD_DIR
    bench/startup.py --profile OUT_DIR [--limit RATIO] BUILD_DIR

With --profile, each program runs once under callgrind, which writes its
counts up to the end of its first flush to the screen, and nothing after, to
OUT_DIR/callgrind.{main,bare}; read them with callgrind_annotate
--inclusive=yes. With --limit, it then fails where the program's count is
more than RATIO times the bare window's: the check that keeps start-up at
the toolkit's floor.
"""

import argparse
import contextlib
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, Xatom, display, error
from Xlib.ext import damage

TITLES = {"main": "Velmora - Stand-Alone-Version", "bare": "Velmora bare"}
# A point of the empty band, in window pixels: the window's own background.
PROBE = (5, 530)


class Server:
    """A private Xvfb with a black root, so that a window not yet painted
    shows black at the probe point."""

    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-br",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=[write], stderr=subprocess.DEVNULL)
        os.close(write)
        # Kept open while the server runs: Xvfb writes to it again on a
        # reset, and a closed pipe would end it.
        self.pipe = os.fdopen(read, "rb", buffering=0)
        number = b""
        while not number.endswith(b"\n"):
            chunk = self.pipe.read(16)
            if not chunk:
                raise RuntimeError("Xvfb ended before it named its display")
            number += chunk
        self.name = ":" + number.decode().strip()

    def close(self):
        self.process.terminate()
        self.process.wait()
        self.pipe.close()


def wait_until(condition, what, seconds=20.0, pause=0.0002):
    deadline = time.perf_counter() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.perf_counter() > deadline:
            raise RuntimeError(f"{what} did not happen within {seconds:g} s")
        time.sleep(pause)


class Screen:
    def __init__(self, name):
        self.conn = display.Display(name)
        self.root = self.conn.screen().root
        self.pid_atom = self.conn.intern_atom("_NET_WM_PID")
        # Woken by windows appearing and by their painting, rather than
        # polling, which would take a core from the programs measured.
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.conn.damage_query_version()
        self.conn.sync()

    def wait_for_event(self, seconds):
        if not self.conn.pending_events():
            select.select([self.conn.fileno()], [], [], seconds)
        while self.conn.pending_events():
            self.conn.next_event()

    def windows_of(self, pid):
        """The top-level windows that the process pid made; any process's
        where pid is None."""
        found = []
        for child in self.root.query_tree().children:
            try:
                prop = child.get_full_property(self.pid_atom, Xatom.CARDINAL)
            except error.XError:
                continue  # gone meanwhile
            if prop is not None and len(prop.value) and pid in (None, prop.value[0]):
                found.append(child)
        return found

    def window_of(self, pid, title):
        for window in self.windows_of(pid):
            try:
                if window.get_wm_name() == title:
                    return window
            except error.XError:
                pass
        return None

    def pixel(self, window):
        try:
            if window.get_attributes().map_state != X.IsViewable:
                return None
            return window.get_image(*PROBE, 1, 1, X.ZPixmap, 0xFFFFFFFF).data[:3]
        except error.XError:
            return None


def status_kib(pid, field):
    """A memory figure of /proc/PID/status, e.g. VmHWM (peak) or VmRSS."""
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"no {field}")


def stop(process, screen):
    process.terminate()
    process.wait()
    # The next run must not find this one's window.
    wait_until(lambda: not screen.windows_of(process.pid), f"the windows of {process.pid} closing", 10)


def first_frame(screen, process, title, background, seconds=20.0, pid=-1):
    """Waits until the window of process (or of pid, None for any) shows the
    background at the probe point, and returns the window."""
    deadline = time.perf_counter() + seconds
    window = None
    while True:
        if process.poll() is not None:
            raise RuntimeError(f"{process.args[0]} ended early with {process.returncode}")
        if window is None:
            window = screen.window_of(process.pid if pid == -1 else pid, title)
            if window is not None:
                window.damage_create(damage.DamageReportRawRectangles)
                screen.conn.sync()
        if window is not None and screen.pixel(window) == background:
            return window
        if time.perf_counter() > deadline:
            raise RuntimeError(f"no painted window '{title}' within {seconds:g} s")
        screen.wait_for_event(0.05)


def learn_background(screen, command, title, env):
    """The colour that a settled window shows at the probe point: it must
    differ from the black of an unpainted one, and hold still."""
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = wait_until(lambda: screen.window_of(process.pid, title), f"a window '{title}'")
        time.sleep(1.0)  # not a wait for a condition: the colour itself is unknown
        colours = set()
        for _ in range(5):
            colours.add(screen.pixel(window))
            time.sleep(0.1)
        if len(colours) != 1 or None in colours or colours == {b"\0\0\0"}:
            raise RuntimeError(f"the window's background is not settled: {colours}")
        return colours.pop()
    finally:
        stop(process, screen)


def cpu_seconds(pid):
    """The processor time of all threads of pid so far, in the kernel too."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as schedstat:
                total += int(schedstat.read().split()[0])
        except FileNotFoundError:
            pass  # a thread that has ended
    return total / 1e9


def run_once(screen, command, title, background, env):
    """Seconds from spawn to the first frame, peak KiB at that moment, and
    the processor seconds spent until then."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        first_frame(screen, process, title, background)
        return time.perf_counter() - start, status_kib(process.pid, "VmHWM"), cpu_seconds(process.pid)
    finally:
        stop(process, screen)


def profile(screen, commands, background, env, out):
    os.makedirs(out, exist_ok=True)
    for kind, command in commands.items():
        target = os.path.join(out, f"callgrind.{kind}")
        # A dump as each flush of a window's backing store ends: the first
        # holds the counts up to the first frame and nothing after it.
        process = subprocess.Popen(
            ["valgrind", "--tool=callgrind", "--dump-after=QBackingStore::flush*",
             f"--callgrind-out-file={target}.%p", *command],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            first_frame(screen, process, TITLES[kind], background, seconds=300)
        finally:
            stop(process, screen)  # which also completes the dumps
        os.replace(f"{target}.{process.pid}.1", target)
        for leftover in os.listdir(out):
            if leftover.startswith(f"callgrind.{kind}.{process.pid}"):
                os.remove(os.path.join(out, leftover))
        print(f"{kind}: {target}")


def instructions(callgrind_out):
    with open(callgrind_out) as counts:
        for line in counts:
            if line.startswith("totals:"):
                return int(line.split()[1])
    raise RuntimeError(f"no totals in {callgrind_out}")


def on_session_bus():
    """Runs this script again on a session bus of its own, where it has
    none: a desktop session always has one, and without it every Qt program
    would spend its start-up looking for it."""
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable, *sys.argv])


def program_env(display_name, home):
    """The environment of a program on that X display, with no assistive
    technology forced on, and the folders of a home of its own: the user's
    are neither read nor written."""
    env = dict(os.environ, DISPLAY=display_name, QT_QPA_PLATFORM="xcb", HOME=home,
               XDG_CONFIG_HOME=os.path.join(home, ".config"), XDG_DATA_HOME=os.path.join(home, ".local/share"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"))
    for name in ("WAYLAND_DISPLAY", "QT_ACCESSIBILITY", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"):
        env.pop(name, None)
    return env


@contextlib.contextmanager
def session(build, log=None):
    """A private Xvfb and a home of their own for the programs, with the
    roll log `log` kept there first; yields the screen, the programs'
    environment and the background of a settled window."""
    server = Server()
    home = tempfile.mkdtemp(prefix="velmora-bench-home.")
    try:
        if log:
            os.makedirs(os.path.join(home, ".local/share/velmora"))
            shutil.copy(log, os.path.join(home, ".local/share/velmora/log.json"))
        env = program_env(server.name, home)
        screen = Screen(server.name)
        bare = [os.path.join(build, "bench", "velmora_bare")]
        yield screen, env, learn_background(screen, bare, TITLES["bare"], env)
    finally:
        server.close()
        shutil.rmtree(home, ignore_errors=True)


def main():
    on_session_bus()
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="the build folder, e.g. build/test")
    parser.add_argument("--pairs", type=int, default=15)
    parser.add_argument("--profile", metavar="OUT_DIR", help="count instructions up to the first frame instead")
    parser.add_argument("--limit", type=float, help="with --profile: the highest ratio of instructions that passes")
    parser.add_argument("--log", metavar="LOG_JSON", help="start with this roll log kept, e.g. a full one")
    args = parser.parse_args()
    commands = {"main": [os.path.join(args.build, "velmora")],
                "bare": [os.path.join(args.build, "bench", "velmora_bare")]}

    with session(args.build, args.log) as (screen, env, background):
        if args.profile:
            profile(screen, commands, background, env, args.profile)
            main, bare = (instructions(os.path.join(args.profile, f"callgrind.{kind}")) for kind in ("main", "bare"))
            print(f"instructions to the first frame: {main:,} against the bare window's {bare:,}, "
                  f"ratio {main / bare:.4f}")
            if args.limit is not None and main > args.limit * bare:
                print(f"FAIL: start-up above {args.limit} times the bare window's")
                return 1
            return 0
        for kind in ("bare", "main"):  # warm the caches of both
            run_once(screen, commands[kind], TITLES[kind], background, env)
        runs = {"main": [], "bare": []}
        for pair in range(args.pairs):
            order = ("bare", "main") if pair % 2 == 0 else ("main", "bare")
            for kind in order:
                runs[kind].append(run_once(screen, commands[kind], TITLES[kind], background, env))

    ratio = lambda field: statistics.median(m[field] / b[field] for m, b in zip(runs["main"], runs["bare"]))
    median = lambda kind, field: statistics.median(run[field] for run in runs[kind])
    for kind in ("bare", "main"):
        print(f"{kind}: spawn to first frame median {median(kind, 0) * 1000:.1f} ms, "
              f"processor time {median(kind, 2) * 1000:.1f} ms, peak memory median {median(kind, 1):,} KiB")
    print(f"start-up ratio main/bare, median of {args.pairs} pairs: {ratio(0):.3f}")
    print(f"processor time ratio main/bare, median of {args.pairs} pairs: {ratio(2):.3f}")
    print(f"peak memory ratio main/bare, median of {args.pairs} pairs: {ratio(1):.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
