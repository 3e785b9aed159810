#!/bin/sh
# Checks user look-ups against a password database the test writes itself, through
# nss_wrapper, so that the users of the machine never matter.
# Usage: run.sh LINTKEEPER NSS_WRAPPER_LIBRARY
# Exits 77 (skipped) when the nss_wrapper library is not there.
set -u

case $1 in
  /*) lintkeeper=$1 ;;
  *) lintkeeper=$PWD/$1 ;;
esac
wrapper=${2:-}
if [ -z "$wrapper" ] || [ ! -f "$wrapper" ]; then
  echo "libnss_wrapper.so not found: skipped"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# alice is an ordinary entry. dave's entry is just under 1 MiB, so the look-up buffer has
# to grow to find him. carol's entry is over 2 MiB: the buffer stops growing at 1 MiB, the
# look-up fails and carol counts as not found.
{
  echo "alice:x:1000:1000:Alice:/home/alice:/bin/sh"
  printf 'carol:x:1001:1001:'
  head -c 2098176 /dev/zero | tr '\0' g
  echo ":/home/carol:/bin/sh"
  printf 'dave:x:1002:1002:'
  head -c 1040384 /dev/zero | tr '\0' g
  echo ":/home/dave:/bin/sh"
} >passwd
printf 'users:x:100:alice\n' >group

# A sanitizer build wants its runtime first in the library list; the preload is fine.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
export ASAN_OPTIONS

failures=0

# check NAME EXPECTED_STATUS EXPECTED_OUTPUT ARGS...: runs lintkeeper on ./crontab.
check() {
  name=$1
  want_status=$2
  want_output=$3
  shift 3
  output=$(LD_PRELOAD=$wrapper NSS_WRAPPER_PASSWD=$work/passwd NSS_WRAPPER_GROUP=$work/group \
    "$lintkeeper" "$@" crontab)
  status=$?
  if [ "$output" != "$want_output" ] || [ "$status" != "$want_status" ]; then
    echo "FAIL: $name"
    echo "--- expected (status $want_status)"
    echo "$want_output"
    echo "--- got (status $status)"
    echo "$output"
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
}

cat >crontab <<'CRONTAB'
0 3 * * * alice /bin/true
0 3 * * * bob /bin/true
0 3 * * * carol /bin/true
0 3 * * * dave /bin/true
@daily alice /bin/true
@daily root /bin/true
0 3 * * * postgres /bin/true
CRONTAB

check "known, unknown and oversized users" 1 'Checking correctness of crontab
W: 2: 0 3 * * * bob /bin/true
w:    USER_NOT_FOUND: User "bob" not found.
W: 3: 0 3 * * * carol /bin/true
w:    USER_NOT_FOUND: User "carol" not found.
W: 6: @daily root /bin/true
w:    USER_NOT_FOUND: User "root" not found.
W: There were 3 warnings.'

check "with --fail-warnings 3" 0 'Checking correctness of crontab
W: 2: 0 3 * * * bob /bin/true
w:    USER_NOT_FOUND: User "bob" not found.
W: 3: 0 3 * * * carol /bin/true
w:    USER_NOT_FOUND: User "carol" not found.
W: 6: @daily root /bin/true
w:    USER_NOT_FOUND: User "root" not found.
W: There were 3 warnings.' --fail-warnings 3

check "--no-check-passwd reports known users too" 1 'Checking correctness of crontab
W: 1: 0 3 * * * alice /bin/true
w:    USER_NOT_FOUND: User "alice" not found.
W: 2: 0 3 * * * bob /bin/true
w:    USER_NOT_FOUND: User "bob" not found.
W: 3: 0 3 * * * carol /bin/true
w:    USER_NOT_FOUND: User "carol" not found.
W: 4: 0 3 * * * dave /bin/true
w:    USER_NOT_FOUND: User "dave" not found.
W: 5: @daily alice /bin/true
w:    USER_NOT_FOUND: User "alice" not found.
W: 6: @daily root /bin/true
w:    USER_NOT_FOUND: User "root" not found.
W: There were 6 warnings.' --no-check-passwd

check "--whitelist skips the look-up" 1 'Checking correctness of crontab
W: 3: 0 3 * * * carol /bin/true
w:    USER_NOT_FOUND: User "carol" not found.
W: 6: @daily root /bin/true
w:    USER_NOT_FOUND: User "root" not found.
W: There were 2 warnings.' -w bob

cat >crontab <<'CRONTAB'
0 3 * * * bob /bin/true
# lintkeeper: disable-msg=USER_NOT_FOUND
0 3 * * * carol /bin/true
# lintkeeper: enable-msg=USER_NOT_FOUND
0 3 * * * alice /bin/true
@daily root /bin/true
CRONTAB

check "USER_NOT_FOUND switched off and on" 1 'Checking correctness of crontab
W: 1: 0 3 * * * bob /bin/true
w:    USER_NOT_FOUND: User "bob" not found.
W: 6: @daily root /bin/true
w:    USER_NOT_FOUND: User "root" not found.
W: There were 2 warnings.'

check "user crontab: no user column, no look-up" 0 'Checking correctness of crontab' --user

[ "$failures" -eq 0 ]
