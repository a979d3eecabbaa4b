# The two set-up commands of the README, plus `make bench` and `make fuzz`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# `make fuzz`: a clang build folder of its own, and how long each fuzz target runs.
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_CXX ?= clang++-14
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test demo bench fuzz clean

all: build

deps:
	scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); fi

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

demo: build
	scripts/demo $(BUILD_DIR)

bench: build
	bench/run $(BUILD_DIR)

fuzz: deps
	@if [ ! -f $(FUZZ_BUILD_DIR)/CMakeCache.txt ]; then \
		cmake -S . -B $(FUZZ_BUILD_DIR) -DZKLOG_FUZZ=ON -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) \
			-DCMAKE_BUILD_TYPE=$(BUILD_TYPE); fi
	cmake --build $(FUZZ_BUILD_DIR) -j$(JOBS)
	scripts/fuzz $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR)
