# Thin driver over CMake. `make test` and `make demo` do all set-up on a
# fresh machine: packages, configure, build, then the job.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
SANITIZE ?=

# Command-line CMAKE_FLAGS must not drop the sanitizer choice.
ALL_CMAKE_FLAGS = $(CMAKE_FLAGS) $(if $(SANITIZE),-DQUORVEL_SANITIZE=$(SANITIZE))

.PHONY: all deps configure build test demo bench bench-peers fuzz lint mutants tsan tsan-units asan \
	install package serve clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(ALL_CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

# Sanitizer builds at -O1: quick to compile, and the sanitizers' reports
# still point at the right lines.
SANITIZER_FLAGS = -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_C_FLAGS=-O1

asan:
	$(MAKE) test BUILD=build-asan SANITIZE=address,undefined CMAKE_FLAGS="$(CMAKE_FLAGS) $(SANITIZER_FLAGS)"

tsan:
	$(MAKE) test BUILD=build-tsan SANITIZE=thread CMAKE_FLAGS="$(CMAKE_FLAGS) $(SANITIZER_FLAGS)"

# The unit tests of the layers that share state between threads (main and
# global queues, HTTP client, preference suites, store, refresh), under
# ThreadSanitizer: quicker than `make tsan`, and what CI runs.
TSAN_UNITS = platform_dispatch_test platform_foundation_test platform_net_test \
	platform_objectstore_test quorvel_store_test quorvel_widgets_test
tsan-units:
	$(MAKE) configure BUILD=build-tsan SANITIZE=thread CMAKE_FLAGS="$(CMAKE_FLAGS) $(SANITIZER_FLAGS)"
	cmake --build build-tsan -j $(JOBS) --target $(TSAN_UNITS)
	set -e; for t in $(TSAN_UNITS); do echo "== $$t (ThreadSanitizer)"; build-tsan/tests/$$t --gtest_brief=1; done

demo: build
	scripts/demo $(BUILD)

# The resident widget host on http://127.0.0.1:$(PORT)/ until Ctrl-C.
PORT ?= 8765
serve: build
	$(BUILD)/bin/QuorvelWidgetsExtension serve --port $(PORT)

bench:
	$(MAKE) build CMAKE_FLAGS="$(CMAKE_FLAGS) -DQUORVEL_BUILD_BENCH=ON"
	scripts/bench $(BUILD)
	scripts/bench-scaling $(BUILD)

# Side by side with the peers (Node.js, ccxt) on a loopback server: one table.
bench-peers:
	$(MAKE) build CMAKE_FLAGS="$(CMAKE_FLAGS) -DQUORVEL_BUILD_BENCH=ON"
	scripts/bench-peers $(BUILD)

# libFuzzer targets under ASan+UBSan, FUZZ_SECONDS each (default 60).
fuzz: deps
	scripts/fuzz

lint:
	scripts/lint
	scripts/check-layering

# The share of injected faults the suite kills: MUTANTS sampled mutations.
MUTANTS ?= 60
mutants: deps
	scripts/mutants $(MUTANTS)

# Installs into PREFIX (default /usr/local); DESTDIR is honoured.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, build/quorvel_<version>_<arch>.deb, checked by lintian.
package: build
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error $(BUILD)/quorvel_*.deb

clean:
	rm -rf build build-asan build-tsan build-fuzz
