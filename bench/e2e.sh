#!/bin/sh
# End-to-end speed on real texture sets: the PNG tiles and sprites of Debian's
# freeciv-data and the textures of minetest-data, packed into 2048x2048 pages
# with full mip chains, once as A8R8G8B8 and once as DXT5. Times the whole
# build, the decoding of every source alone (same decoders) and the block
# compression of the same pages alone, so that the overhead of everything
# else shows as a ratio. Peak memory comes from /usr/bin/time -v.
# Usage: bench/e2e.sh [build-dir, default build]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-deps.sh --packages freeciv-data minetest-data time

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target e2e_host -j "$(nproc)" >/dev/null
host=$build/bench/e2e_host

work=$build/e2e
# Pages go to memory when it can: the figures are about the library's work,
# not the speed of the disk under this machine.
pages=$work
[ -w /dev/shm ] && pages=/dev/shm/textureatlas-e2e.$$
trap 'rm -rf "/dev/shm/textureatlas-e2e.$$"' EXIT
rm -rf "$work" && mkdir -p "$work" "$pages/argb" "$pages/dxt5"
textures=/usr/share/games
# Names are relative to the texture directory; the file format has no quoting.
(cd $textures && find freeciv -name '*.png' ! -name '* *' | sort) > "$work/freeciv.list"
(cd $textures && find minetest -name '*.png' ! -name '* *' | sort) > "$work/minetest.list"

write_config() {  # format file
  { echo "group freeciv width 2048 height 2048 format $1 miplevels 12 border 0"
    cat "$work/freeciv.list"
    echo "group minetest width 2048 height 2048 format $1 miplevels 12 border 0"
    cat "$work/minetest.list"; } > "$2"
}
write_config A8R8G8B8 "$work/argb.cfg"
write_config DXT5 "$work/dxt5.cfg"

timed() {  # name, command...: runs it under /usr/bin/time -v
  name=$1; shift
  /usr/bin/time -v -o "$work/$name.time" "$@" > "$work/$name.out"
}
value() { sed -n "s/^$2=//p" "$work/$1.out"; }
wall() {  # "Elapsed (wall clock) time (h:mm:ss or m:ss): 1:02.34" in seconds
  sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/$1.time" |
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s }'
}
peak_mb() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/$1.time" | awk '{ printf "%.1f", $1 / 1024 }'; }

"$host" decode "$work/argb.cfg" "$textures/" > /dev/null  # warms the file cache
timed decode "$host" decode "$work/argb.cfg" "$textures/"
timed argb "$host" build "$work/argb.cfg" "$textures/" "$pages/argb/"
timed encode "$host" encode "$pages/argb/" DXT5
timed dxt5 "$host" build "$work/dxt5.cfg" "$textures/" "$pages/dxt5/"

decode_wall=$(wall decode) encode_s=$(value encode encode_s)
echo "sources: $(wc -l < "$work/freeciv.list") freeciv + $(wc -l < "$work/minetest.list") minetest PNG files"
echo "decode only: ${decode_wall} s wall ($(value decode decode_s) s decoding $(value decode decoded) files), peak $(peak_mb decode) MB"
echo "encode only (DXT5, same pages, all levels): ${encode_s} s"
for run in argb dxt5; do
  w=$(wall $run) textures_n=$(value $run textures) texels=$(value $run page_texels)
  if [ $run = argb ]; then
    base=$decode_wall target=1.5 label="A8R8G8B8"
  else
    base=$(echo "$decode_wall $encode_s" | awk '{ printf "%.2f", $1 + $2 }') target=1.3 label="DXT5"
  fi
  echo "$label build: $w s wall, peak $(peak_mb $run) MB, $(value $run pages) pages, $textures_n textures," \
       "$(echo "$textures_n $w" | awk '{ printf "%.0f", $1 / $2 }') textures/s," \
       "$(echo "$texels $w" | awk '{ printf "%.1f", $1 / $2 / 1e6 }') Mtexels/s of pages;" \
       "ratio $(echo "$w $base" | awk '{ printf "%.2f", $1 / $2 }') to $base s (target $target)" \
       "[load $(value $run load_s) s, layout $(value $run layout_s) s, write $(value $run write_s) s]"
done
