#!/bin/sh
# The web build's capture tool under Node against the native one: a second of 16 ms frames
# in each of the nine slots (two seconds after each section's start), every pixel word.
#
#   tests/web/capture_stretches.sh SOURCE_DIR NATIVE_CAPTURE NATIVE_ARCHIVE WEB_BUILD
# Skipped (exit 77) when the web build is not there (`make web` builds it; `make test` does).
set -eu
source_dir=$1
native=$2
native_archive=$3
web_build=$4
wasm=$web_build/bin/textdemo-capture.js
if [ ! -f "$wasm" ] || [ ! -f "$web_build/site/ruk.salad" ]; then
  echo "no web build in $web_build (make web)"
  exit 77
fi
# The sections' starts, as --section finds them in the show's timeline.
positions=""
for section_ms in 0 33488 55813 78139 100443 117209 133931 156279 189767; do
  frame=0
  while [ $frame -lt 63 ]; do
    positions="$positions${positions:+,}$((section_ms + 2000 + frame * 16))"
    frame=$((frame + 1))
  done
done
exec "$source_dir/tools/web/compare_capture.sh" "$native" "$wasm" "$native_archive" "$web_build/site/ruk.salad" --at "$positions"
