# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build run test test-main test-asan test-layers test-portable lint package demo bench fuzz format clean

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_WERROR=ON $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Builds the program and the helper programs it starts (its dependencies in CMake), not the
# tests: `make test` builds those.
run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target corvane
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
		echo "No display found; to run Corvane without one, use: xvfb-run -a make run"; \
	else \
		$(BUILD_DIR)/corvane; \
	fi

test: test-main test-asan test-layers test-portable lint

# clang-tidy with the project's .clang-tidy on the sources under src/, findings as errors.
lint: build
	@scripts/lint.sh $(BUILD_DIR) $(JOBS)

# A Debian package of the installed tree, then Debian's checker on it: any error fails.
package: build
	@cd $(BUILD_DIR) && rm -f corvane_*.deb && cpack -G DEB && lintian --fail-on error corvane_*.deb

# Builds everything below the Qt front end without Qt, which shows no logic needs a widget, and
# checks that every include points down the layers and Linux-only code stays in host.
test-layers: deps
	@cmake -S . -B build-nogui -G Ninja -DCORVANE_WERROR=ON -DCORVANE_BUILD_GUI=OFF -DCORVANE_BUILD_TESTS=OFF >/dev/null
	@cmake --build build-nogui -j $(JOBS)
	@scripts/check-layers.sh

# base, core, app and host with their Qt-free tests, built with clang and libc++ (the standard
# library of macOS) against a GoogleTest compiled from source for it, then run.
PORTABLE_DIR ?= build-portable
test-portable: deps
	@scripts/portability.sh $(PORTABLE_DIR) $(JOBS)

test-main: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen dbus-run-session -- ctest --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_WERROR=ON -DCORVANE_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	@cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 dbus-run-session -- ctest --output-on-failure -j $(JOBS)

# Builds a sample home folder with a few application bundles and starts Corvane on it.
demo: build
	@scripts/demo.sh $(BUILD_DIR)

# Times analysis and fixes on synthetic Libraries against find and rm, side by side, the whole
# program's peak memory, the window's start against the same window without start-up work (on
# an Xvfb display of its own), and the reset and restore of separate entries against minimal
# programs and gio (gvfs is added for gio's restore; without it that column is skipped); BENCH_FLAGS="--markdown
# docs/benchmarks.md" also writes the table, "--only entries,scale --rounds 3" runs a part.
BENCH_DIR ?= build-bench
BENCH_FLAGS ?=
bench: deps
	@scripts/install-deps.sh gvfs gvfs-daemons libglib2.0-bin || echo "gvfs could not be installed: gio's restore figures are skipped" >&2
	@cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON -DCORVANE_BUILD_BENCH=ON -DCORVANE_BUILD_GUI=ON -DCORVANE_BUILD_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target corvane_bench
	@$(BENCH_DIR)/bench/corvane_bench $(BENCH_FLAGS)

# Runs every libFuzzer target for FUZZ_SECONDS each (built with clang in build-fuzz).
FUZZ_SECONDS ?= 60
fuzz: deps
	@scripts/fuzz.sh $(FUZZ_SECONDS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD_DIR) $(ASAN_DIR)
