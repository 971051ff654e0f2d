# Corvanta 10.1 Setup: build, test machine, tests and demo.
BUILD_DIR := $(or $(CORVANTA_BUILD_DIR),build)
CMAKE_FLAGS := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-toolchain.cmake -DCMAKE_BUILD_TYPE=Release
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build test demo bench run clean

all: build

deps:
	@testbed/deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@testbed/run-tests.sh

demo: build
	@testbed/demo.sh

# Download and extraction speed against curl and gcab (not part of make test).
bench: build
	@testbed/bench.sh

# Opens the setup dialog under Wine on your own display.
run: build
	@testbed/run-on-display.sh $(ARGS)

clean:
	@if [ -d $(BUILD_DIR)/testmachine/prefix ]; then testbed/machine.sh stop; fi
	rm -rf $(BUILD_DIR)
