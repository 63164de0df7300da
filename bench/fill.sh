#!/bin/sh
# How much page area `texatlas pack` spends on real and made-up texture sets:
# its defaults against the best page limits found by brute force (every
# power-of-two limit pair, laid out with --dry-run), and against the old
# defaults (2048 x 2048 limits, every file placed). Page counts and areas are
# exact; the script also says whether the default is the brute-force best.
# Usage: bench/fill.sh [build-dir, default build]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-deps.sh --packages freeciv-data minetest-data neverball-data extremetuxracer-data python3-pil

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target texatlas -j "$(nproc)" >/dev/null
tool=$build/tools/texatlas
work=$build/fill
rm -rf "$work" && mkdir -p "$work"
games=/usr/share/games

# The made-up sets: identical sprites, and icons of many sizes.
/usr/bin/python3 - "$work" <<'PY'
import os, random, sys
from PIL import Image
root = sys.argv[1]
os.makedirs(os.path.join(root, "identical"))
sprite = Image.new("RGBA", (64, 64), (200, 40, 40, 255))
for i in range(100):
    sprite.save(os.path.join(root, "identical", "sprite%03d.png" % i))
os.makedirs(os.path.join(root, "icons"))
rng = random.Random(11)
for i in range(300):
    size = rng.randint(16, 48)
    Image.new("RGBA", (size, size), (i % 256, (37 * i) % 256, 90, 255)).save(
        os.path.join(root, "icons", "icon%03d.png" % i))
PY

# JSON layout -> "textures pages area fill%"
measure() {
  /usr/bin/python3 - "$1" <<'PY'
import json, sys
layout = json.load(open(sys.argv[1]))
area = sum(p["width"] * p["height"] for p in layout["pages"])
images = sum(t["width"] * t["height"] for t in layout["textures"] if "duplicateOf" not in t)
print(len(layout["textures"]), len(layout["pages"]), area, "%.1f" % (100.0 * images / area if area else 0))
PY
}

row() {  # name, directories...
  name=$1; shift
  start=$(date +%s.%N)
  "$tool" pack "$@" -o "$work/out-$name" --json "$work/$name-default.json" -q -j 1 --force 2>/dev/null
  default=$(measure "$work/$name-default.json")
  limits=$(/usr/bin/python3 -c "import json,sys; g=json.load(open(sys.argv[1]))['groups'][0]; print('%dx%d' % (g['pageWidthLimit'], g['pageHeightLimit']))" "$work/$name-default.json")
  placed=${default%% *}
  "$tool" pack "$@" --no-fit --no-dedup --dry-run -o "$work/dry" --json "$work/$name-old.json" -q 2>/dev/null
  old=$(measure "$work/$name-old.json")
  best="" best_limits=""
  for w in 1 2 4 8 16 32 64 128 256 512 1024 2048; do
    for h in 1 2 4 8 16 32 64 128 256 512 1024 2048; do
      "$tool" pack "$@" --no-fit --width $w --height $h --dry-run -o "$work/dry" --json "$work/try.json" -q 2>/dev/null
      result=$(measure "$work/try.json")
      [ "${result%% *}" = "$placed" ] || continue  # limits that drop textures do not count
      if [ -z "$best" ] || echo "$result $best" |
           awk '{ exit !($2 < $6 || ($2 == $6 && $3 < $7)) }'; then
        best=$result best_limits="${w}x$h"
      fi
    done
  done
  seconds=$(echo "$start $(date +%s.%N)" | awk '{ printf "%.0f", $2 - $1 }')
  echo "$name $default $limits $old $best $best_limits $seconds" | awk '{
    same = ($3 == $12 && $4 == $13) ? "yes" : "NO"
    printf "| %s | %d | %d, %d, %s %% (limits %s) | %d, %d, %s %% | %d, %d, %s %% (limits %s) | %s | %d s |\n",
      $1, $2, $3, $4, $5, $6, $8, $9, $10, $12, $13, $14, $15, same, $16 }'
}

echo "| Set | textures | default: pages, page texels, fill | old default (2048 x 2048, every file) | brute-force best | default is best | script time |"
echo "|---|---|---|---|---|---|---|"
row identical "$work/identical"
row icons "$work/icons"
row freeciv-flags "$games/freeciv/flags"
row minetest "$games/minetest"
row freeciv "$games/freeciv"
row freeciv+minetest "$games/freeciv" "$games/minetest"
row neverball "$games/neverball"
row extremetuxracer "$games/etr"
