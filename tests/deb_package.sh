#!/usr/bin/env bash
# Builds the Debian package with CPack, unpacks it and checks its contents, program and completion.
#
# Usage: deb_package.sh CPACK BUILD_DIR SOURCE_DIR VERSION
# Exits 77 (skipped) when cpack or dpkg-deb is missing, 0 when every check passed, 1 otherwise.
set -uo pipefail

cpack=$1 build_dir=$2 source_dir=$3 version=$4

if [[ ! -x $cpack ]] || ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "skipped: cpack or dpkg-deb is not installed"
  exit 77
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/lintkeeper-deb.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Build into the temporary folder, so the build tree is left as it was.
if ! "$cpack" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$tmp/out" \
  >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL: cpack could not build the package"
  exit 1
fi
debs=("$tmp"/out/*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
  echo "FAIL: expected one .deb in the cpack output, found: ${debs[*]}"
  exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Control fields. Depends comes from dpkg-shlibdeps: the libraries the program links.
field_rows=(
  "Package|^lintkeeper$"
  "Version|^$version-1$"
  "Section|^utils$"
  "Maintainer|^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$"
  "Description|^check crontab files for errors$"
  "Depends|(^|, )libc6( |,|$)"
  "Depends|(^|, )libstdc\+\+6( |,|$)"
  "Depends|(^|, )libfmt[0-9]+( |,|$)"
)
for row in "${field_rows[@]}"; do
  name=${row%%|*} pattern=${row#*|}
  value=$(dpkg-deb -f "$deb" "$name" | head -n 1)
  [[ $value =~ $pattern ]] || fail "control field $name is '$value', expected to match $pattern"
done
# The Unicode facts are compiled in: the program does not load ICU.
depends=$(dpkg-deb -f "$deb" Depends) icu_pattern='(^|, )libicu'
[[ $depends =~ $icu_pattern ]] && fail "Depends names ICU: $depends"

root=$tmp/root
dpkg-deb -x "$deb" "$root"

file_rows=(
  usr/bin/lintkeeper
  usr/share/man/man1/lintkeeper.1.gz
  usr/share/bash-completion/completions/lintkeeper
)
for file in "${file_rows[@]}"; do
  [[ -f $root/$file ]] || fail "the package has no $file"
done
if [[ ! -f $root/usr/share/man/man1/lintkeeper.1.gz ]]; then
  echo "(the man page is built only when cmake finds help2man: run scripts/setup.sh, reconfigure)"
fi
if [[ -e $root/usr/share/man/man1/lintkeeper.1 ]]; then
  fail "the man page is in the package uncompressed"
fi

# The man page: generated sections and the options of --help.
page=$root/usr/share/man/man1/lintkeeper.1.gz
if [[ -f $page ]]; then
  roff=$(gzip -dc "$page")
  page_rows=(
    '^\.TH LINTKEEPER "1"'
    '^lintkeeper \\- check crontab files for errors$'
    '^\.SH OPTIONS$'
    '^\\fB\\-f\\fR, \\fB\\-\\-fail\\-warnings\\fR'
    '^\\fB\\-j\\fR, \\fB\\-\\-junit\\fR'
    '^\.SH "EXIT STATUS"$'
    '^2$'
    'at least one error'
    '^\.SH "IN-FILE COMMAND"$'
    'lintkeeper: disable\\-msg=KIND'
    '^\.SS "Message kinds:"$'
    'USER_NOT_FOUND'
  )
  for pattern in "${page_rows[@]}"; do
    grep -Eq -- "$pattern" <<<"$roff" || fail "the man page has no line matching $pattern"
  done
fi

# The unpacked program, on the example crontab and for --version.
program=$root/usr/bin/lintkeeper
if [[ -x $program ]]; then
  example=$source_dir/examples/crontab
  "$program" "$example" >"$tmp/stdout" 2>"$tmp/stderr"
  status=$?
  [[ $status =~ ^[012]$ ]] || fail "lintkeeper $example exited with $status"
  header=$(head -n 1 "$tmp/stdout")
  [[ $header == "Checking correctness of $example" ]] || fail "first output line is '$header'"
  [[ -s $tmp/stderr ]] && fail "lintkeeper $example wrote to standard error: $(cat "$tmp/stderr")"

  version_text=$("$program" --version)
  [[ $version_text == "lintkeeper $version" ]] || fail "--version printed '$version_text'"
fi

# The completion, sourced from the package: words typed so far -> expected candidates.
completion=$root/usr/share/bash-completion/completions/lintkeeper
if [[ -f $completion ]]; then
  mkdir -p "$tmp/files/cron.d" && touch "$tmp/files/crontab" "$tmp/files/nightly.cron"
  completion_rows=(
    "lintkeeper --ju|--junit"
    "lintkeeper --de|--debug --debug-verbose"
    "lintkeeper -D|-D"
    "lintkeeper --no|--no-check-passwd"
    "lintkeeper --fail-warnings |"
    "lintkeeper -j nig|nightly.cron"
    "lintkeeper --junit = nig|nightly.cron"
    "lintkeeper cr|cron.d crontab"
    "lintkeeper --user -q |cron.d crontab nightly.cron"
    "lintkeeper -- --|"
    "lintkeeper -w roo|root"
  )
  for row in "${completion_rows[@]}"; do
    words=${row%%|*} expected=${row#*|}
    got=$(cd "$tmp/files" && bash --norc --noprofile -c '
      source "$1"
      read -r -a COMP_WORDS <<<"$2"
      [[ $2 == *" " ]] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
      _lintkeeper
      printf "%s\n" "${COMPREPLY[@]}" | sort | paste -s -d " "' _ "$completion" "$words")
    [[ $got == "$expected" ]] || fail "completing '$words' gave '$got', expected '$expected'"
  done
fi

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all package checks passed"
