#!/bin/sh
# End-to-end speed on real texture sets: the PNG tiles and sprites of Debian's
# freeciv-data and the textures of minetest-data, packed into 2048x2048 pages
# with full mip chains, once as A8R8G8B8 and once as DXT5. Times the whole
# build, the decoding of every source alone (same decoders) and the block
# compression of the same pages alone, so that the overhead of everything
# else shows as a ratio. Peak memory comes from /usr/bin/time -v. These runs
# keep the software layer on one thread.
# Then the parallel paths, each the fastest of E2E_RUNS runs (default 3): four
# groups (those two, neverball-data, extremetuxracer-data; DXT5, full mips)
# built by texatlas with -j 1 and -j 2, and one group (E2E_GROUP: neverball,
# its photographic textures being what DXT pages usually hold; or freeciv,
# minetest, etr) with the layer's block compression on 1 and 2 threads. Both
# check that the pages are the same bytes either way.
# Last, single groups through texatlas, where the threads left over decode
# the sources ahead: neverball as DXT5 and freeciv + minetest as A8R8G8B8
# (full mips), each with -j 1, -j 2 and -j 2 with decoding ahead off
# (TEXATLAS_DECODE_AHEAD=0), taking turns E2E_RUNS times; medians, ranges
# and the largest peak memory. E2E_TOOL_ONLY=1 runs this part alone.
# Then the tool against the library alone: texatlas build -j 1 and
# bench/e2e_host --threads 1 build on freeciv + minetest as one A8R8G8B8
# group, taking turns E2E_HOST_RUNS times (default 10), medians and their
# ratio; the host gets the malloc settings that tools/main.cpp gives the
# tool. E2E_HOST_ONLY=1 runs this part alone.
# Usage: bench/e2e.sh [build-dir, default build]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-deps.sh --packages freeciv-data minetest-data neverball-data extremetuxracer-data time

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target e2e_host texatlas -j "$(nproc)" >/dev/null
host=$build/bench/e2e_host
tool=$build/tools/texatlas
runs=${E2E_RUNS:-3}

work=$build/e2e
# Pages go to memory when it can: the figures are about the library's work,
# not the speed of the disk under this machine.
pages=$work
[ -w /dev/shm ] && pages=/dev/shm/textureatlas-e2e.$$
trap 'rm -rf "/dev/shm/textureatlas-e2e.$$"' EXIT
rm -rf "$work" && mkdir -p "$work" "$pages/argb" "$pages/dxt5" "$pages/one_t1" "$pages/one_t2" "$pages/fm1.host"
textures=/usr/share/games
# Names are relative to the texture directory; the file format has no quoting.
(cd $textures && find freeciv -name '*.png' ! -name '* *' | sort) > "$work/freeciv.list"
(cd $textures && find minetest -name '*.png' ! -name '* *' | sort) > "$work/minetest.list"
(cd $textures && find neverball \( -name '*.png' -o -name '*.jpg' \) ! -name '* *' | sort) > "$work/neverball.list"
(cd $textures && find etr -name '*.png' ! -name '* *' | sort) > "$work/etr.list"

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
  if ! /usr/bin/time -v -o "$work/$name.time" "$@" > "$work/$name.out" 2> "$work/$name.err"; then
    cat "$work/$name.err" >&2
    echo "e2e: $name failed" >&2
    exit 1
  fi
}
value() { sed -n "s/^$2=//p" "$work/$1.out"; }
wall() {  # "Elapsed (wall clock) time (h:mm:ss or m:ss): 1:02.34" in seconds
  sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/$1.time" |
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s }'
}
peak_mb() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/$1.time" | awk '{ printf "%.1f", $1 / 1024 }'; }

