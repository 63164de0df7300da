#!/bin/sh
# Installs the package into a scratch prefix, builds the example host
# against it with find_package, and runs it.
set -eu
build=$1 host_src=$2 work=$3
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$host_src" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
"$work/build/minimal_host"
# The installed tool finds its libraries from its own prefix.
if [ -x "$work/prefix/bin/texatlas" ]; then
    env -u LD_LIBRARY_PATH "$work/prefix/bin/texatlas" --version >/dev/null
fi
