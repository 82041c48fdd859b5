#!/bin/sh
# Every terminal picture case: xterm, kitty (software OpenGL) and alacritty at 80 x 24,
# 100 x 60 and 200 x 60, each on an Xvfb display of its own, and plain xterm's 24-bit colour
# found by asking. The suite runs only one case of each (they take 3 to 7 s apiece); this
# runs them all and prints what each screenshot measured, and the share of 300 rapid xterm
# screenshots that show parts of more than one frame (xterm has no synchronized output).
# SHOTS=DIR keeps the screenshots.
#   sh bench/terminal_pictures.sh [BUILD]   (needs `make test`'s packages and alacritty)
build=${1:-build}
program="$build/tests/textdemo_terminal_picture_tests"
[ -x "$program" ] || { echo "no $program: build with -DTEXTDEMO_TESTS=ON first" >&2; exit 1; }
if [ -n "$SHOTS" ]; then
    mkdir -p "$SHOTS" || exit 1
    export TEXTDEMO_TERMINAL_SHOTS="$SHOTS"
fi
exec "$program" --gtest_also_run_disabled_tests
