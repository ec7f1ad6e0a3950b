# Front door: `make run` runs a default simulation, `make test` builds and
# passes the tests. Both install what they need first.

BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
CLANG_BUILD ?= build-clang
JOBS ?= 2
OUT ?= out
CMAKE_FLAGS ?=
GUI ?= ON

.PHONY: run test test-asan test-tsan test-clang bench build deps clean

deps:
	scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DVELDARIS_BUILD_GUI=$(GUI) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# With a display: the desktop program, started in $(OUT) so that its result
# files land there. Without one: the default simulation headless, with the
# window's picture as SVG.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target veldaris-run $(if $(filter OFF,$(GUI)),,veldaris)
	@mkdir -p $(OUT)
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD)/ui/qt/veldaris ]; then \
	  echo "Opening the desktop program; its result files go to $(abspath $(OUT))/"; \
	  cd $(OUT) && exec $(abspath $(BUILD))/ui/qt/veldaris; \
	else \
	  $(BUILD)/cli/veldaris-run --output-dir $(OUT) --picture $(OUT)/veldaris.svg && \
	  echo "No display: ran the default simulation headless." && \
	  echo "The result files and the picture (veldaris.svg) are in $(abspath $(OUT))/"; \
	fi

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELDARIS_SANITIZE=ON -DVELDARIS_BUILD_BENCHMARKS=OFF -DVELDARIS_BUILD_GUI=$(GUI) $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The model, driver and UI-layer tests under ThreadSanitizer: simulations run
# side by side on threads of one process.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDARIS_TSAN=ON -DVELDARIS_BUILD_BENCHMARKS=OFF -DVELDARIS_BUILD_GUI=OFF $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS)

# The suite built with Clang instead of GCC, so that no result depends on one
# compiler's choices (the Windows program's test is left to make test).
test-clang: deps
	CC=clang CXX=clang++ cmake -S . -B $(CLANG_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELDARIS_BUILD_GUI=$(GUI) $(CMAKE_FLAGS)
	cmake --build $(CLANG_BUILD) -j $(JOBS)
	ctest --test-dir $(CLANG_BUILD) --output-on-failure -j $(JOBS) -LE win32

bench: build
	$(BUILD)/bench/veldaris_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(CLANG_BUILD)
