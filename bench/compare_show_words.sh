#!/bin/sh
# Renders the whole show, every 16 ms from 0 to the music's end, with two builds of
# textdemo-capture and lists every pixel word that differs between them: frame, song
# position, column, row, the two words, and for preset words that differ only in their
# lightness byte the step between them. Prints a summary line last; exits 1 when any
# word differs.
#
#   bench/compare_show_words.sh CAPTURE_BEFORE CAPTURE_AFTER ARCHIVE
#
# e.g. a copy of build/bin/textdemo-capture from before a change, and the one
# built after it, with build/share/textdemo/ruk.salad.
set -eu
if [ $# -ne 3 ]; then
  echo "usage: $0 CAPTURE_BEFORE CAPTURE_AFTER ARCHIVE" >&2
  exit 2
fi
before=$1
after=$2
archive=$3

# The music's end, from the warning for a position past it.
end=$("$after" --archive "$archive" --at 4294967295 --words /dev/null 2>&1 |
      sed -n "s/.*past the music's end at \([0-9]*\) ms.*/\1/p")
if [ -z "$end" ]; then
  echo "$0: cannot tell the music's end from $after" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
"$before" --archive "$archive" --from 0 --to "$end" --words "$work/before"
"$after" --archive "$archive" --from 0 --to "$end" --words "$work/after"

# cmp -l gives the 1-based offsets of the differing bytes; words are four bytes each,
# little-endian, 4000 a frame. A preset word (kind 1, the top byte) has its lightness in
# byte 1.
cmp -l "$work/before" "$work/after" >"$work/bytes" || [ $? -eq 1 ]
frames=$(( $(wc -c <"$work/before") / 16000 ))
words=0
one_step=0
for w in $(awk '{ print int(($1 - 1) / 4) }' "$work/bytes" | uniq); do
  b=$(od -A n -t u4 -j $((w * 4)) -N 4 "$work/before" | tr -d ' ')
  a=$(od -A n -t u4 -j $((w * 4)) -N 4 "$work/after" | tr -d ' ')
  frame=$((w / 4000))
  cell=$((w % 4000))
  line=$(printf 'frame %d (%d ms) x %d y %d: %08x -> %08x' $frame $((frame * 16)) $((cell % 80)) $((cell / 80)) "$b" "$a")
  if [ $((b >> 24)) -eq 1 ] && [ $(((b ^ a) & 0xFFFF00FF)) -eq 0 ]; then
    step=$((((a >> 8) & 255) - ((b >> 8) & 255)))
    line="$line, lightness $step"
    if [ $step -eq 1 ] || [ $step -eq -1 ]; then one_step=$((one_step + 1)); fi
  fi
  echo "$line"
  words=$((words + 1))
done
echo "$frames frames, $((frames * 4000)) pixel words compared: $words differ ($one_step by one lightness step)"
[ $words -eq 0 ]
