#!/bin/sh
# Runs lintkeeper for help2man, laying out its --help the way help2man reads it.
#
# Usage: LINTKEEPER=path/to/lintkeeper help2man-input.sh --help|--version
# The texts are the program's own; only the layout changes, so the page cannot drift from them:
# - option help is indented 20 columns instead of 10, so each option becomes a tagged paragraph;
# - "Exit status:" becomes the man page section EXIT STATUS, and the in-file command paragraph
#   with the message kinds becomes the section IN-FILE COMMAND;
# - the sentence before the two example comments, and each comment, are paragraphs of their own.
set -eu

: "${LINTKEEPER:?set LINTKEEPER to the lintkeeper program}"

if [ "$#" -ne 1 ] || [ "$1" != "--help" ]; then
  exec "$LINTKEEPER" "$@"
fi

# The status is that of the program, not of sed: a failing program must fail the page.
help=$("$LINTKEEPER" --help)
printf '%s\n' "$help" | sed '
s/^          \([^ ]\)/                    \1/
s/^Exit status:$/*Exit status*/
/^A message can be turned off /{
i\
*In-file command*
G
}
/^  # lintkeeper: disable-msg=KIND$/G
'
