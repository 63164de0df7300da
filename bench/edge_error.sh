#!/bin/sh
# Edge error of bordered textures: 400 minetest textures (Debian's
# minetest-data, the first 400 PNG files in name order) packed onto
# A8R8G8B8 pages with 4 mip levels, with border 0, with border 2, and with
# border 2 and --extrude; bench/edge_error.cpp samples each texture through
# its index rectangle and prints, per level, the mean absolute difference from
# the texture's own level near its edges (RGBA, 0-255): over the samples within
# one texel of the edge, and over those within half a texel (where bilinear
# sampling reaches across the edge).
# Usage: bench/edge_error.sh [build-dir, default build]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-deps.sh --packages minetest-data

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target edge_error texatlas -j "$(nproc)" >/dev/null
tool=$(pwd)/$build/tools/texatlas
measure=$(pwd)/$build/bench/edge_error
work=$(pwd)/$build/edge_error
rm -rf "$work" && mkdir -p "$work"

textures=/usr/share/games
cd "$textures"
# Names are paths relative to the texture directory; pack takes them as given.
find minetest -name '*.png' ! -name '* *' | sort | head -n 400 > "$work/textures.list"
echo "textures: $(wc -l < "$work/textures.list") minetest PNG files, A8R8G8B8, 4 mip levels"

run() {  # name, pack options...
  name=$1; shift
  # shellcheck disable=SC2046 # one argument per listed file, names without blanks
  "$tool" pack $(cat "$work/textures.list") -f A8R8G8B8 -m 4 -o "$work/$name" -q --force "$@"
  "$measure" "$work/$name/atlas.txt" "$work/$name/" "$textures/" 4 > "$work/$name.out"
}
run border0 -b 0
run border2 -b 2
run extruded -b 2 --extrude

figure() { sed -n "s/^level=$2 \(.* \)*$3=\([0-9.]*\).*/\2/p" "$work/$1.out"; }
table() {  # key, title
  printf '%-26s %6s %6s %6s %6s\n' "$2" L0 L1 L2 L3
  for name in border0 border2 extruded; do
    case $name in
      border0) label="border 0" ;;
      border2) label="border 2" ;;
      extruded) label="border 2, --extrude" ;;
    esac
    printf '%-26s %6s %6s %6s %6s\n' "$label" "$(figure $name 0 "$1")" "$(figure $name 1 "$1")" \
      "$(figure $name 2 "$1")" "$(figure $name 3 "$1")"
  done
}
table edge_rgba "within 1 texel (RGBA)"
table crossing_rgba "within 1/2 texel (RGBA)"
echo "(RGB and all samples too: $work/*.out)"
