#!/usr/bin/env bash
# Builds lintkeeper, then checks the example system crontab examples/crontab with it.
#
# Usage: scripts/example.sh
# Installs what building needs first (scripts/setup.sh --build), and builds the program alone:
# a new build/ is made without the tests and without debugging information, which scripts/build.sh
# adds when it builds there later. Prints lintkeeper's report and what its exit status means.
# Exits 0 when lintkeeper ran and gave one of its statuses 0, 1 or 2; the example holds errors
# on purpose, so 2 is the expected status. Any other status (a failed build, a crash) is passed on.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/setup.sh --build
if [[ ! -f build/CMakeCache.txt ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DLINTKEEPER_TESTS=OFF \
      --log-level=WARNING
fi
cmake --build build --target lintkeeper

echo
echo "$ build/lintkeeper examples/crontab"
status=0
build/lintkeeper examples/crontab || status=$?
echo

case $status in
  0) echo "lintkeeper exited with status 0: no error, and no more warnings than --fail-warnings." ;;
  1) echo "lintkeeper exited with status 1: no error, but more warnings than --fail-warnings." ;;
  2) echo "lintkeeper exited with status 2: at least one error (the example has one on purpose)." ;;
  *) echo "lintkeeper failed with status $status." >&2
     exit "$status" ;;
esac
