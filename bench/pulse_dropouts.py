"""pulse_dropouts.py HEARD MUSIC: silence inside the music of a recording.

Both files are 16-bit stereo at 44.1 kHz. The recording is aligned with the decoded music
at their first sounding frames; every run of at least 1 ms of digital zeros between the
first and the last sounding frame of the recording is listed, and counted as a dropout
unless the music itself is silent there (the alignment moves on by each dropout found).
"""
import array
import sys

RATE = 44100
SHORTEST_MS = 1


def frames(path):
    samples = array.array("h")
    with open(path, "rb") as f:
        samples.frombytes(f.read())
    if sys.byteorder != "little":
        samples.byteswap()
    return [(samples[i] | samples[i + 1]) != 0 for i in range(0, len(samples) - 1, 2)]


def silent_runs(sounding, first, last, shortest):
    runs, start = [], None
    for i in range(first, last + 1):
        if not sounding[i]:
            if start is None:
                start = i
        elif start is not None:
            if i - start >= shortest:
                runs.append((start, i - start))
            start = None
    return runs


def find_dropouts(heard, music):
    """The recording's first and last sounding frames, the music's first, the silent runs
    inside the recording and those of them that are dropouts ((start, length) in frames)."""
    first = heard.index(True)
    last = len(heard) - 1 - heard[::-1].index(True)
    music_first = music.index(True)
    shortest = RATE * SHORTEST_MS // 1000
    runs = silent_runs(heard, first, last, shortest)
    dropouts, shift = [], 0
    for start, length in runs:
        at = start - first + music_first - shift
        music_silent = all(not music[j] for j in range(max(at, 0), min(at + length, len(music))))
        if not music_silent:
            dropouts.append((start, length))
            shift += length
    return first, last, music_first, runs, dropouts


def print_dropouts(first, last, runs, dropouts):
    print(f"music heard: {(last - first + 1) / RATE:.1f} s; silent runs of {SHORTEST_MS} ms or more "
          f"inside it: {len(runs)}, of which dropouts: {len(dropouts)}, "
          f"{sum(length for _, length in dropouts) * 1000 / RATE:.1f} ms in all")
    for start, length in dropouts:
        print(f"  dropout at {(start - first) / RATE:8.3f} s: {length * 1000 / RATE:.1f} ms")


def main():
    heard, music = frames(sys.argv[1]), frames(sys.argv[2])
    if True not in heard:
        print("the recording is silent: no music reached the sink")
        return 1
    first, last, _, runs, dropouts = find_dropouts(heard, music)
    print_dropouts(first, last, runs, dropouts)
    return 0 if not dropouts else 2


if __name__ == "__main__":
    sys.exit(main())
