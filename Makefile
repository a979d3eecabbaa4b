# The two set-up commands of the README (`make demo`, `make test`), plus `make check` (static
# analysis, the sanitizer build, fuzzing), `make bench` and `make fuzz`.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-asan
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Most end-to-end cases wait on a simulated relay's timeouts rather than on the processor.
TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 2 )))
# `make fuzz`: a clang build folder of its own, and how long each fuzz target runs.
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_CXX ?= clang++-14
FUZZ_SECONDS ?= 60
# `make windows`: zklog-cli.exe cross-built with MinGW-w64, in a folder of its own.
WIN_BUILD_DIR ?= build-win
# The .exe tests and the end-to-end check run under Wine in a prefix of that folder's own.
WIN_ENV = WINEPREFIX=$(CURDIR)/$(WIN_BUILD_DIR)/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

.PHONY: all deps configure build build-sanitize test check static-analysis soak test-sanitize demo \
	bench fuzz clean windows windows-configure test-windows

all: build

deps:
	scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); fi

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

# The core, the programs and their tests again, under ASan and UBSan, in a folder of their own.
build-sanitize: deps
	@if [ ! -f $(SANITIZE_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DZKLOG_SANITIZE=ON; fi
	cmake --build $(SANITIZE_DIR) -j$(JOBS)

# Every test of the normal build; the static analysis is left to `make check`.
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(TEST_JOBS) -LE static_analysis

# What takes longer than a developer wants to wait at every change: clang-tidy and cppcheck
# over the sources, the soak tests, the whole suite again under ASan and UBSan, each fuzz target,
# and the Windows build with its tests under Wine.
check: static-analysis soak test-sanitize fuzz test-windows

# The soak tests on many more seeds of zklog-sim's random line than `make test` gives them.
SOAK_SEEDS ?= 240
soak: build
	cd $(BUILD_DIR) && ZKLOG_SOAK_SEEDS=$(SOAK_SEEDS) ctest --output-on-failure -j$(JOBS) -R Soak

static-analysis: build
	cd $(BUILD_DIR) && ctest --output-on-failure -L static_analysis

# Any sanitizer report ends its process with a failure, so it fails the test that ran it.
test-sanitize: build-sanitize
	cd $(SANITIZE_DIR) && \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j$(JOBS)

demo: build
	scripts/demo $(BUILD_DIR)

bench: build windows
	bench/run $(BUILD_DIR) $(WIN_BUILD_DIR)

fuzz: deps
	@if [ ! -f $(FUZZ_BUILD_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(FUZZ_BUILD_DIR) -DZKLOG_FUZZ=ON -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) \
			-DCMAKE_BUILD_TYPE=$(BUILD_TYPE); fi
	cmake --build $(FUZZ_BUILD_DIR) -j$(JOBS)
	scripts/fuzz $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

# The cross tools, Wine and the Windows libraries (built once into ~/.cache/zklog/).
windows-configure:
	scripts/install-deps --windows
	@if [ ! -f $(WIN_BUILD_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(WIN_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
			-DZKLOG_WIN_PREFIX=$$(scripts/windows-deps --prefix) \
			-DZKLOG_WIN_QT_PREFIX=$$(scripts/windows-qt --prefix) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); fi

# build-win/zklog-windows-x64.zip: zklog.exe, zklog-cli.exe, zklog-view.exe, an empty database,
# LEIA-ME.txt and the licences.
windows: windows-configure
	cmake --build $(WIN_BUILD_DIR) -j$(JOBS) --target windows_zip

# The core's, the window's and the viewer's tests as .exe files under Wine, then the Windows
# zklog-cli and the window (on an X display of its own) against the simulated relay, compared
# row for row with the Linux build's download, and the viewer's picture and the Excel workbook
# compared with the Linux build's. Wine's server is started first and stopped
# after: left to start on its own, it holds ctest's output pipes.
test-windows: build windows
	cmake --build $(WIN_BUILD_DIR) -j$(JOBS)
	scripts/wine-session start $(WIN_BUILD_DIR)
	cd $(WIN_BUILD_DIR) && $(WIN_ENV) ctest --output-on-failure -j$(JOBS); \
		status=$$?; cd $(CURDIR) && scripts/wine-session stop $(WIN_BUILD_DIR); exit $$status
	scripts/windows-check $(BUILD_DIR) $(WIN_BUILD_DIR)
	scripts/windows-window-check $(BUILD_DIR) $(WIN_BUILD_DIR)
	scripts/windows-view-check $(BUILD_DIR) $(WIN_BUILD_DIR)
	scripts/windows-static-analysis $(WIN_BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_BUILD_DIR) $(WIN_BUILD_DIR)
