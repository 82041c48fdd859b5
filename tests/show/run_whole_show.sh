#!/bin/sh
# Builds textdemo-capture with clang, AddressSanitizer and UndefinedBehaviorSanitizer in the
# clang build folder the fuzz run uses, then renders and checks the whole show with it.
#
#   tests/show/run_whole_show.sh SOURCE_DIR CLANG_BUILD_DIR CHECKER ARCHIVE
set -eu
source_dir=$1
build_dir=$2
checker=$3
archive=$4

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTDEMO_SANITIZE=ON -DTEXTDEMO_FUZZ=ON -DTEXTDEMO_TESTS=OFF \
  -DTEXTDEMO_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j2 --target textdemo-capture
# Leaks count as findings too: the capture tears the show down like the programs do.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$checker" "$build_dir/bin/textdemo-capture" "$archive"
