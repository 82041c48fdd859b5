#!/bin/sh
# Runs every input of every committed corpus (fuzz/corpus/<target>/) once through its fuzz
# target, sanitizers on, no time limit and no new inputs: the same inputs give the same
# result on every run. Fails on the first crash, leak or sanitizer report.
#
#   fuzz/replay_corpora.sh SOURCE_DIR FUZZ_BUILD_DIR
set -eu
source_dir=$1
fuzz_dir=$2

status=0
for corpus in "$source_dir"/fuzz/corpus/*/; do
  name=$(basename "$corpus")
  log="$fuzz_dir/$name-replay.log"
  count=$(find "$corpus" -type f | wc -l)
  if find "$corpus" -type f -print0 | sort -z | xargs -0 "$fuzz_dir/$name" -close_fd_mask=1 >"$log" 2>&1; then
    echo "$name: $count inputs, no findings"
  else
    tail -n 40 "$log"
    echo "$name: FAILED (log: $log)"
    status=1
  fi
done
exit $status
