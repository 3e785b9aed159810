#!/bin/sh
# Runs lintkeeper once per file, as the pre-commit hooks need, and exits with the highest status.
#
# Usage: scripts/pre-commit-hook.sh [LINTKEEPER_OPTIONS...] [--] FILE...
# The options (for example --user, --fail-warnings 2, -w alice) are given to every run; the
# first argument that is not an option, or every argument after "--", starts the files.
# lintkeeper is taken from $LINTKEEPER, else from PATH. With no file it does nothing and exits 0.
set -u

lintkeeper=${LINTKEEPER:-lintkeeper}
if ! command -v "$lintkeeper" >/dev/null 2>&1; then
  echo "pre-commit-hook: '$lintkeeper' not found; install lintkeeper or set LINTKEEPER" >&2
  exit 2
fi

# Quotes one argument for eval: 'it'\''s'.
quote() {
  printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"
}

options=
while [ "$#" -gt 0 ]; do
  case $1 in
    --)
      shift
      break
      ;;
    -f | --fail-warnings | -w | --whitelist | -j | --junit)
      # An option whose value is the next argument.
      [ "$#" -ge 2 ] || break
      options="$options $(quote "$1") $(quote "$2")"
      shift 2
      ;;
    -?*)
      options="$options $(quote "$1")"
      shift
      ;;
    *)
      break
      ;;
  esac
done

highest=0
# shellcheck disable=SC2034 # file is read by the eval.
for file in "$@"; do
  eval "\"\$lintkeeper\" $options \"\$file\""
  status=$?
  [ "$status" -gt "$highest" ] && highest=$status
done
exit "$highest"
