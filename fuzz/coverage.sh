#!/bin/sh
# Line coverage that the fuzz corpora (build-fuzz/corpus, grown by
# scripts/fuzz.sh) reach in the code each target is about. Builds the targets
# once more with clang's source-based coverage in build-fuzz-cov and replays
# every corpus file without fuzzing.
# Usage: fuzz/coverage.sh [target...]
set -eu
cd "$(dirname "$0")/.."
targets=${*:-"fuzz_config_load fuzz_config_check fuzz_layout fuzz_image_info fuzz_texture_load fuzz_dds"}
build=build-fuzz-cov
flags="-fprofile-instr-generate -fcoverage-mapping"
CC=clang CXX=clang++ cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTUREATLAS_FUZZ=ON \
      -DTEXTUREATLAS_TESTS=OFF -DTEXTUREATLAS_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" \
      -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
# shellcheck disable=SC2086
cmake --build $build -j "$(nproc)" --target $targets >/dev/null

layer=platform/d3d9/src
for target in $targets; do
  case $target in
    fuzz_config_load) files="src/config/reader.cpp src/config/writer.cpp src/config/configuration.cpp" ;;
    fuzz_config_check) files="tools/checks.cpp src/config/reader.cpp" ;;
    fuzz_layout) files="src/layout/*.cpp src/output/index_file.cpp" ;;
    fuzz_image_info) files="$layer/image_*.cpp $layer/dds_read.cpp" ;;
    fuzz_texture_load) files="$layer/image_*.cpp $layer/decode_stb.cpp $layer/dds_read.cpp
                              $layer/texture_from_file.cpp $layer/create_texture.cpp $layer/surface_copy.cpp
                              $layer/pixel_format.cpp $layer/dxt.cpp" ;;
    fuzz_dds) files="$layer/dds_read.cpp" ;;
  esac
  corpus=build-fuzz/corpus/$target
  [ -d "$corpus" ] || { echo "$target: no corpus, run scripts/fuzz.sh first"; continue; }
  rm -f "$build"/$target.*.profraw
  LLVM_PROFILE_FILE="$build/$target.%p.profraw" ASAN_OPTIONS=detect_leaks=0 \
    "$build/fuzz/$target" -runs=0 "$corpus" >/dev/null 2>&1 || true
  llvm-profdata-14 merge -sparse "$build"/$target.*.profraw -o "$build/$target.profdata"
  objects="$build/fuzz/$target -object $build/platform/d3d9/libd3d9soft.so"
  # shellcheck disable=SC2086
  total=$(llvm-cov-14 report $objects -instr-profile="$build/$target.profdata" $files | awk '/^TOTAL/ {print "lines", $10, "of", $8, "- branches", $13, "of", $11}')
  echo "$target: $(ls "$corpus" | wc -l) corpus files; $total"
  # shellcheck disable=SC2086
  llvm-cov-14 report $objects -instr-profile="$build/$target.profdata" $files > "$build/$target.coverage.txt"
done
