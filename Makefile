# Two entry points for a fresh Debian 12 machine (as root, or with sudo for the installs):
#   make demo   build orbisk and update a simulated camera
#   make test   install what is missing, build with sanitizers and run every test
#   make fuzz   build the libFuzzer targets with clang and run each FUZZ_SECONDS (default 60)
#   make package  build the Debian package build-package/orbisk_VERSION_ARCH.deb, lint it
SHELL := /bin/bash
JOBS ?= $(shell nproc)
PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev pkg-config qt6-base-dev libasound2-dev libusb-1.0-0-dev libudev-dev umockdev libumockdev-dev \
  dpkg-dev file man-db desktop-file-utils
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build build-test test demo fuzz package clean architecture

# $(call install-missing,PACKAGES): installs those of the Debian packages that are missing.
define install-missing
	@missing=""; for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

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

# Fuzzing: clang with libFuzzer in build-fuzz, its packages only installed for this target.
FUZZ_PACKAGES := clang libclang-rt-14-dev llvm
FUZZ_SECONDS ?= 60
.PHONY: fuzz-deps fuzz-build

fuzz-deps:
	$(call install-missing,$(FUZZ_PACKAGES))

# No build type: -O2 with assertions kept; fuzz/CMakeLists.txt adds the sanitizers.
fuzz-build: deps fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE= \
	  -DCMAKE_C_FLAGS=-O2 -DCMAKE_CXX_FLAGS=-O2 -DENABLE_FUZZING=ON -DORBISK_TESTS=OFF \
	  -DORBISK_BENCH=OFF >/dev/null
	cmake --build build-fuzz -j $(JOBS) --target fuzz_targets

fuzz: fuzz-build
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh build-fuzz

# Debian package in build-package: release build with Debian's hardening flags, CPack, lintian.
PACKAGE_PACKAGES := lintian
.PHONY: package-deps

package-deps:
	$(call install-missing,$(PACKAGE_PACKAGES))

package: deps package-deps
	JOBS=$(JOBS) bash scripts/package.sh build-package

demo: build
	@bash scripts/demo.sh build

# The picture of docs/architecture.md, from its Graphviz source (graphviz installed here only).
architecture:
	$(call install-missing,graphviz)
	dot -Tsvg docs/architecture.dot -o docs/images/architecture.svg

clean:
	rm -rf build build-test build-fuzz build-package
