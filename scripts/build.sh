#!/usr/bin/env bash
# Installs what is missing, then configures and builds lintkeeper with CMake and Ninja.
#
# Usage: scripts/build.sh [BUILD_DIR [CMAKE_ARGS...]]
# BUILD_DIR defaults to `build` in the repository root; a relative BUILD_DIR is taken from the
# current directory. CMAKE_ARGS go to the configure step, for example
#   scripts/build.sh build-asan -DLINTKEEPER_SANITIZE=ON
# A new build directory gets the RelWithDebInfo build type; an existing one keeps its settings,
# but that the tests are always built (scripts/example.sh makes build/ without them).
# CMAKE_BUILD_PARALLEL_LEVEL=N limits the number of compile jobs.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-"$root/build"}
shift || true

"$root/scripts/setup.sh"

configure=(cmake -S "$root" -B "$build_dir")
if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
  configure+=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
"${configure[@]}" --log-level=WARNING -DLINTKEEPER_TESTS=ON "$@"
cmake --build "$build_dir"
