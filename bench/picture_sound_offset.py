"""picture_sound_offset.py: the steps of bench/picture_sound_offset.sh.

  hash FRAMES COUNT OUT       the character planes of COUNT textdemo-capture --console frames
                              (one a millisecond from position 0) read from FRAMES, one digest
                              a line
  record RAW TIMES            parec's output from standard input into RAW; TIMES gets a line
                              per read: the monotonic time and the frames read before and after
  capture SOCKET SECONDS OUT  the pane of the tmux session "show" captured by a control client as
                              fast as it answers, for SECONDS; each pane that changed is kept
                              with the times of the capture before it and of its own
  analyse WORK CP437          matches and aligns them (see below) and prints the result

The shown position of a changed pane is the run of capture positions whose characters are the
pane's, near where the show should be (a run longer than 16 ms says too little and is left
out); it was shown between the capture before and its own, taken as the middle. The heard
position at that time comes from the recording: its frames are timed by the reads (a read
brings frames the sink rendered at most one read's length before), and aligned with the
decoded MP3 at their first sounding frames, as pulse_dropouts.py does. The offset is shown
less heard: positive when the picture is ahead.
"""
import array
import hashlib
import os
import pickle
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pulse_dropouts  # noqa: E402

RATE = pulse_dropouts.RATE
COLUMNS, ROWS = 80, 50
CELL_BYTES = 2
LONGEST_RUN_MS = 16
SEARCH_MS = 1000  # how far from the clock's guess a shown position is looked for
SGR = re.compile("\x1b\\[[0-9;:]*m")


def cp437_codes(source):
    """Unicode character -> code page 437 code, from the console's own table; blanks are 32."""
    text = open(source, encoding="utf-8").read()
    table = text[text.index("UNICODE_OF[256] = {"):]
    points = [int(value, 16) for value in re.findall(r"0x([0-9A-Fa-f]{4})", table[:table.index("};")])]
    codes = {chr(point): code for code, point in enumerate(points)}
    codes[" "] = codes["\u00a0"] = 32
    return codes


BLANKS = bytes.maketrans(b"\x00\xff", b"  ")


def frame_digest(characters):
    return hashlib.blake2b(characters.translate(BLANKS), digest_size=8).hexdigest()


def hash_frames(frames_path, count, out_path):
    size = COLUMNS * ROWS * CELL_BYTES
    with open(frames_path, "rb") as frames, open(out_path, "w") as out:
        for _ in range(count):
            frame = frames.read(size)
            if len(frame) < size:
                raise SystemExit(f"{frames_path} ended early")
            out.write(frame_digest(frame[0::2]) + "\n")


def record(raw_path, times_path):
    total = 0
    with open(raw_path, "wb") as raw, open(times_path, "w") as times:
        while True:
            data = os.read(0, 65536)
            now = time.monotonic()
            if not data:
                break
            raw.write(data)
            before, total = total, total + len(data)
            times.write(f"{now:.6f} {before // 4} {total // 4}\n")


