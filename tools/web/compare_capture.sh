#!/bin/sh
# Renders the same song positions with the native textdemo-capture and with the one compiled
# to WebAssembly (run by Node) and compares every pixel word of every frame.
#
#   tools/web/compare_capture.sh NATIVE_CAPTURE WASM_CAPTURE_JS NATIVE_ARCHIVE WEB_ARCHIVE [POSITIONS...]
#
# POSITIONS are the capture tool's (--at MS,... or --from MS --to MS); without them, the
# whole show every 16 ms. Prints the frame count and the hash of all words, or how many
# words of how many frames differ (exit 1). The two archives hold the same content (the
# site's is packed with stored entries).
set -eu
native=$1
wasm=$2
native_archive=$3
web_archive=$4
shift 4

work=$(mktemp -d "${TMPDIR:-/tmp}/textdemo-web-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ $# -eq 0 ]; then
  end=$("$native" --archive "$native_archive" --at 4294967294 --words /dev/null 2>&1 |
        sed -n "s/.*music's end at \([0-9]*\) ms.*/\1/p")
  [ -n "$end" ] || { echo "cannot read the music's length from $native"; exit 2; }
  set -- --from 0 --to "$end"
fi

start=$(date +%s.%N)
"$native" --archive "$native_archive" "$@" --words "$work/native.words" 2>"$work/native.log" ||
  { cat "$work/native.log"; exit 2; }
middle=$(date +%s.%N)
node --no-experimental-fetch "$wasm" --archive "$web_archive" "$@" --words "$work/wasm.words" 2>"$work/wasm.log" ||
  { cat "$work/wasm.log"; exit 2; }
finish=$(date +%s.%N)

frames=$(( $(stat -c %s "$work/native.words") / 16000 ))
native_hash=$(sha256sum <"$work/native.words" | cut -c1-64)
wasm_hash=$(sha256sum <"$work/wasm.words" | cut -c1-64)
times=$(echo "$start $middle $finish" | awk '{ printf "native %.1f s, wasm %.1f s", $2 - $1, $3 - $2 }')
if [ "$native_hash" = "$wasm_hash" ]; then
  echo "$frames frames, every pixel word equal: sha256 $native_hash ($times)"
  exit 0
fi
python3 - "$work/native.words" "$work/wasm.words" <<'PY'
import sys
a, b = (open(p, 'rb').read() for p in sys.argv[1:3])
frame = 16000
if len(a) != len(b):
    print(f"the native capture wrote {len(a) // frame} frames, the wasm one {len(b) // frame}")
    sys.exit(1)
words = frames = 0
for f in range(0, len(a), frame):
    x, y = a[f:f + frame], b[f:f + frame]
    if x == y:
        continue
    frames += 1
    words += sum(1 for i in range(0, frame, 4) if x[i:i + 4] != y[i:i + 4])
print(f"{words} pixel words differ in {frames} of {len(a) // frame} frames")
PY
exit 1
