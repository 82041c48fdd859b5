# private_pulse.sh: what the PulseAudio benchmarks share, sourced by them (POSIX sh).
#
# pulse_start: a private PulseAudio daemon in the folder $work whose only sink is the null
#     sink "measure", 44.1 kHz stereo; PULSE_SERVER and the runtime folders point at it.
# busy_start / busy_stop: two processes that keep the processors busy.
# pulse_cleanup: ends what was started here (by id: the daemon, the busy processes and the
#     ids the script adds to $started) and the tmux server of the socket
#     $tmux_socket (inside $work, so that the socket goes with it), and removes $work.
#     pulse_trap makes it run on exit, and on INT, TERM and HUP, after which the script dies
#     of the signal; a script that waits should wait with `wait`, which a signal interrupts.
# Needs pulseaudio and pulseaudio-utils (pactl).
pulse= busy1= busy2= started=
tmux_socket="$work/tmux.socket"

pulse_start() {
    mkdir -p "$work/runtime"
    chmod 700 "$work/runtime"
    cat > "$work/default.pa" <<PA
load-module module-null-sink sink_name=measure rate=44100 channels=2
load-module module-native-protocol-unix socket=$work/native auth-anonymous=1
set-default-sink measure
PA
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
}

busy_start() {
    sh -c 'while :; do :; done' &
    busy1=$!
    sh -c 'while :; do :; done' &
    busy2=$!
}

busy_stop() {
    kill "$busy1" "$busy2" 2>/dev/null || true
    wait "$busy1" "$busy2" 2>/dev/null || true
    busy1= busy2=
}

pulse_cleanup() {
    [ ! -S "$tmux_socket" ] || tmux -S "$tmux_socket" kill-server 2>/dev/null || true
    for pid in $started $busy1 $busy2 $pulse; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}

pulse_trap() {
    trap pulse_cleanup EXIT
    for signal in INT TERM HUP; do
        trap "pulse_cleanup; trap - EXIT $signal; kill -$signal \$\$" "$signal"
    done
}
