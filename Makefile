# Yandorix top-level commands: set-up, build and the actions.
#   make run    build and start example_tiled (under Xvfb with a screenshot when there is no display)
#   make test   build, run the suite, then the same suite in an ASan+UBSan build
#   make bench  build the benchmarks in Release and print their ratios
# The test suite is compiled only for the test targets: `make build` and an installed SDK compile none.
JOBS ?= 8
BUILD ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
CTEST_FLAGS ?= --output-on-failure -j$(JOBS)

.PHONY: all setup build test test-plain test-asan bench run fuzz clean

all: build

setup:
	@./scripts/setup.sh

CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: setup
	$(CONFIGURE) >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

test-plain: setup
	$(CONFIGURE) -DYDX_TESTS=ON >/dev/null
	cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest $(CTEST_FLAGS)

# Mesa's dynamically loaded modules leave stale dynamic-TLS entries that the leak checker's thread walk
# can trip over at exit: dynamic TLS is not walked (static TLS still is).
test-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DYDX_SANITIZE=ON -DYDX_TESTS=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest $(CTEST_FLAGS)

test: test-plain test-asan

bench: setup
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DYDX_BENCH=ON -DYDX_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	@./scripts/run-benchmarks.sh $(BENCH_BUILD)

fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DYDX_FUZZ=ON \
	  -DYDX_TESTS=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@echo "Fuzz targets are in $(FUZZ_BUILD)/fuzz; run one with its corpus, e.g. $(FUZZ_BUILD)/fuzz/fuzz_<name> fuzz/corpus/<name>"

run: build
	@./scripts/run-example.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
