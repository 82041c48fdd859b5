#!/bin/sh
# The share of rapid xterm screenshots that show parts of more than one frame (the
# DISABLED_Measure/TornFrames case of tests/terminals/terminal_picture_test.cpp: 300 shots
# 23 ms apart of xterm at 100 x 60, each 5-row band matched against the frames of every
# millisecond), for one or more textdemo-console programs in turns, ROUNDS times each, then
# each program's median. The share rises and falls with what else the machine runs (two
# runs of one program a minute apart differ by 20 points on a busy machine), so programs
# are compared only in turns, under the same load.
#   sh bench/xterm_torn_frames.sh BUILD [ROUNDS [PROGRAM...]]
# PROGRAM defaults to BUILD's textdemo-console; ROUNDS to 2. DISPLAY_NUMBER=N runs Xvfb on
# display :N rather than on the first free one.
build=${1:?usage: sh bench/xterm_torn_frames.sh BUILD [ROUNDS [PROGRAM...]]}
rounds=${2:-2}
[ $# -gt 2 ] && shift 2 || set -- "$build/bin/textdemo-console"
program="$build/tests/textdemo_terminal_picture_tests"
[ -x "$program" ] || { echo "no $program: build with -DTEXTDEMO_TESTS=ON first" >&2; exit 1; }
for console in "$@"; do
    [ -x "$console" ] || { echo "no program $console" >&2; exit 1; }
done
[ -n "$DISPLAY_NUMBER" ] && export TEXTDEMO_TERMINAL_DISPLAY="$DISPLAY_NUMBER"
results=$(mktemp) || exit 1
trap 'rm -f "$results"' EXIT
round=1
while [ "$round" -le "$rounds" ]; do
    for console in "$@"; do
        line=$(TEXTDEMO_TERMINAL_CONSOLE="$console" "$program" --gtest_also_run_disabled_tests \
            --gtest_filter='DISABLED_Measure/TornFrames.*' | grep '^xterm torn frames:')
        [ -n "$line" ] || { echo "$console: no measurement (is xterm or Xvfb missing?)" >&2; exit 1; }
        echo "$console: ${line#xterm torn frames: }"
        share=$(echo "$line" | sed 's/^[^(]*(\([0-9.]*\)%).*/\1/')
        echo "$console $share" >>"$results"
    done
    round=$((round + 1))
done
for console in "$@"; do
    grep -F "$console " "$results" | awk '{print $NF}' | sort -n |
        awk -v name="$console" '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
            printf "%s: median %.1f%% of %d runs\n", name, m, NR}'
done
