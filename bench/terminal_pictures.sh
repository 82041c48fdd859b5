#!/bin/sh
# Every terminal picture case: xterm, kitty (software OpenGL) and alacritty at 80 x 24,
# 100 x 60 and 200 x 60, each on an Xvfb display of its own, and plain xterm's 24-bit colour
# found by asking. The suite runs only one case of each (they take 3 to 7 s apiece); this
# runs them all and prints what each screenshot measured, and the share of 300 rapid xterm
# screenshots that show parts of more than one frame (xterm has no synchronized output).
# SHOTS=DIR keeps the screenshots; DISPLAY_NUMBER=N runs every Xvfb on :N (one at a time)
# rather than on the first free display. Arguments after BUILD go to the test program, e.g.
# --gtest_filter='*TornFrames*' for the torn-frame share alone (bench/xterm_torn_frames.sh
# compares programs by it).
#   sh bench/terminal_pictures.sh [BUILD [OPTIONS]]   (needs `make test`'s packages and alacritty)
build=${1:-build}
[ $# -gt 0 ] && shift
program="$build/tests/textdemo_terminal_picture_tests"
[ -x "$program" ] || { echo "no $program: build with -DTEXTDEMO_TESTS=ON first" >&2; exit 1; }
if [ -n "$SHOTS" ]; then
    mkdir -p "$SHOTS" || exit 1
    export TEXTDEMO_TERMINAL_SHOTS="$SHOTS"
fi
[ -n "$DISPLAY_NUMBER" ] && export TEXTDEMO_TERMINAL_DISPLAY="$DISPLAY_NUMBER"
exec "$program" --gtest_also_run_disabled_tests "$@"
