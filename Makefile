# Front door: `make run` runs a default simulation, `make test` builds and
# passes the tests, `make windows` makes the zip for Windows users, `make
# linux` the statically linked command-line programs for any x86-64 Linux.
# All install what they need first.

BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
CLANG_BUILD ?= build-clang
LINUX_BUILD ?= build-linux
JOBS ?= 2
OUT ?= out
CMAKE_FLAGS ?=
GUI ?= ON
# The Windows build shares its directory with the Windows tests of make test.
WIN32_BUILD ?= $(BUILD)/win32
DIST ?= dist
VERSION := $(shell sed -n 's/^set(VELDARIS_VERSION "\(.*\)")$$/\1/p' cmake/version.cmake)
WINDOWS_ZIP := veldaris-$(VERSION)-windows-x86_64.zip
LINUX_TARBALL := veldaris-$(VERSION)-linux-x86_64.tar.gz

.PHONY: run test python test-asan test-tsan test-clang fuzz bench build deps windows linux clean

deps:
	scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DVELDARIS_BUILD_GUI=$(GUI) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# With a display: the desktop program, started in $(OUT) so that its result
# files land there. Without one: the default simulation headless, with the
# window's picture as SVG. Every command-line program is built either way.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target veldaris-run veldaris-sweep $(if $(filter OFF,$(GUI)),,veldaris)
	@mkdir -p $(OUT)
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD)/ui/qt/veldaris ]; then \
	  echo "Opening the desktop program; its result files go to $(abspath $(OUT))/"; \
	  cd $(OUT) && exec $(abspath $(BUILD))/ui/qt/veldaris; \
	else \
	  $(BUILD)/cli/veldaris-run --output-dir $(OUT) --picture $(OUT)/veldaris.svg && \
	  echo "No display: ran the default simulation headless." && \
	  echo "The result files and the picture (veldaris.svg) are in $(abspath $(OUT))/"; \
	fi

# The Python module into $(BUILD)/python: PYTHONPATH=$(BUILD)/python python3 -c "import veldaris"
python: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target python

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

# The libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer),
# each for FUZZ_SECONDS; a fault fails.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDARIS_FUZZ=ON -DVELDARIS_SANITIZE=ON -DVELDARIS_BUILD_TESTS=OFF -DVELDARIS_BUILD_BENCHMARKS=OFF -DVELDARIS_BUILD_GUI=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The programs cross-compiled with MinGW-w64 and packed with their README into
# $(DIST)/$(WINDOWS_ZIP); copied there whole, so an earlier zip is never left
# half written.
windows:
	@test -n "$(VERSION)" || { echo "make windows: no VELDARIS_VERSION in cmake/version.cmake" >&2; exit 1; }
	scripts/install-deps --win32
	cmake -S ui/win32 -B $(WIN32_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN32_BUILD) -j $(JOBS)
	@mkdir -p $(DIST)
	cp $(WIN32_BUILD)/dist/$(WINDOWS_ZIP) $(DIST)/$(WINDOWS_ZIP).part
	mv $(DIST)/$(WINDOWS_ZIP).part $(DIST)/$(WINDOWS_ZIP)
	@echo "The Windows zip is $(abspath $(DIST)/$(WINDOWS_ZIP))"

# veldaris-run and veldaris-sweep linked statically (they use nothing of the C
# library that needs its shared parts: no name service, no locale files), with
# a README, in $(DIST)/$(LINUX_TARBALL); then run inside an empty root
# directory against the reference files (as root; skipped otherwise).
linux: deps
	@test -n "$(VERSION)" || { echo "make linux: no VELDARIS_VERSION in cmake/version.cmake" >&2; exit 1; }
	cmake -S . -B $(LINUX_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELDARIS_BUILD_GUI=OFF -DVELDARIS_BUILD_TESTS=OFF \
	  -DVELDARIS_BUILD_BENCHMARKS=OFF -DVELDARIS_BUILD_PYTHON=OFF -DCMAKE_EXE_LINKER_FLAGS=-static \
	  -DSQLite3_LIBRARY=$(firstword $(wildcard /usr/lib/*/libsqlite3.a) libsqlite3.a) $(CMAKE_FLAGS)
	cmake --build $(LINUX_BUILD) -j $(JOBS) --target veldaris-run veldaris-sweep
	scripts/linux-bundle $(LINUX_BUILD) $(VERSION) $(DIST)
	tests/linux/bundle_test.sh --bundle $(DIST)/$(LINUX_TARBALL) || [ $$? -eq 77 ]

# The suite built with Clang instead of GCC, so that no result depends on one
# compiler's choices (the Windows program's test is left to make test).
test-clang: deps
	CC=clang CXX=clang++ cmake -S . -B $(CLANG_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELDARIS_BUILD_GUI=$(GUI) $(CMAKE_FLAGS)
	cmake --build $(CLANG_BUILD) -j $(JOBS)
	ctest --test-dir $(CLANG_BUILD) --output-on-failure -j $(JOBS) -LE win32

bench: build
	$(BUILD)/bench/veldaris_bench
	$(BUILD)/bench/veldaris_sweep_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(CLANG_BUILD) $(FUZZ_BUILD) $(LINUX_BUILD)
