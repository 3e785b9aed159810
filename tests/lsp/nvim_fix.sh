#!/bin/sh
# Neovim's own client on lintkeeper-lsp (tests/lsp/nvim_fix.lua): a crontab with a carriage return
# on one line and a no-break space between the time fields of another gets its diagnostics, and
# the file written after the two fixes are made holds exactly the bytes expected.
#
# Usage: nvim_fix.sh LINTKEEPER_LSP
# Exits 77 (skipped) when nvim is not installed.
set -u
lsp=$1
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v nvim >/dev/null 2>&1; then
  echo "skipped: nvim is not installed (scripts/setup.sh installs neovim)"
  exit 77
fi
tmp=$(mktemp -d "${TMPDIR:-/tmp}/lintkeeper-nvim.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/etc/cron.d"
crontab=$tmp/etc/cron.d/crontab
printf '0 3 * * * root /usr/bin/backup\r\n0\302\2404 * * * root /usr/bin/report\n' >"$crontab"

HOME=$tmp XDG_CONFIG_HOME=$tmp XDG_DATA_HOME=$tmp XDG_STATE_HOME=$tmp \
  LINTKEEPER_LSP=$lsp CRONTAB=$crontab DIAGNOSTICS=$tmp/diagnostics \
  TITLES='Remove the carriage return|Part the fields with spaces' \
  timeout 60 nvim --headless -n -i NONE -u NONE -c "luafile $here/nvim_fix.lua" </dev/null
status=$?
failures=0
if [ "$status" -ne 0 ]; then
  echo "FAIL: nvim exited with $status"
  failures=1
fi
expected_diagnostics='1 CARRIAGE_RETURN
1 IGNORED_BY_CRON
2 CRON_REJECTS'
got=$(cat "$tmp/diagnostics" 2>/dev/null)
if [ "$got" != "$expected_diagnostics" ]; then
  printf 'FAIL: the diagnostics were\n%s\nexpected\n%s\n' "$got" "$expected_diagnostics"
  failures=1
fi
printf '0 3 * * * root /usr/bin/backup\n0 4 * * * root /usr/bin/report\n' >"$tmp/expected"
if ! cmp -s "$crontab" "$tmp/expected"; then
  echo "FAIL: the file written is not the one expected:"
  od -c "$crontab"
  failures=1
fi
[ "$failures" -eq 0 ] && echo "nvim: diagnostics, code actions and the file written as expected"
exit "$failures"