ratio() { echo "$1 $2" | awk "{ printf \"%.${3:-2}f\", \$1 / \$2 }"; }  # a b [decimals]
same_pages() {  # dir dir: every page file alike, and the index lines (its comments hold paths)
  for page in "$1"/*.dds; do cmp -s "$page" "$2/${page##*/}" || { echo "differ: ${page##*/}"; return; }; done
  for index in "$1"/*.txt "$1"/*.tai; do
    [ -f "$index" ] || continue
    grep -v '^#' "$index" > "$work/index.a"
    grep -v '^#' "$2/${index##*/}" > "$work/index.b" 2>/dev/null || true
    cmp -s "$work/index.a" "$work/index.b" || { echo "differ: ${index##*/}"; return; }
  done
  echo "identical"
}
turns() {  # runs name "command" [name "command"]...: the commands in turn, each turn in the same order
  turns_n=$1; shift
  i=0
  while [ "$i" -lt "$turns_n" ]; do
    one_turn "$i" "$@"
    i=$((i + 1))
  done
}
one_turn() {
  turn=$1; shift
  while [ "$#" -ge 2 ]; do
    # Timed here to the millisecond: /usr/bin/time gives hundredths.
    started=$(date +%s%N)
    eval timed "$1.$turn" "$2"
    echo "$(( ($(date +%s%N) - started) / 1000000 )) $(peak_mb "$1.$turn")" |
      awk '{ printf "%.3f %s\n", $1 / 1000, $2 }' >> "$work/$1.walls"
    shift 2
  done
}
summary() {  # name: "median s (min-max), peak MB"
  sort -n "$work/$1.walls" | awk '{ w[NR] = $1; if ($2 > m) m = $2 }
    END { printf "%.3f s (%.3f-%.3f), peak %.0f MB", (NR % 2 ? w[(NR + 1) / 2] : (w[NR / 2] + w[NR / 2 + 1]) / 2), w[1], w[NR], m }'
}
median() { sort -n "$work/$1.walls" | awk '{ w[NR] = $1 } END { print (NR % 2 ? w[(NR + 1) / 2] : (w[NR / 2] + w[NR / 2 + 1]) / 2) }'; }

{ echo "group neverball width 2048 height 2048 format DXT5 miplevels 12 border 0"
  cat "$work/neverball.list"; } > "$work/nb1.cfg"
{ echo "group fm width 2048 height 2048 format A8R8G8B8 miplevels 12 border 0"
  cat "$work/freeciv.list" "$work/minetest.list"; } > "$work/fm1.cfg"

single_groups() {
  "$tool" build "$work/fm1.cfg" -t "$textures" -o "$pages/warm" -j 1 --force -q  # warms the file cache
  for set in nb1 fm1; do
    rm -f "$work/$set".*.walls
    turns "$runs" \
      "$set.j1" '"$tool" build "$work/$set.cfg" -t "$textures" -o "$pages/$set.j1" -j 1 --force -q' \
      "$set.j2" '"$tool" build "$work/$set.cfg" -t "$textures" -o "$pages/$set.j2" -j 2 --force -q' \
      "$set.off" 'env TEXATLAS_DECODE_AHEAD=0 "$tool" build "$work/$set.cfg" -t "$textures" -o "$pages/$set.off" -j 2 --force -q'
    echo "one group $set through texatlas ($runs turns): -j 1 $(summary "$set.j1"); -j 2 $(summary "$set.j2");" \
         "-j 2 without decoding ahead $(summary "$set.off"); median ratio -j 2 / -j 1" \
         "$(ratio "$(median "$set.j2")" "$(median "$set.j1")"), without $(ratio "$(median "$set.off")" "$(median "$set.j1")");" \
         "pages $(same_pages "$pages/$set.j1" "$pages/$set.j2"), off $(same_pages "$pages/$set.j1" "$pages/$set.off")"
  done
}
# mallopt in tools/main.cpp, as tunables: one arena, freed memory kept up to 64 MiB.
tool_malloc=glibc.malloc.arena_max=1:glibc.malloc.mmap_threshold=67108864:glibc.malloc.trim_threshold=67108864
tool_and_host() {
  host_runs=${E2E_HOST_RUNS:-10}
  "$tool" build "$work/fm1.cfg" -t "$textures" -o "$pages/warm" -j 1 --force -q  # warms the file cache
  rm -f "$work"/fm1.tool.walls "$work"/fm1.host.walls
  turns "$host_runs" \
    fm1.tool '"$tool" build "$work/fm1.cfg" -t "$textures" -o "$pages/fm1.tool" -j 1 --force -q' \
    fm1.host 'env GLIBC_TUNABLES=$tool_malloc "$host" --threads 1 build "$work/fm1.cfg" "$textures/" "$pages/fm1.host/"'
  # Identical files are placed once by the tool only; without that the pages
  # and index lines must be the library's (its index under the host's name).
  "$tool" build "$work/fm1.cfg" -t "$textures" -o "$pages/fm1.same" -i "$pages/fm1.same/atlas.tai" -j 1 --no-dedup -q \
    2> "$work/fm1.same.err"
  echo "tool against the library alone (fm1, $host_runs turns): texatlas build -j 1 $(summary fm1.tool);" \
       "e2e_host --threads 1 $(summary fm1.host); median ratio" \
       "$(ratio "$(median fm1.tool)" "$(median fm1.host)" 3) (target 1.05);" \
       "pages with --no-dedup $(same_pages "$pages/fm1.host" "$pages/fm1.same")"
}
if [ "${E2E_HOST_ONLY:-0}" = 1 ]; then
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
  tool_and_host
  echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  exit 0
