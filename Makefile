# MORV Studio: top-level commands. Each installs the Debian packages it needs.
#   make demo    build and render the demo through every module
#   make test    build everything and run every test (native, sanitizers, fuzz targets for a
#                short time, thread stress test under ThreadSanitizer, Windows DLL under Wine)
#   make fuzz    build the fuzz targets and run each for FUZZ_SECONDS (default 60)
#   make bench   build and run the benchmarks
#   make lv2     build the LV2 bundle and install it into the first folder of LV2_PATH (default ~/.lv2)
#   make install install morv, its manual page and, once built, the LV2 bundle under
#                PREFIX (default /usr/local); DESTDIR is put in front for staging
JOBS ?= 2
BUILD := build
ASAN_BUILD := build-asan
BENCH_BUILD := build-bench
TSAN_BUILD := build-tsan
FUZZ_SECONDS ?= 60
# How long make test runs each fuzz target, and the random seed it runs with:
# make test starts from the seeds alone with that seed, make fuzz explores anew each time.
FUZZ_TEST_SECONDS ?= 15
FUZZ_TEST_SEED ?= 1
CLANG := -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
PREFIX ?= /usr/local
DESTDIR ?=
# The LV2 bundle, installed when it has been built (by `make lv2`).
LV2_BUNDLE ?= $(BUILD)/lv2/morv.lv2

.PHONY: all deps build install install-files uninstall demo test test-native test-asan test-fuzz test-tsan test-wine test-lv2 lv2 lv2-build windows fuzz fuzz-build bench clean

all: build

deps:
	@scripts/install_deps.sh native

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

# man-db (and the groff it needs) so that `man morv` works on a fresh machine.
install: build
	@scripts/install_deps.sh install
	@$(MAKE) --no-print-directory install-files

# The copying alone, from a finished build.
install-files:
	install -D -m 755 $(BUILD)/morv $(DESTDIR)$(PREFIX)/bin/morv
	install -D -m 644 $(BUILD)/morv.1 $(DESTDIR)$(PREFIX)/share/man/man1/morv.1
	@if [ -d "$(LV2_BUNDLE)" ]; then \
		echo "installing $(LV2_BUNDLE) into $(DESTDIR)$(PREFIX)/lib/lv2/"; \
		mkdir -p "$(DESTDIR)$(PREFIX)/lib/lv2" && rm -rf "$(DESTDIR)$(PREFIX)/lib/lv2/morv.lv2" && \
		cp -R "$(LV2_BUNDLE)" "$(DESTDIR)$(PREFIX)/lib/lv2/morv.lv2"; \
	else \
		echo "no LV2 bundle at $(LV2_BUNDLE): not installed"; \
	fi

uninstall:
	rm -f $(DESTDIR)$(PREFIX)/bin/morv $(DESTDIR)$(PREFIX)/share/man/man1/morv.1
	rm -rf $(DESTDIR)$(PREFIX)/lib/lv2/morv.lv2

demo: build
	./$(BUILD)/morv demo demo-output

test: test-native test-asan test-fuzz test-tsan test-wine test-lv2

# The LV2 cases run in test-lv2, once their hosts are installed.
test-native: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS) -E '^lv2[.]'

# The LV2 bundle through lilv's tools, lv2file, our lilv host and a headless
# PipeWire filter-chain, against morv process.
test-lv2: lv2-build
	ctest --test-dir $(BUILD) --output-on-failure -R '^lv2[.]'

lv2-build: deps
	@scripts/install_deps.sh lv2
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

LV2_INSTALL_DIR = $(firstword $(subst :, ,$(or $(LV2_PATH),$(HOME)/.lv2)))
lv2: lv2-build
	mkdir -p $(LV2_INSTALL_DIR)
	rm -rf $(LV2_INSTALL_DIR)/morv.lv2
	cp -r $(BUILD)/lv2/morv.lv2 $(LV2_INSTALL_DIR)/
	@echo "Installed $(LV2_INSTALL_DIR)/morv.lv2"

# The same tests built with Clang's AddressSanitizer and
# UndefinedBehaviorSanitizer; any report aborts the test and fails the run.
# The fuzz targets are built in the same tree.
test-asan: fuzz-build
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

fuzz-build: deps
	@scripts/install_deps.sh fuzz
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CLANG) -DMORV_SANITIZE=ON -DMORV_FUZZ=ON >/dev/null
	cmake --build $(ASAN_BUILD) --target fuzz_pipeline fuzz_settings fuzz_audio_file -j$(JOBS)

# Each fuzz target from its seeds for FUZZ_SECONDS; any report fails.
fuzz: fuzz-build
	tests/fuzz/run_fuzzers.sh $(ASAN_BUILD) $(FUZZ_SECONDS)

test-fuzz: fuzz-build
	FUZZ_SEED=$(FUZZ_TEST_SEED) tests/fuzz/run_fuzzers.sh $(ASAN_BUILD) $(FUZZ_TEST_SECONDS)

# The audio and control threads at once, built with ThreadSanitizer.
test-tsan: deps
	@scripts/install_deps.sh fuzz
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CLANG) -DMORV_TSAN=ON >/dev/null
	cmake --build $(TSAN_BUILD) --target morv_stress_tests -j$(JOBS)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir $(TSAN_BUILD) --output-on-failure

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
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) build-win32 demo-output
