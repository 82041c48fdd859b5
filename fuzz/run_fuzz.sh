#!/bin/sh
# Builds the fuzz targets with clang in a build folder of their own and runs each one for a
# bounded time, starting from its committed corpus; fails on the first crash, leak or
# sanitizer report. Inputs found that reach code the committed corpus does not are then
# added to fuzz/corpus/<target>/ (libFuzzer's merge keeps only those), ready to commit.
#
#   fuzz/run_fuzz.sh SOURCE_DIR BUILD_DIR SECONDS_PER_TARGET
set -eu
source_dir=$1
build_dir=$2
seconds=$3

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTDEMO_SANITIZE=ON -DTEXTDEMO_FUZZ=ON -DTEXTDEMO_TESTS=OFF -DTEXTDEMO_BENCH=OFF >/dev/null
cmake --build "$build_dir" --target fuzz_targets

for corpus in "$source_dir"/fuzz/corpus/*/; do
  name=$(basename "$corpus")
  target="$build_dir/fuzz/$name"
  # What this run finds goes to a folder of its own; the committed corpus is only read.
  found="$build_dir/fuzz/found/$name"
  rm -rf "$found"
  mkdir -p "$found"
  log="$build_dir/fuzz/$name.log"
  if ! "$target" -max_total_time="$seconds" -close_fd_mask=1 -print_final_stats=1 \
       -artifact_prefix="$build_dir/fuzz/$name-" "$found" "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$name: FAILED (log: $log)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  before=$(find "$corpus" -type f | wc -l)
  "$target" -merge=1 -use_counters=0 -close_fd_mask=1 "$corpus" "$found" >"$log.merge" 2>&1
  added=$(($(find "$corpus" -type f | wc -l) - before))
  echo "$name: $runs runs in ${seconds}s, no findings; $added new inputs in fuzz/corpus/$name"
done
