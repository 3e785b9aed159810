#!/bin/sh
# Runs client_test.mjs on lintkeeper-lsp with the npm packages of tests/lsp (scripts/setup.sh
# installs them). Exits 77 (skipped) when node or the packages are missing.
#
# Usage: client_test.sh LINTKEEPER_LSP
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v node >/dev/null 2>&1; then
  echo "skipped: node is not installed"
  exit 77
fi
if [ ! -d "$here/node_modules/vscode-languageserver-protocol" ]; then
  echo "skipped: the npm packages of tests/lsp are not installed (run scripts/setup.sh)"
  exit 77
fi
exec timeout 60 node "$here/client_test.mjs" "$1"
