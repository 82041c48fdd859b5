#!/usr/bin/env python3
"""console_cost.py: what textdemo-console costs the machine and the line.

    python3 bench/console_cost.py build [--seconds 60] [--start TIME]

Runs build/bin/textdemo-console in a pseudo-terminal for SECONDS of the show in each of
native-16 80 x 50, native-truecolor 80 x 50, half-16 80 x 24 and half-truecolor 80 x 24
(forced with --layout and --colors, so nothing depends on what the environment says).
The script is the terminal: it reads the pty as fast as the program writes and discards
what it reads, noting when each frame begins (every frame is wrapped in CSI ? 2026 h ...
CSI ? 2026 l). At the end the program gets SIGTERM, the pty is read until the program
lets go of it, and the child's resource usage is taken from wait4.

Prints one table: CPU seconds per wall second of the program (user, system; start-up and
teardown included), bytes and frames per second, and the median and 99th-percentile
interval between the starts of consecutive frames, with the load average before and
after. The program runs in a folder of its own (removed at the end) with no sound device
asked for (SDL's dummy audio driver), so the clock alone paces the show.
"""
import argparse
import fcntl
import os
import select
import signal
import struct
import sys
import tempfile
import termios
import time

FRAME_BEGIN = b"\x1b[?2026h"
RUNS = [
    ("native-16", "native", "16", 50, 80),
    ("native-truecolor", "native", "truecolor", 50, 80),
    ("half-16", "half", "16", 24, 80),
    ("half-truecolor", "half", "truecolor", 24, 80),
]
# How long the program may take to let go of the terminal after SIGTERM.
TEARDOWN_SECONDS = 5


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


def percentile(values, share):
    if not values:
        return 0.0
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def run(program, archive, folder, layout, colours, rows, columns, seconds, start):
    """One run; returns (user, system, wall, bytes, frame start times)."""
    pid, terminal = os.forkpty()
    if pid == 0:
        try:
            os.chdir(folder)
            env = dict(os.environ, TERM="xterm-256color", SDL_AUDIODRIVER="dummy")
            env.pop("COLORTERM", None)
            arguments = [program, "--archive", archive, "--layout", layout, "--colors", colours, "--start", start]
            os.execve(program, arguments, env)
        finally:
            os._exit(127)
    fcntl.ioctl(terminal, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
    began = time.monotonic()
    total = 0
    frame_starts = []
    tail = b""  # the end of the last read, for a marker cut between two reads
    stop_at = began + seconds
    stopped = False
    while True:
        now = time.monotonic()
        if not stopped and now >= stop_at:
            os.kill(pid, signal.SIGTERM)
            stopped = True
        if stopped and now >= stop_at + TEARDOWN_SECONDS:
            os.kill(pid, signal.SIGKILL)
            break
        ready, _, _ = select.select([terminal], [], [], 0.05)
        if not ready:
            continue
        try:
            chunk = os.read(terminal, 1 << 16)
        except OSError:  # EIO: the program has closed the terminal
            break
        if not chunk:
            break
        at = time.monotonic()
        seen = tail + chunk
        if not stopped:
            frame_starts.extend(at for _ in range(seen.count(FRAME_BEGIN)))
        total += len(chunk)
        tail = seen[-(len(FRAME_BEGIN) - 1):]
    _, status, usage = os.wait4(pid, 0)
    wall = time.monotonic() - began
    os.close(terminal)
    if os.WIFEXITED(status) and os.WEXITSTATUS(status) == 127:
        sys.exit(f"console_cost: could not start {program}")
    return usage.ru_utime, usage.ru_stime, wall, total, frame_starts


def main():
    parser = argparse.ArgumentParser(description="CPU, bytes and frame pacing of textdemo-console in a pty")
    parser.add_argument("build", help="the build folder (bin/textdemo-console, share/textdemo/ruk.salad)")
    parser.add_argument("--seconds", type=float, default=60.0, help="show time per run (default 60)")
    parser.add_argument("--start", default="0", help="where in the music each run starts (default 0)")
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    program = os.path.join(build, "bin", "textdemo-console")
    archive = os.path.join(build, "share", "textdemo", "ruk.salad")
    for path in (program, archive):
        if not os.path.exists(path):
            sys.exit(f"console_cost: {path}: no such file")

    rows = []
    load_before = load_average()
    with tempfile.TemporaryDirectory(prefix="console_cost.") as folder:
        for name, layout, colours, height, width in RUNS:
            user, system, wall, total, starts = run(program, archive, folder, layout, colours, height, width,
                                                    options.seconds, options.start)
            intervals = [(b - a) * 1000 for a, b in zip(starts, starts[1:])]
            span = starts[-1] - starts[0] if len(starts) > 1 else 0
            rows.append((name, f"{width} x {height}", user / wall, system / wall, total / wall,
                         (len(starts) - 1) / span if span > 0 else 0.0, percentile(intervals, 0.5),
                         percentile(intervals, 0.99), len(starts)))
    load_after = load_average()

    print(f"textdemo-console in a pty, {options.seconds:g} s of the show from {options.start} each, "
          f"load average {load_before:.1f} before, {load_after:.1f} after, {os.cpu_count()} CPUs\n")
    print("| run | terminal | user CPU s / s | system CPU s / s | bytes / s | frames / s | "
          "median interval ms | p99 interval ms |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    for name, terminal, user, system, rate, fps, median, p99, _ in rows:
        print(f"| {name} | {terminal} | {user:.4f} | {system:.4f} | {rate:,.0f} | {fps:.1f} | {median:.1f} | {p99:.1f} |")


if __name__ == "__main__":
    main()
