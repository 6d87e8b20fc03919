# Thin driver over CMake. `make test` and `make demo` do all set-up on a
# fresh machine: packages, configure, build, then the job.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
SANITIZE ?=

# Command-line CMAKE_FLAGS must not drop the sanitizer choice.
ALL_CMAKE_FLAGS = $(CMAKE_FLAGS) $(if $(SANITIZE),-DQUORVEL_SANITIZE=$(SANITIZE))

.PHONY: all deps configure build test demo bench bench-peers fuzz lint tsan asan clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(ALL_CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

asan:
	$(MAKE) test BUILD=build-asan SANITIZE=address,undefined CMAKE_FLAGS="$(CMAKE_FLAGS) -DQUORVEL_BUILD_BENCH=OFF"

tsan:
	$(MAKE) test BUILD=build-tsan SANITIZE=thread

demo: build
	scripts/demo $(BUILD)

bench: build
	scripts/bench $(BUILD)

# Side by side with the peers (Node.js, ccxt) on a loopback server: one table.
bench-peers: build
	scripts/bench-peers $(BUILD)

# libFuzzer targets under ASan+UBSan, FUZZ_SECONDS each (default 60).
fuzz: deps
	scripts/fuzz

lint:
	scripts/lint

clean:
	rm -rf build build-asan build-tsan build-fuzz
