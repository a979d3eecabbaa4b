# The two set-up commands of the README, plus `make bench`.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-asan
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build build-sanitize test test-normal test-sanitize demo bench clean

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

test: test-normal test-sanitize

test-normal: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

# Any sanitizer report ends its process with a failure, so it fails the test that ran it.
test-sanitize: build-sanitize
	cd $(SANITIZE_DIR) && \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j$(JOBS)

demo: build
	scripts/demo $(BUILD_DIR)

bench: build
	bench/run $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
