#!/usr/bin/env bash
# Checks that every C++ file of the repository is formatted as .clang-format says.
#
# Usage: scripts/check_format.sh
# Lists each file that clang-format (Debian's clang-format 14) would change, with the change,
# and exits 1 if there is one; `clang-format -i FILE` formats a file.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [[ -d .git ]]; then
  mapfile -d '' files < <(git ls-files -z -- '*.cc' '*.h')
else
  mapfile -d '' files < <(find src fuzz tools tests \( -name '*.cc' -o -name '*.h' \) -print0)
fi
clang-format --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files formatted"
