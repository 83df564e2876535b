#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Safe to run again: apt-get skips what is already installed.
#   scripts/setup.sh             the build, the program and the tests
#   scripts/setup.sh --package   also what building and checking the Debian
#                                packages needs (scripts/package.sh)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev libgl1-mesa-dev qt6-translations-l10n
  libcurl4-openssl-dev libsqlite3-dev libpcre2-dev libssl-dev libcpp-httplib-dev
  libmicrohttpd-dev libsodium-dev libgumbo-dev
  libpq-dev postgresql postgresql-common nginx-light
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk xvfb xauth curl ca-certificates
)
if [ "${1:-}" = "--package" ]; then
  # The package tools and the checkers; the build dependencies themselves are
  # those debian/control names (apt-get build-dep below).
  PACKAGES+=(dpkg-dev debhelper lintian desktop-file-utils appstream systemd)
fi
if [ "${1:-}" = "--fuzz" ]; then
  # libclang-rt-14-dev holds libFuzzer and the sanitizer runtimes for clang.
  PACKAGES+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
if [ "${1:-}" = "--package" ] && ! (cd "$root" && dpkg-checkbuilddeps >/dev/null 2>&1); then
  $SUDO apt-get update
  $SUDO apt-get build-dep -y --no-install-recommends "$root"
fi
