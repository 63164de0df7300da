#!/bin/sh
# Runs the example host on the bundled example and says where its output is.
set -eu
build=${1:-build}
"$build/minimal_host"
