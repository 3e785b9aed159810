#!/usr/bin/env bash
# Installs the Debian 12 packages and the npm packages needed to build and test lintkeeper;
# does nothing when all are there.
#
# Usage: scripts/setup.sh [--build]
# With --build, only what building the programs needs (BUILD_PACKAGES), for the example.
# Runs as root, or through sudo when it exists. Silent when nothing is missing; otherwise it
# names the packages it installs. apt's own output is shown only when the install fails.
set -euo pipefail

# cmake also brings ctest; libgtest-dev ships GoogleTest's CMake package config and libraries;
# nlohmann-json3-dev is the JSON library the unit tests read the JSON reports back with;
# python3 runs the end-to-end cases; xmllint (libxml2-utils) checks the JUnit files;
# libnss-wrapper lets tests supply their own password database; help2man makes the man page;
# dpkg-dev's dpkg-shlibdeps gives the Debian package its dependencies; clang-14 and
# libclang-rt-14-dev (libFuzzer and the sanitizer runtimes) build the fuzz targets; gcovr
# reports the test coverage (scripts/coverage.sh); busybox-static has the crond whose model
# (src/cron/busybox_crontab) tests/oracles/busybox/record.py holds to it; lintian checks the Debian package
# (tests/deb_package.sh, which skips it when it is missing); cron's `crontab -n` is the oracle
# of the tests of the cron model (src/cron); clang-format checks that every C++ file is
# formatted; python3-jsonschema validates the JSON and SARIF reports of lintkeeper-audit, and
# npm installs the tools of tools/npm (the SARIF multitool) into tools/npm/node_modules;
# emscripten builds the web page's WebAssembly module and chromium is the browser of its test
# (scripts/web.sh), driven by puppeteer-core (which downloads no browser) from tests/web;
# neovim's own client is the editor of lintkeeper-lsp's end-to-end test (tests/lsp), whose Node
# client test runs on the npm packages of tests/lsp.
readonly BUILD_PACKAGES=(
  cmake
  ninja-build
  g++
  libfmt-dev
  libicu-dev
)
readonly TEST_PACKAGES=(
  libgtest-dev
  nlohmann-json3-dev
  python3
  libxml2-utils
  libnss-wrapper
  pkg-config
  help2man
  dpkg-dev
  clang-14
  libclang-rt-14-dev
  gcovr
  lintian
  cron
  busybox-static
  faketime
  tzdata
  clang-format
  python3-jsonschema
  npm
  emscripten
  chromium
  neovim
)

build_only=false
[[ ${1:-} == --build ]] && build_only=true
packages=("${BUILD_PACKAGES[@]}")
$build_only || packages+=("${TEST_PACKAGES[@]}")

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  if [[ "$status" != "install ok installed" ]]; then
    missing+=("$package")
  fi
done

# npm is often there without Debian's package (a Node.js of its own): then it will do.
if command -v npm >/dev/null 2>&1; then
  for i in "${!missing[@]}"; do
    [[ ${missing[i]} == npm ]] && unset 'missing[i]'
  done
  missing=("${missing[@]}")
fi

install_packages() {
  local sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo_cmd=(sudo)
    else
      echo "setup: missing packages: ${missing[*]}" >&2
      echo "setup: run this script as root (sudo is not installed) to install them." >&2
      exit 1
    fi
  fi
  echo "setup: installing ${missing[*]}"
  local log
  log=$(mktemp "${TMPDIR:-/tmp}/lintkeeper-setup.XXXXXX")
  # Waits for the dpkg lock instead of failing when another apt run holds it.
  local apt_options=(-o DPkg::Lock::Timeout=300)
  if ! "${sudo_cmd[@]}" apt-get "${apt_options[@]}" update >"$log" 2>&1 ||
     ! "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
         apt-get "${apt_options[@]}" install -y --no-install-recommends "${missing[@]}" \
         >>"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "setup: installing ${missing[*]} failed" >&2
    exit 1
  fi
  rm -f "$log"
  echo "setup: installed ${missing[*]}"
}

# The npm packages of tools/npm, as its lock file pins them; their install scripts are not run
# (npm does not trust them), so the multitool is made executable here.
install_npm_tools() {
  local dir=$root/tools/npm
  local multitool=$dir/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool
  [[ -x $multitool ]] && return 0
  echo "setup: installing the npm packages of tools/npm"
  if ! (cd "$dir" && npm ci --no-audit --no-fund >/dev/null 2>&1); then
    echo "setup: npm ci in tools/npm failed" >&2
    exit 1
  fi
  chmod u+x "$multitool"
}

# The npm packages of the web page's test, again whenever its lock file changed.
install_web_test_packages() {
  local dir=$root/tests/web
  [[ $dir/package-lock.json -nt $dir/node_modules/.package-lock.json ]] || return 0
  echo "setup: installing the npm packages of tests/web"
  if ! (cd "$dir" && npm ci --no-audit --no-fund >/dev/null 2>&1); then
    echo "setup: npm ci in tests/web failed" >&2
    exit 1
  fi
}

# The npm packages of lintkeeper-lsp's client test, again whenever its lock file changed.
install_lsp_test_packages() {
  local dir=$root/tests/lsp
  [[ $dir/package-lock.json -nt $dir/node_modules/.package-lock.json ]] || return 0
  echo "setup: installing the npm packages of tests/lsp"
  if ! (cd "$dir" && npm ci --no-audit --no-fund >/dev/null 2>&1); then
    echo "setup: npm ci in tests/lsp failed" >&2
    exit 1
  fi
}

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ ${#missing[@]} -gt 0 ]]; then
  install_packages
fi
$build_only && exit 0
install_npm_tools
install_web_test_packages
install_lsp_test_packages
