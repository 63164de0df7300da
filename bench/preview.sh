#!/bin/sh
# Preview time against build time on the same atlas: Debian's freeciv and
# minetest PNGs packed with texatlas's defaults, then `texatlas preview` of
# that build, RUNS times each, interleaved; prints the median wall times,
# their ratio and the bytes of the previews against those of the pages.
# Usage: bench/preview.sh [build-dir, default build]   (RUNS=5 by default)
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
"$tool" pack /usr/share/games/freeciv /usr/share/games/minetest -o out -q
: > build.times
: > preview.times
i=0
while [ $i -lt "$runs" ]; do
  /usr/bin/time -a -o build.times -f %e "$tool" pack /usr/share/games/freeciv /usr/share/games/minetest -o out -q --force
  rm -rf previews
  /usr/bin/time -a -o preview.times -f %e "$tool" preview out/atlas.txt -o previews >/dev/null
  i=$((i + 1))
done
median() { sort -n "$1" | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
b=$(median build.times)
p=$(median preview.times)
pages=$(cat out/*.dds | wc -c)
previews=$(cat previews/* | wc -c)
echo "build (pack --force): median ${b} s over $runs runs ($(tr '\n' ' ' < build.times)s)"
echo "preview: median ${p} s ($(tr '\n' ' ' < preview.times)s)"
awk -v b="$b" -v p="$p" 'BEGIN {printf "preview / build: %.2f\n", p / b}'
echo "bytes: previews $previews, pages $pages"
