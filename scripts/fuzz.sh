#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in `build-fuzz` and runs each of them for a while.
#
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
# SECONDS (default 60) is the time given to each target; TARGET defaults to all four
# (fuzz_field, fuzz_line, fuzz_file, fuzz_audit). Each target starts from its seed corpus in
# fuzz/corpus/TARGET (fuzz_audit from fuzz_file's) and keeps the inputs it finds in
# build-fuzz/corpus/TARGET, so a later run goes on from there. An input that crashes a target
# or breaks one of its checks is saved as build-fuzz/artifacts/TARGET-crash-... and the script
# exits 1; it exits 0 when no target found anything. Extra libFuzzer options can be given in
# FUZZ_OPTIONS, for example
#   FUZZ_OPTIONS=-jobs=2 scripts/fuzz.sh 1800 fuzz_line
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build-fuzz"
seconds=${1:-60}
shift || true
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  targets=(fuzz_field fuzz_line fuzz_file fuzz_audit)
fi

"$root/scripts/setup.sh"

configure=(cmake -S "$root" -B "$build_dir" --log-level=WARNING)
if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
  configure+=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
              -DLINTKEEPER_FUZZ=ON -DLINTKEEPER_TESTS=OFF)
fi
"${configure[@]}" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build "$build_dir" --target "${targets[@]}"

# The longest input each target is given: a line or a field, or a whole file.
max_len() {
  case $1 in
    fuzz_file | fuzz_audit) echo 65536 ;;
    *) echo 4096 ;;
  esac
}

# The seed corpus of each target: fuzz_audit reads the inputs of fuzz_file.
seeds() {
  case $1 in
    fuzz_audit) echo "$root/fuzz/corpus/fuzz_file" ;;
    *) echo "$root/fuzz/corpus/$1" ;;
  esac
}

mkdir -p "$build_dir/artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus="$build_dir/corpus/$target"
  mkdir -p "$corpus"
  log="$build_dir/$target.log"
  echo "fuzz: $target for $seconds s"
  # shellcheck disable=SC2086  # FUZZ_OPTIONS is a list of options
  if "$build_dir/fuzz/$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
       -timeout=30 -print_final_stats=1 -artifact_prefix="$build_dir/artifacts/$target-" \
       ${FUZZ_OPTIONS:-} "$corpus" "$(seeds "$target")" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz: $target: ${runs:-?} runs, ${speed:-?} runs per second, nothing found"
  else
    tail -n 60 "$log"
    echo "fuzz: $target FOUND A PROBLEM: see $log and $build_dir/artifacts/" >&2
    failed+=("$target")
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
