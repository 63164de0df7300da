#!/bin/sh
# Builds the libFuzzer targets (clang, ASan, UBSan) in build-fuzz and runs each
# for a bounded time, seeded from the test fixtures and generated samples of
# every image type. Corpora grow in build-fuzz/corpus across runs; crashes,
# leaks, timeouts and oversized allocations land in build-fuzz/artifacts.
# Usage: scripts/fuzz.sh [seconds per target, default 30] [target...]
# FUZZ_KEEP_GOING=1 runs each target in a forked child that goes on after a
# crash, so that one known bug does not end a long run (findings still fail).
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
[ $# -gt 0 ] && shift
targets=${*:-"fuzz_config_load fuzz_config_check fuzz_layout fuzz_image_info fuzz_texture_load fuzz_dds fuzz_dxt_encode"}
build=build-fuzz

scripts/install-deps.sh --hardening
CC=clang CXX=clang++ cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTUREATLAS_FUZZ=ON -DTEXTUREATLAS_WERROR=ON \
      -DTEXTUREATLAS_TESTS=OFF -DTEXTUREATLAS_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build $build -j "$(nproc)" --target $targets

seeds=$build/seeds
rm -rf "$seeds" && mkdir -p "$seeds/config" "$seeds/images" "$seeds/dds" "$seeds/layout"
/usr/bin/python3 fuzz/make_seeds.py "$seeds/images"
find tests/data -type f -name '*.cfg' -exec cp {} "$seeds/config/" \;
# Lines of 1021, 1022 and 1023 characters: the reader reads 1022 of a line.
/usr/bin/python3 -c 'import sys; open(sys.argv[1] + "/limits.cfg", "w").write("group g\n" + "".join(
    "x" * 1017 + s + ".png\n" for s in ("", "a", "ab")))' "$seeds/config"
find tests/data -type f ! -name '*.cfg' -size -64k -exec cp {} "$seeds/images/" \;
cp "$seeds"/images/*.dds "$seeds/images"/*.DDS "$seeds/dds/" 2>/dev/null || true

status=0
summary=""
for target in $targets; do
  case $target in
    fuzz_config_load|fuzz_config_check) seed=$seeds/config; extra="-max_len=8192 -dict=fuzz/config.dict" ;;
    fuzz_layout) seed=$seeds/layout; extra="-max_len=2048" ;;  # grows its own corpus from nothing
    fuzz_dds) seed=$seeds/dds; extra="-max_len=16384" ;;
    fuzz_dxt_encode) seed=$seeds/layout; extra="-max_len=64" ;;  # 16 texels; grows its own corpus
    *) seed=$seeds/images; extra="-max_len=16384" ;;
  esac
  corpus=$build/corpus/$target artifacts=$build/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  log=$build/$target.log
  # Inputs that once failed are replayed first: each is a regression test.
  regressions=fuzz/regressions/$target
  if [ -d "$regressions" ] && [ -n "$(ls "$regressions")" ]; then
    if ! "$build/fuzz/$target" "$regressions"/* >"$build/$target.regressions.log" 2>&1; then
      status=1
      echo "REGRESSION in $target, see $build/$target.regressions.log:"
      grep -E 'Running:|SUMMARY|invariant|leaked' "$build/$target.regressions.log" | head -10
    fi
  fi
  echo "== $target: ${seconds}s"
  [ "${FUZZ_KEEP_GOING:-0}" = 1 ] && extra="$extra -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1"
  # One input may take 10 s and 1 GiB of memory; more is a finding.
  # shellcheck disable=SC2086
  if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
       "$build/fuzz/$target" "$corpus" "$seed" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$artifacts/" $extra >"$log" 2>&1; then
    status=1
    echo "FAILED, see $log:"; grep -E 'ERROR|SUMMARY|Test unit written|invariant|leaked' "$log" | sort -u | head -20
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\): cov:.*/\1/p' "$log" | tail -1)  # fork mode
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  summary="$summary$target: ${runs:-?} executions, ${cov:-no coverage line}, corpus $(ls "$corpus" | wc -l) files
"
done
printf '%s' "$summary"
exit $status
