#!/bin/sh
# Installs the Debian packages the build, tests and demo need, only those missing.
# Usage: install-deps.sh [--hardening | --browser | --packages P...]
set -eu
packages="cmake make g++ pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libjpeg-dev libstb-dev libsquish-dev libcli11-dev
  imagemagick python3-pil libnvtt-bin"
# The extra CI steps (sanitizers, fuzzing, valgrind, the Windows cross build).
[ "${1:-}" = "--hardening" ] && packages="$packages clang libclang-rt-dev valgrind
  g++-mingw-w64-x86-64 mingw-w64-x86-64-dev"
# A real browser for the preview page's test (CI; without it the test is skipped).
[ "${1:-}" = "--browser" ] && packages="$packages chromium chromium-driver python3-selenium fonts-dejavu-core"
# Scripts that need packages of their own name them: --packages P...
[ "${1:-}" = "--packages" ] && { shift; packages="$*"; }
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
