#!/bin/sh
# Unpacks the sample photographs of Debian's python3-skimage (without
# installing the package or its dependencies) for bench_dxt.
# Usage: bench/fetch_photos.sh DIR; then TA_BENCH_PHOTOS=DIR/photos bench_dxt
set -eu
dir=${1:-build/bench-photos}
mkdir -p "$dir"
cd "$dir"
[ -d photos ] && exit 0
ls python3-skimage_*.deb >/dev/null 2>&1 || apt-get download python3-skimage >/dev/null 2>&1
dpkg-deb -x python3-skimage_*.deb unpacked
mkdir -p photos
for name in astronaut.png chelsea.png coffee.png rocket.jpg motorcycle_left.png hubble_deep_field.jpg ihc.png retina.jpg; do
  cp "unpacked/usr/lib/python3/dist-packages/skimage/data/$name" photos/
done
rm -rf unpacked
