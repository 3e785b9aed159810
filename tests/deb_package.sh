#!/usr/bin/env bash
# Builds the Debian package with CPack, unpacks it and checks its contents, programs, man pages,
# completions and Debian files, then runs lintian on it when lintian is installed.
#
# Usage: deb_package.sh CPACK BUILD_DIR SOURCE_DIR VERSION
# Exits 77 (skipped) when cpack or dpkg-deb is missing, 0 when every check passed, 1 otherwise.
# A program added to the package needs rows in the tables below, no other change.
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

# Build into the temporary folder, so the build tree is left as it was, with a group-writable
# umask, so that a mode in the package that follows the umask shows.
umask 002
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
# lintian's limit for the lines of the extended description.
while IFS= read -r line; do
  ((${#line} <= 80)) || fail "description line of ${#line} columns: $line"
done < <(dpkg-deb -f "$deb" Description)

# Modes: folders and programs 0755, other files 0644 (links 0777), owned by root.
while read -r mode owner _ _ _ path; do
  [[ $mode =~ ^(drwxr-xr-x|-rwxr-xr-x|-rw-r--r--|lrwxrwxrwx)$ && $owner == root/root ]] ||
    fail "$path is $mode $owner in the package"
done < <(dpkg-deb -c "$deb")

# The Unicode facts are compiled in: the program does not load ICU.
depends=$(dpkg-deb -f "$deb" Depends) icu_pattern='(^|, )libicu'
[[ $depends =~ $icu_pattern ]] && fail "Depends names ICU: $depends"

root=$tmp/root
dpkg-deb -x "$deb" "$root"

file_rows=(
  usr/bin/lintkeeper
  usr/share/man/man1/lintkeeper.1.gz
  usr/share/bash-completion/completions/lintkeeper
  usr/bin/lintkeeper-audit
  usr/share/man/man1/lintkeeper-audit.1.gz
  usr/share/bash-completion/completions/lintkeeper-audit
  usr/bin/lintkeeper-lsp
  usr/share/man/man1/lintkeeper-lsp.1.gz
  usr/share/doc/lintkeeper/copyright
  usr/share/doc/lintkeeper/changelog.Debian.gz
  usr/share/lintian/overrides/lintkeeper
)
for file in "${file_rows[@]}"; do
  if [[ ! -f $root/$file ]]; then
    fail "the package has no $file"
    [[ $file == usr/share/man/* ]] &&
      echo "(man pages are built only when cmake finds help2man: run scripts/setup.sh, reconfigure)"
  fi
done
while IFS= read -r page; do
  fail "a man page is in the package uncompressed: ${page#"$root"/}"
done < <(find "$root/usr/share/man" -type f -name '*.[1-9]' 2>/dev/null)
# gzip -n: no file name and a zero time stamp in the header, so the bytes are reproducible.
while IFS= read -r file; do
  header=$(od -An -tx1 -N8 "$file" | tr -d ' \n')
  [[ $header == 1f8b080000000000 ]] || fail "${file#"$root"/} has a gzip header of $header"
done < <(find "$root" -type f -name '*.gz')

# The man pages, each with its generated sections and the options of --help: page|pattern.
page_rows=(
  'lintkeeper.1|^\.TH LINTKEEPER "1"'
  'lintkeeper.1|^lintkeeper \\- check crontab files for errors$'
  'lintkeeper.1|^\.SH OPTIONS$'
  'lintkeeper.1|^\\fB\\-f\\fR, \\fB\\-\\-fail\\-warnings\\fR'
  'lintkeeper.1|^\\fB\\-j\\fR, \\fB\\-\\-junit\\fR'
  'lintkeeper.1|^\.SH "EXIT STATUS"$'
  'lintkeeper.1|^2$'
  'lintkeeper.1|at least one error'
  'lintkeeper.1|^\.SH "IN-FILE COMMAND"$'
  'lintkeeper.1|lintkeeper: disable\\-msg=KIND'
  'lintkeeper.1|^\.SS "Message kinds:"$'
  'lintkeeper.1|USER_NOT_FOUND'
  'lintkeeper-audit.1|^\.TH LINTKEEPER-AUDIT "1"'
  "lintkeeper-audit.1|^lintkeeper-audit \\\\- audit a host's cron set-up the way cron reads it$"
  'lintkeeper-audit.1|^\.SH OPTIONS$'
  'lintkeeper-audit.1|^\\fB\\-r\\fR, \\fB\\-\\-root\\fR'
  'lintkeeper-audit.1|^\\fB\\-d\\fR, \\fB\\-\\-disable\\fR'
  'lintkeeper-audit.1|^\.SH "EXIT STATUS"$'
  'lintkeeper-audit.1|^\.SH FORMATS$'
  'lintkeeper-audit.1|^gcc$'
  'lintkeeper-audit.1|^\.SH "MESSAGE KINDS"$'
  'lintkeeper-audit.1|^IGNORED_BY_CRON$'
  'lintkeeper-audit.1|^\.SH FILES$'
  'lintkeeper-audit.1|/var/spool/cron/crontabs'
  'lintkeeper-lsp.1|^\.TH LINTKEEPER-LSP "1"'
  'lintkeeper-lsp.1|^lintkeeper-lsp \\- language server of crontabs$'
  'lintkeeper-lsp.1|^\.SH SETTINGS$'
  'lintkeeper-lsp.1|textDocument/codeAction'
)
for row in "${page_rows[@]}"; do
  name=${row%%|*} pattern=${row#*|}
  page=$root/usr/share/man/man${name##*.}/$name.gz
  [[ -f $page ]] || continue
  gzip -dc "$page" | grep -Eq -- "$pattern" || fail "$name has no line matching $pattern"
done

# The copyright file: machine-readable, and the licence text is that of LICENSE.
copyright=$root/usr/share/doc/lintkeeper/copyright
if [[ -f $copyright ]]; then
  copyright_rows=(
    '^Format: https://www\.debian\.org/doc/packaging-manuals/copyright-format/1\.0/$'
    '^Upstream-Name: lintkeeper$'
    '^Files: \*$'
    '^Copyright: 2026 lintkeeper developers$'
    '^License: MIT$'
  )
  for pattern in "${copyright_rows[@]}"; do
    grep -Eq -- "$pattern" "$copyright" || fail "the copyright file has no line matching $pattern"
  done
  # The text after the last "License: MIT", each line indented by a space and blank ones
  # written " .", against LICENSE after its copyright line.
  got=$(awk '/^License: MIT$/ { text = ""; on = 1; next }
             on { if (!sub(/^ /, "") || $0 == "") $0 = "(not indented, or blank) " $0
                  if ($0 == ".") $0 = ""
                  text = text $0 "\n" }
             END { printf "%s", text }' "$copyright")
  expected=$(sed '1,/^Copyright (c) /d' "$source_dir/LICENSE" | sed '1{/^$/d}')
  if [[ -z $expected || $got != "$expected" ]]; then
    fail "the licence text of the copyright file is not that of LICENSE:"
    diff <(echo "$expected") <(echo "$got")
  fi
fi

# The Debian changelog, read by dpkg: its first entry is this version, from the package's
# maintainer. Field|value.
changelog=$root/usr/share/doc/lintkeeper/changelog.Debian.gz
if [[ -f $changelog ]]; then
  gzip -dc "$changelog" >"$tmp/changelog"
  changelog_rows=(
    "Source|lintkeeper"
    "Version|$version-1"
    "Distribution|unstable"
    "Maintainer|$(dpkg-deb -f "$deb" Maintainer)"
  )
  for row in "${changelog_rows[@]}"; do
    name=${row%%|*} expected=${row#*|}
    value=$(dpkg-parsechangelog -l "$tmp/changelog" -S "$name" 2>&1)
    [[ $value == "$expected" ]] || fail "changelog field $name is '$value', expected '$expected'"
  done
fi

# The unpacked program, on the example crontab.
program=$root/usr/bin/lintkeeper
if [[ -x $program ]]; then
  example=$source_dir/examples/crontab
  "$program" "$example" >"$tmp/stdout" 2>"$tmp/stderr"
  status=$?
  [[ $status =~ ^[012]$ ]] || fail "lintkeeper $example exited with $status"
  header=$(head -n 1 "$tmp/stdout")
  [[ $header == "Checking correctness of $example" ]] || fail "first output line is '$header'"
  [[ -s $tmp/stderr ]] && fail "lintkeeper $example wrote to standard error: $(cat "$tmp/stderr")"
fi

# What each program prints for --version: program|text.
version_rows=(
  "lintkeeper|lintkeeper $version"
  "lintkeeper-audit|lintkeeper-audit $version"
  "lintkeeper-lsp|lintkeeper-lsp $version"
)
for row in "${version_rows[@]}"; do
  name=${row%%|*} expected=${row#*|}
  [[ -x $root/usr/bin/$name ]] || continue
  got=$("$root/usr/bin/$name" --version)
  [[ $got == "$expected" ]] || fail "$name --version printed '$got', expected '$expected'"
done

# The completions, sourced from the package as bash-completion loads them, by the command name
# (the first word), with the package's programs first on the PATH (lintkeeper-audit's completion
# reads its kinds and formats from the program): words typed so far -> expected candidates.
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
  "lintkeeper-audit --fo|--format"
  "lintkeeper-audit --format |codequality gcc github json junit sarif text"
  "lintkeeper-audit --format = g|gcc github"
  "lintkeeper-audit -d FILE_M|FILE_MISSING FILE_MODE"
  "lintkeeper-audit --disable = IGNORED|IGNORED_BY_CRON"
  "lintkeeper-audit --no|--no-check-passwd --now"
  "lintkeeper-audit --root |cron.d"
  "lintkeeper-audit -r cr|cron.d"
  "lintkeeper-audit --fail-warnings |"
  "lintkeeper-audit cr|cron.d crontab"
  "lintkeeper-audit --user -n |cron.d crontab nightly.cron"
  "lintkeeper-audit -- --|"
  "lintkeeper-audit -w roo|root"
)
for row in "${completion_rows[@]}"; do
  words=${row%%|*} expected=${row#*|}
  completion=$root/usr/share/bash-completion/completions/${words%% *}
  [[ -f $completion ]] || continue
  # The function is the one the file registers for the command with `complete -F`.
  got=$(cd "$tmp/files" && PATH="$root/usr/bin:$PATH" bash --norc --noprofile -c '
    source "$1"
    read -r -a COMP_WORDS <<<"$2"
    [[ $2 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    registered=$(complete -p "${COMP_WORDS[0]}") && [[ $registered =~ -F\ ([^ ]+) ]] || exit 1
    "${BASH_REMATCH[1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | paste -s -d " "' _ "$completion" "$words")
  [[ $got == "$expected" ]] || fail "completing '$words' gave '$got', expected '$expected'"
done

# lintian: no error and no warning (informational tags are shown, not counted).
if command -v lintian >/dev/null 2>&1; then
  if lintian --fail-on error,warning --display-info "$deb" >"$tmp/lintian.out" \
    2>"$tmp/lintian.err"; then
    echo "lintian: no error or warning"
  else
    cat "$tmp/lintian.err"
    fail "lintian found errors or warnings"
  fi
  cat "$tmp/lintian.out"
else
  echo "lintian: skipped, not installed (scripts/setup.sh installs it)"
fi

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all package checks passed"
