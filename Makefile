# MORV Studio: top-level commands. Each installs the Debian packages it needs.
#   make demo    build and render the demo through every module
#   make test    build everything and run every test (native, sanitizers, Windows DLL under Wine)
#   make bench   build and run the benchmarks
JOBS ?= 2
BUILD := build
ASAN_BUILD := build-asan
BENCH_BUILD := build-bench

.PHONY: all deps build demo test test-native test-asan test-wine windows bench clean

all: build

deps:
	@scripts/install_deps.sh native

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

demo: build
	./$(BUILD)/morv demo demo-output

test: test-native test-asan test-wine

test-native: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer;
# any report aborts the test and fails the run.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORV_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

# The plug-in, with its manual page beside it as the player's Plugins folder holds it.
windows: build
	scripts/build_windows.sh
	mkdir -p build-win32/MORVStudio
	$(BUILD)/morv manual --html > build-win32/MORVStudio/help.html

# The Wine tests compare the DLL's output with the native morv's.
test-wine: build windows
	MORV_NATIVE=$(BUILD)/morv tests/wine/run_wine_tests.sh

bench: deps
	@scripts/install_deps.sh bench
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMORV_BUILD_BENCH=ON -DMORV_BUILD_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	bench/run_all.sh $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) build-win32 demo-output
