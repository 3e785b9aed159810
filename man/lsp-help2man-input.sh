#!/bin/sh
# Runs lintkeeper-lsp for help2man, laying out its --help the way help2man reads it.
#
# Usage: LINTKEEPER_LSP=path/to/lintkeeper-lsp lsp-help2man-input.sh --help|--version
# The texts are the program's own; only the layout changes, so the page cannot drift from them:
# - option help is indented 20 columns instead of 10, so each option becomes a tagged paragraph;
# - "Settings (...):" and "Exit status:" become the sections SETTINGS and EXIT STATUS.
set -eu

: "${LINTKEEPER_LSP:?set LINTKEEPER_LSP to the lintkeeper-lsp program}"

if [ "$#" -ne 1 ] || [ "$1" != "--help" ]; then
  exec "$LINTKEEPER_LSP" "$@"
fi

# The status is that of the program, not of sed: a failing program must fail the page.
help=$("$LINTKEEPER_LSP" --help)
printf '%s\n' "$help" | sed '
s/^          \([^ ]\)/                    \1/
s/^Settings (.*):$/*Settings*/
s/^Exit status:$/*Exit status*/
'