def capture(socket, seconds, out_path):
    client = subprocess.Popen(["tmux", "-S", socket, "-C", "attach", "-f", "no-output", "-t", "show"],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def command(text):
        client.stdin.write(text.encode() + b"\n")
        client.stdin.flush()
        lines, inside = [], False
        while True:
            line = client.stdout.readline()
            if not line:
                raise SystemExit("the tmux control client ended")
            line = line.decode("utf-8", "replace").rstrip("\n")
            if line.startswith("%begin"):
                inside, lines = True, []
            elif inside and (line.startswith("%end") or line.startswith("%error")):
                return lines
            elif inside:
                lines.append(line)

    command("display-message -p ready")
    panes, last, previous = [], None, time.monotonic()
    end = previous + seconds
    while previous < end:
        pane = command("capture-pane -p -e -t show")
        now = time.monotonic()
        if pane != last:
            panes.append((previous, now, pane))
            last = pane
        previous = now
    client.stdin.close()
    client.wait()
    with open(out_path, "wb") as out:
        pickle.dump(panes, out)


def pane_characters(pane, codes):
    """The pane's character codes, row by row; None where a character is not the console's."""
    plane = bytearray()
    for line in pane[:ROWS]:
        text = SGR.sub("", line)[:COLUMNS].ljust(COLUMNS)
        for character in text:
            code = codes.get(character)
            if code is None:
                return None
            plane.append(code)
    return bytes(plane) if len(plane) == COLUMNS * ROWS else None


def sink_time_of_frames(times_path):
    """The monotonic time of recorded frame 0 (lower and upper bound): a read at time t ending at
    frame n brings frames the sink rendered before t, the last of them at most a read's length
    before t."""
    late, early = [], []
    for line in open(times_path):
        at, before, after = line.split()
        late.append(float(at) - int(after) / RATE)
        early.append(float(at) - int(before) / RATE)
    return min(late), min(early)


def analyse(work, cp437):
    codes = cp437_codes(cp437)
    positions = {}
    for position, digest in enumerate(open(os.path.join(work, "frames.digests")).read().split()):
        positions.setdefault(digest, []).append(position)
    panes = pickle.load(open(os.path.join(work, "panes.pickle"), "rb"))
    heard = pulse_dropouts.frames(os.path.join(work, "heard.raw"))
    music = pulse_dropouts.frames(os.path.join(work, "music.raw"))
    if True not in heard:
        print("the recording is silent: no music reached the sink")
        return 1
    first, last, music_first, runs, dropouts = pulse_dropouts.find_dropouts(heard, music)
    frame0_low, frame0_high = sink_time_of_frames(os.path.join(work, "heard.times"))
    frame0 = (frame0_low + frame0_high) / 2

    def heard_ms(at):
        index = (at - frame0) * RATE
        shift = sum(length for start, length in dropouts if start < index)
        return (index - first + music_first - shift) * 1000 / RATE

    offsets, unmatched, vague = [], 0, 0
    for before, after, pane in panes:
        at = (before + after) / 2
        characters = pane_characters(pane, codes)
        heard_now = heard_ms(at)
        near = [p for p in positions.get(frame_digest(characters), []) if abs(p - heard_now) <= SEARCH_MS] \
            if characters else []
        if heard_now < 0 or (last - first) * 1000 / RATE < heard_now:
            continue
        if not near:
            unmatched += 1
            continue
        run = [p for p in near if near[0] <= p <= near[0] + LONGEST_RUN_MS + 1]
        if len(run) != len(near) or run[-1] - run[0] > LONGEST_RUN_MS or after - before > 0.010:
            vague += 1
            continue
        offsets.append((run[0] + run[-1]) / 2 - heard_now)
    pulse_dropouts.print_dropouts(first, last, runs, dropouts)
    print(f"panes that changed: {len(panes)}; matched to one position within {LONGEST_RUN_MS} ms "
          f"and timed within 10 ms: {len(offsets)}; not found near the clock: {unmatched}; "
          f"too vague: {vague}")
    if not offsets:
        return 1
    uncertainty = (frame0_high - frame0_low) * 1000 / 2
    sizes = sorted(abs(offset) for offset in offsets)
    print(f"picture minus sound (ms, positive: the picture ahead): mean {statistics.mean(offsets):+.1f}, "
          f"sd {statistics.pstdev(offsets):.1f}, median {statistics.median(offsets):+.1f}, "
          f"95% within {sizes[len(sizes) * 95 // 100]:.1f}, worst {max(offsets, key=abs):+.1f}; "
          f"the heard time is known within +-{uncertainty:.1f} ms (the recorder's reads)")
    return 0 if not dropouts else 2


def main():
    step = sys.argv[1]
    if step == "hash":
        hash_frames(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    elif step == "record":
        record(sys.argv[2], sys.argv[3])
    elif step == "capture":
        capture(sys.argv[2], float(sys.argv[3]), sys.argv[4])
    elif step == "analyse":
        return analyse(sys.argv[2], sys.argv[3])
    return 0


if __name__ == "__main__":
    sys.exit(main())
