# Entry points; CMake does the building in build/.
BUILD ?= build
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build test demo bench install clean sanitize tsan windows valgrind fuzz-smoke

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTUREATLAS_WERROR=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Only the tool and the libraries it loads, not every test and benchmark.
demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target texatlas
	@scripts/demo.sh $(BUILD)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

install: build
	@cmake --install $(BUILD)

clean:
	@rm -rf $(BUILD) build-asan build-tsan build-windows

# The whole suite again, built with AddressSanitizer and UBSan in build-asan.
sanitize: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTUREATLAS_SANITIZE=ON -DTEXTUREATLAS_BENCH=OFF -DTEXTUREATLAS_WERROR=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The threaded paths under ThreadSanitizer in build-tsan: the layer's block
# compression and decode-ahead tests and every tool test (tool_*: parallel
# groups). Only their targets are built, so the placeholders CTest lists for
# the suites left unbuilt (tool_unit_tests_NOT_BUILT) are left out.
TSAN_TESTS = '^ThreadedCompression\.|^DecodeAhead\.|^tool_'
tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEXTUREATLAS_TSAN=ON -DTEXTUREATLAS_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target platform_tests texatlas reference_host
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure --no-tests=error -j $(JOBS) -R $(TSAN_TESTS) -E '_NOT_BUILT$$'

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
