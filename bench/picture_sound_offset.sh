#!/bin/sh
# picture_sound_offset.sh: is the picture in step with the music heard, on a busy machine?
# textdemo-console plays the show for SECONDS (default 60) in tmux, at 80 x 50 in its native
# layout, through a private PulseAudio daemon whose only sink is a null sink, with two busy
# processes beside it (bench/private_pulse.sh). The sink's monitor is recorded with parec,
# each read timed; a tmux control client captures the pane as fast as it answers, each
# capture timed. Every changed pane is matched against textdemo-capture's frames (one a
# millisecond) for the position shown, the recording aligned with the decoded MP3 for the
# position heard at that time; the script prints the mean, spread and worst of picture
# minus sound and any silence inside the music (pulse_dropouts.py's search).
#
#     sh bench/picture_sound_offset.sh build [SECONDS]
#
# Needs pulseaudio, pulseaudio-utils (parec, pactl), tmux 3.2 or later, ffmpeg and python3.
# Everything runs in a folder of its own that is removed afterwards, also when the script is
# interrupted; only processes started here are ended, by their ids. Exit status: 0, 1 when
# nothing could be measured, 2 with dropouts.
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
cp437=$here/../display/console/cp437.cpp
archive=$build/share/textdemo/ruk.salad
work=$(mktemp -d /tmp/picture_sound_offset.XXXXXX)
. "$here/private_pulse.sh"
pulse_trap

# The frames the show can draw, before the machine is made busy. The FIFO is held open for
# reading here, so that the capture tool (which opens it without waiting) finds a reader.
mkfifo "$work/frames"
exec 3<>"$work/frames"
last_ms=$(((seconds + 1) * 1000))
python3 "$here/picture_sound_offset.py" hash "$work/frames" $((last_ms + 1)) "$work/frames.digests" &
started=$!
"$build/bin/textdemo-capture" --from 0 --to "$last_ms" --step 1 --console "$work/frames" \
    --archive "$archive" >/dev/null
wait "$started"
exec 3<&-
"$build/bin/salad" extract "$archive" "$work" ruk.mp3 >/dev/null
ffmpeg -loglevel error -i "$work/ruk.mp3" -f s16le -ac 2 -ar 44100 "$work/music.raw"

pulse_start
parec -d measure.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 2>/dev/null |
    python3 "$here/picture_sound_offset.py" record "$work/heard.raw" "$work/heard.times" &
recorder=$!
started=$recorder
busy_start
tmux -S "$tmux_socket" -f /dev/null new-session -d -s show -x 80 -y 50 \
    "sh -c 'echo \$\$ > $work/console.pid; exec env SDL_AUDIODRIVER=pulseaudio TERM=xterm-256color \
     $build/bin/textdemo-console --layout native --colors 16 --archive $archive'; sleep 600"
python3 "$here/picture_sound_offset.py" capture "$tmux_socket" "$seconds" "$work/panes.pickle" &
started="$started $!"
wait $!
kill -TERM "$(cat "$work/console.pid")" 2>/dev/null || true
sleep 1
load=$(cut -d' ' -f1-3 /proc/loadavg)
busy_stop
kill "$pulse"  # the recorder ends with the daemon
wait "$recorder" 2>/dev/null || true
echo "load average at the end: $load"
python3 "$here/picture_sound_offset.py" analyse "$work" "$cp437"
