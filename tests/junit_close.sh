#!/bin/sh
# A JUnit file whose close fails is reported like any failed write: an error line and status 2.
# Usage: junit_close.sh LINTKEEPER FAIL_CLOSE_SHIM
set -u
lintkeeper=$1 shim=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
printf '0 3 * * * root /bin/true\n' >crontab

# A sanitizer build wants its runtime first in the library list; the preload is fine.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
export ASAN_OPTIONS
output=$(LD_PRELOAD=$shim FAIL_CLOSE_SUFFIX=/out.xml "$lintkeeper" -n -f 1 --junit out.xml crontab)
status=$?
expected='Checking correctness of crontab
W: 1: 0 3 * * * root /bin/true
w:    USER_NOT_FOUND: User "root" not found.
W: There were 1 warnings.
E: Can not write junit file "out.xml": Input/output error (os error 5)'
if [ "$status" != 2 ] || [ "$output" != "$expected" ]; then
  echo "FAIL: status $status, output:"
  echo "$output"
  exit 1
fi
echo "ok: a failed close of the JUnit file gives its error and status 2"
