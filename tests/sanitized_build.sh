#!/bin/sh
# Configures and builds the clang tree with AddressSanitizer and UndefinedBehaviorSanitizer
# the sanitized tests run in: the unit suites, the fuzz targets (replaying their corpora)
# and textdemo-capture (the whole show). Run once per test run, before those tests.
#
#   tests/sanitized_build.sh SOURCE_DIR BUILD_DIR WARNINGS_AS_ERRORS(ON|OFF)
set -eu
source_dir=$1
build_dir=$2
werror=$3

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTDEMO_SANITIZE=ON -DTEXTDEMO_FUZZ=ON -DTEXTDEMO_TESTS=ON \
  -DTEXTDEMO_BENCH=OFF -DTEXTDEMO_WERROR="$werror" >/dev/null
cmake --build "$build_dir" --target textdemo_tests textdemo-capture fuzz_targets
