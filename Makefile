# Front door: `make run` runs a default simulation, `make test` builds and
# passes the tests. Both install what they need first.

BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
OUT ?= out
CMAKE_FLAGS ?=

.PHONY: run test test-asan bench build deps clean

deps:
	scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target veldaris-run
	$(BUILD)/cli/veldaris-run --output-dir $(OUT)
	@echo "The result files are in $(abspath $(OUT))/"

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELDARIS_SANITIZE=ON -DVELDARIS_BUILD_BENCHMARKS=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bench/veldaris_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
