#!/usr/bin/env bash
# Checks that every C++ file is formatted, then builds lintkeeper with warnings as errors and
# runs the whole test suite three ways: a plain build in `build-ci`, the same under
# AddressSanitizer and UBSan in `build-asan` (built with the portable code in place of the SSE2
# paths, so that both are tested), and the libFuzzer targets (clang) in `build-fuzz`, each run
# for a short while from its seed corpus. Between them it builds the web page (WebAssembly, in
# `build-web`) and tests it in a headless Chromium against the program of `build-ci`.
#
# Usage: scripts/test.sh
# Installs what is missing first. FUZZ_SECONDS (default 60) is the time given to each fuzz
# target; 0 skips fuzzing. WEB=0 skips the web page. Exits 0 when every test passed and no fuzz
# target found anything.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_seconds=${FUZZ_SECONDS:-60}
failed=()

"$root/scripts/setup.sh"
"$root/scripts/check_format.sh" || failed+=(format)

# --no-tests=error: a suite that registered no test is a failure, not a pass.
"$root/scripts/build.sh" "$root/build-ci" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
ctest --test-dir "$root/build-ci" --output-on-failure --no-tests=error || failed+=(tests)

if [[ "${WEB:-1}" != 0 ]]; then
  LINTKEEPER_NATIVE_BUILD="$root/build-ci" "$root/scripts/web.sh" --test || failed+=(web)
fi

# The sanitizers stop at the first fault (-fno-sanitize-recover), so a fault fails its test.
"$root/scripts/build.sh" "$root/build-asan" -DLINTKEEPER_SANITIZE=ON -DLINTKEEPER_SCALAR=ON \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
ctest --test-dir "$root/build-asan" --output-on-failure --no-tests=error ||
  failed+=(sanitizer-tests)

if [[ "$fuzz_seconds" != 0 ]]; then
  "$root/scripts/fuzz.sh" "$fuzz_seconds" || failed+=(fuzzing)
fi

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "test: failed: ${failed[*]}" >&2
  exit 1
fi
echo "test: all passed"
