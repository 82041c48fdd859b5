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
# runs in a folder of its own that is removed afterwards; only processes started here are
# ended, by their ids.
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/pulse_dropouts.XXXXXX)
server=pulse_dropouts_$$
pulse= recorder= busy1= busy2=

cleanup() {
    tmux -L "$server" kill-server 2>/dev/null || true
    for pid in $recorder $busy1 $busy2 $pulse; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/runtime"
chmod 700 "$work/runtime"
cat > "$work/default.pa" <<EOF
load-module module-null-sink sink_name=measure rate=44100 channels=2
load-module module-native-protocol-unix socket=$work/native auth-anonymous=1
set-default-sink measure
EOF
export XDG_RUNTIME_DIR="$work/runtime" PULSE_RUNTIME_PATH="$work/runtime" HOME="$work"
pulseaudio -n -F "$work/default.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disallow-module-loading --log-target=file:"$work/pulse.log" &
pulse=$!
export PULSE_SERVER="unix:$work/native"
tries=0
until pactl info >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || { echo "pulseaudio did not start" >&2; exit 1; }
    sleep 0.1
done

parec -d measure.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 >"$work/heard.raw" &
recorder=$!
sh -c 'while :; do :; done' &
busy1=$!
sh -c 'while :; do :; done' &
busy2=$!

tmux -L "$server" -f /dev/null new-session -d -x 80 -y 50 \
    "sh -c 'echo \$\$ > $work/console.pid; exec env SDL_AUDIODRIVER=pulseaudio TERM=xterm-256color \
     $build/bin/textdemo-console --archive $build/share/textdemo/ruk.salad'; echo exit code \$?; sleep 600"
sleep "$seconds"
console=$(cat "$work/console.pid")
tmux -L "$server" capture-pane -p >"$work/pane.txt" 2>/dev/null || true
kill -TERM "$console" 2>/dev/null || true
sleep 1
kill "$recorder" "$busy1" "$busy2"
wait "$recorder" "$busy1" "$busy2" 2>/dev/null || true
recorder= busy1= busy2=
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
