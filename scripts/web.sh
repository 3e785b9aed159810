#!/usr/bin/env bash
# Builds the web page: lintkeeper's core compiled to WebAssembly by emscripten, and the static
# site around it; with --test, checks the page in a headless Chromium against the native program.
#
# Usage: scripts/web.sh [--test]
# The WebAssembly build cannot generate the Unicode tables (it has no ICU), so the native tree
# is built first, lintkeeper and lintkeeper-audit only: in build/, or LINTKEEPER_NATIVE_BUILD.
# The module is built in build-web/ (or WEB_BUILD_DIR), and the finished site is its site/
# folder, which any static server can serve, for example
#   python3 -m http.server -d build-web/site 8000
# Prints the size of each file of the site (the zone files of zoneinfo/ together), and of all,
# compressed with gzip -9. --test runs tests/web/site_test.mjs, which saves its screenshots into
# the web build folder.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=${LINTKEEPER_NATIVE_BUILD:-"$root/build"}
web=${WEB_BUILD_DIR:-"$root/build-web"}
test=false
case ${1:-} in
  --test) test=true ;;
  "") ;;
  *) echo "usage: scripts/web.sh [--test]" >&2; exit 2 ;;
esac

"$root/scripts/setup.sh"

if [[ ! -f "$native/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo --log-level=WARNING
fi
cmake --build "$native" --target lintkeeper lintkeeper-audit

# Debian's em++ runs its tools with node, which finds Debian's JavaScript modules only here
# when the node on the PATH is not Debian's.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
configure=(emcmake cmake -S "$root" -B "$web" --log-level=WARNING)
if [[ ! -f "$web/CMakeCache.txt" ]]; then
  configure+=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DLINTKEEPER_TESTS=OFF)
fi
# emcmake prints the command it runs: only errors are shown.
"${configure[@]}" -DLINTKEEPER_UNICODE_TABLES="$native/generated/base/unicode_tables.inc" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON > /dev/null 2> >(grep -v '^configure: ' >&2)
cmake --build "$web"

site="$web/site"
total=0
zone_files=0 zone_bytes=0 zone_size=0
while IFS= read -r file; do
  size=$(gzip -9c "$site/$file" | wc -c)
  total=$((total + size))
  if [[ $file == zoneinfo/* ]]; then
    zone_files=$((zone_files + 1))
    zone_bytes=$((zone_bytes + $(stat -c %s "$site/$file")))
    zone_size=$((zone_size + size))
    continue
  fi
  printf 'web: %-16s %8d bytes, %7d gzip -9\n' "$file" "$(stat -c %s "$site/$file")" "$size"
done < <(cd "$site" && find . -type f -printf '%P\n' | sort)
printf 'web: %-16s %8d bytes, %7d gzip -9: %d files, of which the page fetches the list and one zone\n' \
    zoneinfo/ "$zone_bytes" "$zone_size" "$zone_files"
echo "web: the site is $site: $total bytes with gzip -9, $((total - zone_size)) without zoneinfo/"

if $test; then
  node "$root/tests/web/site_test.mjs" --site "$site" --native "$native" --out "$web"
fi
