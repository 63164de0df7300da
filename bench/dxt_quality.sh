#!/bin/sh
# Block compression quality of the layer against libsquish's cluster fit and
# stb_dxt, image by image, on Debian's game textures (pixel art, tiles, UI)
# and photographs. Installs the game data if missing (needs root).
# Usage: bench/dxt_quality.sh [build-dir]   (default build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/install-deps.sh --packages minetest-data freeciv-data neverball-data >/dev/null
bench/fetch_photos.sh "$build/bench-photos"
cmake --build "$build" --target dxt_quality >/dev/null
exec "$build/bench/dxt_quality" \
  minetest=/usr/share/games/minetest \
  freeciv=/usr/share/games/freeciv \
  neverball=/usr/share/games/neverball \
  photos="$build/bench-photos/photos"
