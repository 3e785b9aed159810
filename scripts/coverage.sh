#!/usr/bin/env bash
# Measures the line and branch coverage of src/ by the whole test suite, with gcov and gcovr.
#
# Usage: scripts/coverage.sh [BUILD_DIR]
# BUILD_DIR defaults to `build-cov` in the repository root. Builds there with --coverage
# (g++), clears the counters of any earlier run, runs every test with ctest, then prints the
# report of gcovr: per file of src/ (unit tests excluded) the lines and branches run, with the
# numbers of the lines no test reaches, and the totals. Exits with the status of ctest.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-"$root/build-cov"}

"$root/scripts/build.sh" "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage

find "$build_dir" -name '*.gcda' -delete
status=0
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error || status=$?

# Branches the compiler adds for exceptions are left out: the code throws none of its own.
gcovr --root "$root" --object-directory "$build_dir" \
      --filter "$root/src/" --exclude '.*_test\.cc$' \
      --exclude-throw-branches --exclude-unreachable-branches \
      --sort-percentage --print-summary --txt -
exit "$status"
