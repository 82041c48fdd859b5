#!/bin/sh
# pulse_dropouts.sh: does the music drop out on a busy machine? textdemo-console plays the
# show for SECONDS (default 60) through a private PulseAudio daemon whose only sink is a null
# sink, with two busy processes beside it; the sink's monitor is recorded with parec, and the
# recording is searched for silence inside the music (runs of digital zeros where the
# decoded MP3, aligned with the recording, is not silent).
#
#     sh bench/pulse_dropouts.sh build [SECONDS]
#
# Needs pulseaudio, pulseaudio-utils (parec, pactl), tmux, ffmpeg and python3. Everything
# runs in a folder of its own that is removed afterwards, also when the script is
# interrupted (the tmux socket lives there too); only processes started here are ended, by
# their ids (bench/private_pulse.sh).
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/pulse_dropouts.XXXXXX)
. "$here/private_pulse.sh"
pulse_trap

pulse_start
parec -d measure.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 >"$work/heard.raw" &
recorder=$!
started=$recorder
busy_start

tmux -S "$tmux_socket" -f /dev/null new-session -d -x 80 -y 50 \
    "sh -c 'echo \$\$ > $work/console.pid; exec env SDL_AUDIODRIVER=pulseaudio TERM=xterm-256color \
     $build/bin/textdemo-console --archive $build/share/textdemo/ruk.salad'; echo exit code \$?; sleep 600"
sleep "$seconds" &
started="$started $!"
wait $!
console=$(cat "$work/console.pid")
tmux -S "$tmux_socket" capture-pane -p >"$work/pane.txt" 2>/dev/null || true
kill -TERM "$console" 2>/dev/null || true
sleep 1
kill "$recorder"
wait "$recorder" 2>/dev/null || true
busy_stop
load=$(cut -d' ' -f1-3 /proc/loadavg)

"$build/bin/salad" extract "$build/share/textdemo/ruk.salad" "$work" ruk.mp3 >/dev/null
ffmpeg -loglevel error -i "$work/ruk.mp3" -f s16le -ac 2 -ar 44100 "$work/music.raw"
echo "load average at the end: $load"
python3 "$here/pulse_dropouts.py" "$work/heard.raw" "$work/music.raw" || {
    status=$?
    echo "the pane at the end:"
    grep -v '^$' "$work/pane.txt" | tail -5
    exit "$status"
}
