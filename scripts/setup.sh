#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build and test lintkeeper; does nothing when all are there.
#
# Usage: scripts/setup.sh
# Runs as root, or through sudo when it exists. Silent when nothing is missing; otherwise it
# names the packages it installs. apt's own output is shown only when the install fails.
set -euo pipefail

# cmake also brings ctest; libgtest-dev ships GoogleTest's CMake package config and libraries;
# python3 runs the end-to-end cases; xmllint (libxml2-utils) checks the JUnit files;
# libnss-wrapper lets tests supply their own password database; help2man makes the man page;
# dpkg-dev's dpkg-shlibdeps gives the Debian package its dependencies; clang-14 and
# libclang-rt-14-dev (libFuzzer and the sanitizer runtimes) build the fuzz targets; gcovr
# reports the test coverage (scripts/coverage.sh); lintian checks the Debian package
# (tests/deb_package.sh, which skips it when it is missing); cron's `crontab -n` is the oracle
# of the tests of the cron model (src/cron); clang-format checks that every C++ file is
# formatted; emscripten builds the web page's WebAssembly module and chromium is the browser of
# its test (scripts/web.sh), whose npm packages (puppeteer-core, which downloads no browser) are
# installed from tests/web/package-lock.json.
readonly PACKAGES=(
  cmake
  ninja-build
  g++
  libfmt-dev
  libicu-dev
  libgtest-dev
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
  clang-format
  emscripten
  chromium
)

missing=()
for package in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  if [[ "$status" != "install ok installed" ]]; then
    missing+=("$package")
  fi
done

if ! command -v npm >/dev/null 2>&1; then
  missing+=(npm)
fi

# The npm packages of the web page's test, again when the lock file changed. A failure (no
# network) is only reported: the native build does not need them, and the web test then fails.
install_npm_packages() {
  local dir
  dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/web"
  if [[ "$dir/package-lock.json" -nt "$dir/node_modules/.package-lock.json" ]]; then
    echo "setup: installing the npm packages of tests/web"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null) ||
      echo "setup: npm ci in tests/web failed: the web page cannot be tested" >&2
  fi
}

if [[ ${#missing[@]} -eq 0 ]]; then
  install_npm_packages
  exit 0
fi

sudo_cmd=()
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
log=$(mktemp "${TMPDIR:-/tmp}/lintkeeper-setup.XXXXXX")
trap 'rm -f "$log"' EXIT

# Waits for the dpkg lock instead of failing when another apt run holds it.
apt_options=(-o DPkg::Lock::Timeout=300)
if ! "${sudo_cmd[@]}" apt-get "${apt_options[@]}" update >"$log" 2>&1 ||
   ! "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
       apt-get "${apt_options[@]}" install -y --no-install-recommends "${missing[@]}" \
       >>"$log" 2>&1; then
  cat "$log" >&2
  echo "setup: installing ${missing[*]} failed" >&2
  exit 1
fi
echo "setup: installed ${missing[*]}"
install_npm_packages
