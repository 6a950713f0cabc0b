# Tivorn's build interface.  Every target first installs what is missing.
#
#   make run          build, install into a Wine prefix with demo songs, start
#   make test         every test (unit, GUI, end-to-end, fuzz) under Wine
#   make test-quick   the edit loop: every test but fuzzing, the recorded
#                     sound and those that run the real program
#   make build        build/bin/Tivorn.exe and build/bin/KORVEL.dll
#   make dist         build/dist/Tivorn-<version>-setup.exe, the installer
#   make bench        performance figures, and their table in build/bench-figures.md
#                     (TIVORN_BENCH_KEEP=1 keeps it in docs/performance.md)
#   make screenshots  PNGs of every window in build/screenshots
#   make stop         end the copy that make run started
#
# BUILD=dir puts everything (both build trees and the test prefix) elsewhere.

BUILD ?= build
NATIVE := $(BUILD)/native
TEST_PREFIX := $(BUILD)/wineprefix
RUN_PREFIX ?= $(HOME)/.local/share/tivorn/wineprefix
JOBS ?= $(shell nproc)
# A test slot per core for the tests that compute (the two trees' builds,
# fuzzing, the image check), and eight for tests that mostly wait: the five
# that run the real program (each in a prefix of its own), the song played
# in real time, and the other Wine tests.
TEST_JOBS ?= $(shell echo $$(( $(JOBS) + 8 )))

CROSS_CONFIG = -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	-DCMAKE_BUILD_TYPE=Release -DTIVORN_NATIVE_DIR=$(abspath $(NATIVE))
NATIVE_CONFIG = -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	-DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test test-quick build dist bench screenshots stop deps configure native-configure native

deps:
	@scripts/ensure-packages.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) $(CROSS_CONFIG)

native-configure: deps
	@test -f $(NATIVE)/build.ninja || cmake -S . -B $(NATIVE) $(NATIVE_CONFIG)

native: native-configure
	cmake --build $(NATIVE) -j $(JOBS)

build: configure
	cmake --build $(BUILD) -j $(JOBS) --target Tivorn KORVEL tivornctl tivorn_help

# A tree configured before makensis was installed learns of it here.
dist: configure
	@grep -q tivorn_dist $(BUILD)/build.ninja || cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target tivorn_dist

# The test prefix is made (first time only) while the Windows tree builds:
# Wine's start-up mostly waits.  The test run waits for it through the
# prefix's lock.  Only the serial test programs and what they run are built
# before the run; the run's first tests, windows_build and native_build,
# build the rest of both trees beside them (tests/CMakeLists.txt).
test: native-configure configure
	@test -f $(TEST_PREFIX)/.tivorn-ready || \
		{ scripts/with-wine.sh $(TEST_PREFIX) true >$(BUILD)/wineprefix.log 2>&1 & }
	cmake --build $(BUILD) -j $(JOBS) --target tivorn_serial_first
	scripts/with-wine.sh $(TEST_PREFIX) ctest --test-dir $(BUILD) --output-on-failure -j $(TEST_JOBS) -LE '^part$$'

# Both trees are built first, as far as the change reaches, so the run
# skips the fixtures that build them.  Left out: the tests labelled serial
# (they run Tivorn.exe, the longest tests of make test), fuzz
# (bounded by the clock, not by the change), sound (a song recorded
# through a sound server) and program (make run's own test, which starts
# Tivorn.exe in a prefix of its own); a program labelled whole runs as its
# parts instead, side by side (QUICK_SHARDS in cmake/TivornTargets.cmake).
test-quick: native-configure configure
	@test -f $(TEST_PREFIX)/.tivorn-ready || \
		{ scripts/with-wine.sh $(TEST_PREFIX) true >$(BUILD)/wineprefix.log 2>&1 & }
	cmake --build $(BUILD) -j $(JOBS)
	cmake --build $(NATIVE) -j $(JOBS)
	scripts/with-wine.sh $(TEST_PREFIX) ctest --test-dir $(BUILD) --output-on-failure -j $(TEST_JOBS) \
		-LE '^(serial|fuzz|sound|program|whole)$$' -FS windows_tree -FS native_tree

bench: configure native-configure
	@scripts/ensure-packages.sh bench
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks tivornctl
	cmake --build $(NATIVE) -j $(JOBS) --target make-demo-songs synth-bench-songs
	scripts/with-wine.sh $(TEST_PREFIX) scripts/bench.sh $(BUILD)

screenshots: configure
	@scripts/ensure-packages.sh screenshots
	cmake --build $(BUILD) -j $(JOBS) --target screenshot_tool
	scripts/with-wine.sh $(TEST_PREFIX) scripts/screenshots.sh $(BUILD)

run: build native-configure
	cmake --build $(BUILD) -j $(JOBS) --target output-devices
	cmake --build $(NATIVE) -j $(JOBS) --target make-demo-songs
	scripts/run.sh $(BUILD) $(RUN_PREFIX)

stop:
	@scripts/stop.sh $(BUILD) $(RUN_PREFIX)
