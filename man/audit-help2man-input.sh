#!/bin/sh
# Runs lintkeeper-audit for help2man, laying out its --help the way help2man reads it.
#
# Usage: LINTKEEPER_AUDIT=path/to/lintkeeper-audit audit-help2man-input.sh --help|--version
# The texts are the program's own; only the layout changes, so the page cannot drift from them:
# - option help is indented 20 columns instead of 10, so each option becomes a tagged paragraph;
# - the paragraph on what is read becomes the section FILES, and "Exit status:", "Formats:" and
#   "Kinds:" the sections EXIT STATUS, FORMATS and MESSAGE KINDS;
# - a kind's severity goes from its own column to the head of its description ("error: ...").
set -eu

: "${LINTKEEPER_AUDIT:?set LINTKEEPER_AUDIT to the lintkeeper-audit program}"

if [ "$#" -ne 1 ] || [ "$1" != "--help" ]; then
  exec "$LINTKEEPER_AUDIT" "$@"
fi

# The status is that of the program, not of sed: a failing program must fail the page.
help=$("$LINTKEEPER_AUDIT" --help)
printf '%s\n' "$help" | sed '
s/^          \([^ ]\)/                    \1/
/^With no PATH, /i\
*Files*
s/^Exit status:$/*Exit status*/
s/^Formats:$/*Formats*/
s/^Kinds:$/*Message kinds*/
s/^\(  [A-Z][A-Z0-9_]*  *\)error  *\([^ ]\)/\1error: \2/
s/^\(  [A-Z][A-Z0-9_]*  *\)warning  *\([^ ]\)/\1warning: \2/
'
