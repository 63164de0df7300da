#!/bin/sh
# Preview time against build time on the same atlas: Debian's freeciv and
# minetest PNGs packed with texatlas's defaults, the same with --preview
# (pages previewed beside the build as they are saved), and `texatlas
# preview` of a finished build alone, RUNS times each, interleaved; prints
# the median wall times, what previews add and the bytes of the previews
# against those of the pages.
# Usage: bench/preview.sh [build-dir, default build]   (RUNS=5 by default)
# Warnings about the sources (two TGA types the reader does not know, one
# sprite larger than a page) go to preview-bench/warnings.log.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-5}
scripts/install-deps.sh --packages freeciv-data minetest-data time
cmake --build "$build" --target texatlas >/dev/null
tool=$(pwd)/$build/tools/texatlas
work=$(pwd)/$build/preview-bench
rm -rf "$work" && mkdir -p "$work"
cd "$work"
sources="/usr/share/games/freeciv /usr/share/games/minetest"
# shellcheck disable=SC2086
"$tool" pack $sources -o out -q 2>warnings.log
: > build.times
: > with.times
: > preview.times
i=0
while [ $i -lt "$runs" ]; do
  # shellcheck disable=SC2086
  /usr/bin/time -a -o build.times -f %e "$tool" pack $sources -o out -q --force 2>>warnings.log
  # shellcheck disable=SC2086
  /usr/bin/time -a -o with.times -f %e "$tool" pack $sources -o with -q --force --preview 2>>warnings.log
  rm -rf previews
  /usr/bin/time -a -o preview.times -f %e "$tool" preview out/atlas.txt -o previews >/dev/null
  i=$((i + 1))
done
median() { sort -n "$1" | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
b=$(median build.times)
w=$(median with.times)
p=$(median preview.times)
pages=$(cat out/*.dds | wc -c)
previews=$(cat previews/* | wc -c)
echo "build (pack --force): median ${b} s over $runs runs ($(tr '\n' ' ' < build.times)s)"
echo "build --preview: median ${w} s ($(tr '\n' ' ' < with.times)s)"
echo "texatlas preview alone: median ${p} s ($(tr '\n' ' ' < preview.times)s)"
awk -v b="$b" -v w="$w" -v p="$p" 'BEGIN {printf "previews add %.2f of the build; preview alone / build: %.2f\n", (w - b) / b, p / b}'
echo "bytes: previews $previews, pages $pages"
