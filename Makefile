# Entry points; CMake does the building in build/.
BUILD ?= build
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build test demo bench install clean sanitize windows valgrind fuzz-smoke

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

install: build
	@cmake --install $(BUILD)

clean:
	@rm -rf $(BUILD) build-asan build-windows

# The whole suite again, built with AddressSanitizer and UBSan in build-asan.
sanitize: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTUREATLAS_SANITIZE=ON -DTEXTUREATLAS_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# textureatlas.dll cross-compiled with MinGW-w64 in build-windows.
windows:
	@scripts/install-deps.sh --hardening
	@scripts/windows-build.sh build-windows

# Valgrind memcheck over page generation end to end (configuration, layout,
# composition, DDS and index files), the hostile-input suite and a host that
# edits and copies records.
valgrind: build
	@cd $(BUILD)/tests/scratch && valgrind -q --error-exitcode=1 --leak-check=full \
	  --errors-for-leak-kinds=definite,indirect ../unit_tests --gtest_filter='Generate.*' && \
	  valgrind -q --error-exitcode=1 --leak-check=full \
	  --errors-for-leak-kinds=definite,indirect ../api_tests --gtest_filter='HostileInput.*:Lifetime.*:HostRecords.*'

# Every fuzz target for a short while (scripts/fuzz.sh SECONDS for longer runs).
fuzz-smoke:
	@scripts/fuzz.sh 30
