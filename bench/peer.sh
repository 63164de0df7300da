#!/bin/bash
# texatlas pack beside a peer packer from npm (free-tex-packer-core) on the
# same PNG files, with settings as close as the two allow: pages up to
# 2048 x 2048, power-of-two page sizes, no rotation, no trimming, no padding,
# every file placed (no merging of identical files), one mip level. The peer
# places with MaxRects (best short side fit); texatlas with its guillotine
# tree. Prints pages, total page area, wall time (median of PEER_RUNS runs,
# default 3, the two taking turns) and peak memory (/usr/bin/time %M).
# The peer is installed into a scratch folder (PEER_DIR, default
# /tmp/texatlas-peer), never into the repository.
# Usage: bench/peer.sh [folder...]   (default: the PNGs of Debian's
#        freeciv-data and minetest-data under /usr/share/games)
# Environment: PEER_DIR, PEER_VERSION (0.3.9), PEER_RUNS (3), BUILD (build)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd -P)
build=${BUILD:-build}
peer_dir=${PEER_DIR:-/tmp/texatlas-peer}
version=${PEER_VERSION:-0.3.9}
runs=${PEER_RUNS:-3}

if [ $# -eq 0 ]; then
  scripts/install-deps.sh --packages freeciv-data minetest-data
  set -- /usr/share/games/freeciv /usr/share/games/minetest
fi
scripts/install-deps.sh --packages time
# A node that came with its own npm (not Debian's packages) serves as well.
command -v node > /dev/null && command -v npm > /dev/null || scripts/install-deps.sh --packages nodejs npm

peer_dir=$(realpath -m "$peer_dir")
case "$peer_dir/" in
  "$repo"/*) echo "peer.sh: PEER_DIR must lie outside the repository" >&2; exit 2 ;;
esac
mkdir -p "$peer_dir"
installed=$(cd "$peer_dir" && node -p 'require("free-tex-packer-core/package.json").version' 2>/dev/null || true)
if [ "$installed" != "$version" ]; then
  (cd "$peer_dir" && { [ -f package.json ] || npm init -y >/dev/null; } &&
   npm install --no-audit --no-fund --loglevel=error "free-tex-packer-core@$version" >/dev/null)
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target texatlas -j "$(nproc)" >/dev/null
tool=$build/tools/texatlas

work=$peer_dir/work
rm -rf "$work" && mkdir -p "$work/links"
find "$@" -type f -iname '*.png' | sort > "$work/all.list"
# Both get the same files: PNGs no larger than a page (the peer refuses a
# whole set over one larger image).
node bench/peer_pack.js select "$work/all.list" "$work/files.list" 2> "$work/left_out.txt"
# texatlas takes folders; numbered links keep it to exactly these files.
i=0
while IFS= read -r file; do
  i=$((i + 1))
  ln -s "$file" "$work/links/$(printf %06d "$i").png"
done < "$work/files.list"
xargs -d '\n' cat < "$work/files.list" > /dev/null  # both start from the file cache

run_texatlas() {
  rm -rf "$work/texatlas"
  "$tool" pack -q --force --no-dedup -m 1 -f A8R8G8B8 --width 2048 --height 2048 \
    -o "$work/texatlas" "$work/links"
}
run_peer() {
  rm -rf "$work/peer"
  node bench/peer_pack.js pack "$work/files.list" "$work/peer" "$peer_dir"
}
timed() {  # name: one run, "wall peak_kb" appended to $work/name.times
  if ! /usr/bin/time -f '%e %M' -o "$work/$1.time" bash -c "run_$1" > "$work/$1.out" 2> "$work/$1.err"; then
    cat "$work/$1.err" >&2
    echo "peer.sh: $1 failed" >&2
    exit 1
  fi
  tail -n 1 "$work/$1.time" >> "$work/$1.times"
}
export -f run_texatlas run_peer
export tool work peer_dir

n=0
while [ "$n" -lt "$runs" ]; do
  timed texatlas
  timed peer
  n=$((n + 1))
done

median() {  # column of name.times
  awk -v c="$2" '{ print $c }' "$work/$1.times" | sort -n |
    awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); print (NR % 2) ? v[m] : (v[m] + v[m + 1]) / 2 }'
}
# DDS header: height and width as little-endian 32-bit words at bytes 12 and 16.
ta_pages=0 ta_area=0
for page in "$work/texatlas"/*.dds; do
  read -r height width < <(od -An -t u4 -j 12 -N 8 "$page")
  ta_pages=$((ta_pages + 1)) ta_area=$((ta_area + width * height))
done
# Index lines that name a page, one per placed texture.
ta_placed=$(grep -v '^#' "$work/texatlas/atlas.txt" | grep -c '\.dds, ' || true)
peer_placed=$(sed -n 's/.*placed=\([0-9]*\).*/\1/p' "$work/peer.out")
peer_pages=$(sed -n 's/.*pages=\([0-9]*\).*/\1/p' "$work/peer.out")
peer_area=$(sed -n 's/.*area=\([0-9]*\).*/\1/p' "$work/peer.out")

echo "files: $(wc -l < "$work/files.list") PNGs from $*; $(wc -l < "$work/left_out.txt") left out (see $work/left_out.txt)"
echo "peer: free-tex-packer-core $version (MaxRectsBin, BestShortSideFit) on node $(node --version), from $peer_dir"
echo "runs: $runs each, taking turns; wall is the median, peak memory the median of the runs' peaks"
echo "The peer writes PNG pages, texatlas DDS pages (A8R8G8B8, one level): the write differs in kind."
printf '%-10s %7s %6s %14s %9s %11s\n' "" placed pages "page texels" "wall s" "peak MB"
for name in texatlas peer; do
  if [ "$name" = texatlas ]; then
    placed=$ta_placed pages=$ta_pages area=$ta_area
  else
    placed=$peer_placed pages=$peer_pages area=$peer_area
  fi
  printf '%-10s %7s %6s %14s %9.2f %11.1f\n' "$name" "$placed" "$pages" "$area" "$(median "$name" 1)" \
    "$(echo "$(median "$name" 2)" | awk '{ print $1 / 1024 }')"
done
