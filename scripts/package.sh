#!/usr/bin/env bash
# `make package`: a release build with Debian's hardening flags, packed by CPack into a .deb
# (its dependencies computed by dpkg-shlibdeps) and checked by lintian, which fails the run on
# any error.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
jobs=${JOBS:-$(nproc)}

flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
# Debug information would only be stripped again: no -g.
nodebug() { sed -E 's/(^| )-g( |$)/ /'; }
cppflags=$(flags CPPFLAGS)
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE= -DORBISK_TESTS=OFF -DORBISK_BENCH=OFF \
    -DCMAKE_C_FLAGS="$cppflags $(flags CFLAGS | nodebug)" \
    -DCMAKE_CXX_FLAGS="$cppflags $(flags CXXFLAGS | nodebug)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
rm -f "$build"/orbisk_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/orbisk_*.deb)
echo "package: $deb"
lintian --display-info --fail-on error "$deb"
echo "lintian: no errors"