fi
if [ "${E2E_TOOL_ONLY:-0}" = 1 ]; then
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
  single_groups
  echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  exit 0
fi

"$host" decode "$work/argb.cfg" "$textures/" > /dev/null  # warms the file cache
timed decode "$host" --threads 1 decode "$work/argb.cfg" "$textures/"
timed argb "$host" --threads 1 build "$work/argb.cfg" "$textures/" "$pages/argb/"
timed encode "$host" --threads 1 encode "$pages/argb/" DXT5
timed dxt5 "$host" --threads 1 build "$work/dxt5.cfg" "$textures/" "$pages/dxt5/"

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

# ---- Parallel paths -------------------------------------------------------
keep_best() {  # name, command...: one run, kept as name when it is the fastest so far
  kept=$1; shift  # not "name": timed sets that
  timed "$kept.try" "$@"
  if [ ! -f "$work/$kept.time" ] || awk "BEGIN { exit !($(wall "$kept.try") < $(wall "$kept")) }"; then
    mv "$work/$kept.try.time" "$work/$kept.time"
    mv "$work/$kept.try.out" "$work/$kept.out"
  fi
}
# Two commands, each run $runs times, taking turns so that a slow spell of
# this shared machine falls on both alike; the fastest run of each is kept.
best_of_pair() {  # name1 name2 "command1" "command2"
  rm -f "$work/$1.time" "$work/$2.time"
  i=0
  while [ "$i" -lt "$runs" ]; do
    eval keep_best "$1" "$3"
    eval keep_best "$2" "$4"
    i=$((i + 1))
  done
}
echo "load average before the parallel runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

groups="freeciv minetest neverball etr"
{ for group in $groups; do
    echo "group $group width 2048 height 2048 format DXT5 miplevels 12 border 0"
    cat "$work/$group.list"
  done; } > "$work/four.cfg"
one=${E2E_GROUP:-neverball}
{ echo "group $one width 2048 height 2048 format DXT5 miplevels 12 border 0"
  cat "$work/$one.list"; } > "$work/one.cfg"
files=$(cat $(for group in $groups; do echo "$work/$group.list"; done) | wc -l)

if "$tool" build --help 2>&1 | grep -q -- '--jobs'; then
  best_of_pair four_j1 four_j2 \
    '"$tool" build "$work/four.cfg" -t "$textures" -o "$pages/four_j1" -j 1 --force -q' \
    '"$tool" build "$work/four.cfg" -t "$textures" -o "$pages/four_j2" -j 2 --force -q'
  j1=$(wall four_j1) j2=$(wall four_j2)
  echo "four groups ($files files, DXT5, full mips), texatlas build: -j 1 $j1 s (peak $(peak_mb four_j1) MB)," \
       "-j 2 $j2 s (peak $(peak_mb four_j2) MB); ratio $(ratio "$j2" "$j1") (target 0.6);" \
       "pages $(same_pages "$pages/four_j1" "$pages/four_j2")"
else
  echo "four groups: skipped, this texatlas has no -j"
fi

best_of_pair one_t1 one_t2 \
  '"$host" --threads 1 build "$work/one.cfg" "$textures/" "$pages/one_t1/"' \
  '"$host" --threads 2 build "$work/one.cfg" "$textures/" "$pages/one_t2/"'
t1=$(wall one_t1) t2=$(wall one_t2)
echo "one group ($one, $(value one_t1 pages) DXT5 pages, full mips), layer threads: 1 $t1 s, 2 $t2 s;" \
     "ratio $(ratio "$t2" "$t1") (target 0.75); pages $(same_pages "$pages/one_t1" "$pages/one_t2")" \
     "[write $(value one_t1 write_s) s / $(value one_t2 write_s) s]"
single_groups
tool_and_host
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
