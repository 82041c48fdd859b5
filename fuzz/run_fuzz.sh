#!/bin/sh
# Builds the fuzz targets with clang in a build folder of their own and runs each one for a
# bounded time on its seed corpus; fails on the first crash, leak or sanitizer report.
#
#   fuzz/run_fuzz.sh SOURCE_DIR BUILD_DIR SECONDS_PER_TARGET
set -eu
source_dir=$1
build_dir=$2
seconds=$3

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTDEMO_SANITIZE=ON -DTEXTDEMO_FUZZ=ON -DTEXTDEMO_TESTS=OFF -DTEXTDEMO_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j2 --target fuzz_targets

for target in "$build_dir"/fuzz/*_fuzz; do
  name=$(basename "$target")
  # New inputs the fuzzer finds go to a corpus of their own, kept between runs; the seeds stay as built.
  found="$build_dir/fuzz/found/$name"
  mkdir -p "$found"
  log="$build_dir/fuzz/$name.log"
  if ! "$target" -max_total_time="$seconds" -close_fd_mask=1 -print_final_stats=1 \
       -artifact_prefix="$build_dir/fuzz/$name-" "$found" "$build_dir/fuzz/corpus/$name" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$name: FAILED (log: $log)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$name: $runs runs in ${seconds}s, no findings"
done
