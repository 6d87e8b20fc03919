# Thin driver over CMake. `make test` and `make demo` do all set-up on a
# fresh machine: packages, configure, build, then the job.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
SANITIZE ?=
FUZZ_SECONDS ?= 60

ifneq ($(SANITIZE),)
CMAKE_FLAGS += -DQUORVEL_SANITIZE=$(SANITIZE)
endif

.PHONY: all deps configure build test demo bench bench-peers fuzz lint format tsan asan clean

all: build

deps:
	scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

asan:
	$(MAKE) test BUILD=build-asan SANITIZE=address,undefined

tsan:
	$(MAKE) test BUILD=build-tsan SANITIZE=thread

demo: build
	scripts/demo $(BUILD)

bench: build
	scripts/bench $(BUILD)

bench-peers: build
	bench/peers/run $(BUILD)

fuzz: deps
	scripts/fuzz $(FUZZ_SECONDS)

lint:
	scripts/lint

clean:
	rm -rf build build-asan build-tsan build-fuzz
