#!/usr/bin/env bash
# Builds lintkeeper with warnings as errors in `build-ci` and runs the whole test suite.
#
# Usage: scripts/test.sh
# Installs what is missing first. Exits with the status of ctest: 0 when every test passed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build-ci"

"$root/scripts/build.sh" "$build_dir" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

# --no-tests=error: a suite that registered no test is a failure, not a pass.
exec ctest --test-dir "$build_dir" --output-on-failure --no-tests=error
