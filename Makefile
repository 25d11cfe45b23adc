# Two entry points for a fresh Debian 12 machine (as root, or with sudo for the installs):
#   make demo   build orbisk and update a simulated camera
#   make test   install what is missing, build with sanitizers and run every test
SHELL := /bin/bash
JOBS ?= $(shell nproc)
PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev pkg-config libusb-1.0-0-dev libudev-dev umockdev libumockdev-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build build-test test demo fuzz clean

deps:
	@missing=""; for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

# Release build: the program, its tools and the benchmarks.
build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBISK_TESTS=OFF >/dev/null
	cmake --build build -j $(JOBS)

# Test build: warnings are errors, AddressSanitizer and UndefinedBehaviorSanitizer on.
build-test: deps
	cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORBISK_WERROR=ON \
	  -DORBISK_SANITIZE=ON -DORBISK_BENCH=OFF >/dev/null
	cmake --build build-test -j $(JOBS)

test: build-test
	cd build-test && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

demo: build
	@bash scripts/demo.sh build

clean:
	rm -rf build build-test build-fuzz
