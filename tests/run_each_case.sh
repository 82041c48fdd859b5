#!/bin/sh
# Runs every case of a GoogleTest binary in a process of its own, as CTest runs the unit
# cases of the main build (some suites share loaded resources between their cases), and
# fails if any case fails, naming each.
#
#   tests/run_each_case.sh TEST_BINARY
set -eu
binary=$1
failed=0
for case in $("$binary" --gtest_list_tests | awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }'); do
  if ! output=$("$binary" --gtest_filter="$case" 2>&1); then
    printf '%s\n' "$output" | tail -n 40
    echo "FAILED: $case"
    failed=$((failed + 1))
  fi
done
echo "$failed failed cases"
[ "$failed" = 0 ]
