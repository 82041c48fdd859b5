#!/bin/sh
# The time of a frame as the web page makes it (draw, convert, picture), natively and as
# WebAssembly under Node, one after the other on this machine: frame_time_bench of the
# native build (`make build OPTIONS=-DTEXTDEMO_BENCH=ON`) and of the web build (`make web`)
# over the whole show, with the load average before and after.
#
#   sh bench/web_frame_time.sh [BUILD [WEB_BUILD [PASSES]]]    (default: build build-web 3)
set -eu
build=${1:-build}
web_build=${2:-build-web}
passes=${3:-3}
for program in "$build/bench/frame_time_bench" "$web_build/bench/frame_time_bench.js"; do
  [ -f "$program" ] || { echo "no $program: build it first" >&2; exit 2; }
done
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'native: '
"$build/bench/frame_time_bench" "$build/share/textdemo/ruk.salad" "$passes"
printf 'wasm:   '
NODE_PATH=/usr/share/nodejs node --no-experimental-fetch "$web_build/bench/frame_time_bench.js" \
  "$web_build/site/ruk.salad" "$passes"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
