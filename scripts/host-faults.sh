#!/usr/bin/env bash
# Checks that the test suite catches wrong hosts: applies each deliberate host fault of
# docs/host-faults/*.diff in turn to a scratch worktree of HEAD, builds it as `make build-test`
# does, runs every test and reports which tests failed. Each fault must make the test named in
# its "# Caught by:" line fail; the script exits 1 when one does not (or does not apply).
#
#   scripts/host-faults.sh [FAULT...]      FAULT: a file name under docs/host-faults, with or
#                                          without .diff; default: all of them
#
# SCRATCH (default: a new temporary folder) is where the worktree goes; it is removed at the
# end. JOBS (default: nproc) is passed to the build and to ctest.
set -euo pipefail

repo=$(git rev-parse --show-toplevel)
faults_dir="$repo/docs/host-faults"
jobs=${JOBS:-$(nproc)}
scratch=${SCRATCH:-$(mktemp -d /tmp/orbisk-host-faults.XXXXXX)/tree}
build="$scratch/build-test"
start=$(date +%s)

if (($# > 0)); then
    patches=()
    for name in "$@"; do patches+=("$faults_dir/${name%.diff}.diff"); done
else
    patches=("$faults_dir"/*.diff)
fi

cleanup() { git -C "$repo" worktree remove --force "$scratch" 2>/dev/null || true; }
trap cleanup EXIT
trap 'exit 130' INT TERM
git -C "$repo" worktree add --detach "$scratch" HEAD >/dev/null

cmake -S "$scratch" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORBISK_WERROR=ON \
    -DORBISK_SANITIZE=ON -DORBISK_BENCH=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null

# Runs the whole suite; prints the names of the tests that failed, one per line.
failed_tests() {
    (cd "$build" && ASAN_OPTIONS=detect_leaks=1 ctest -j "$jobs" --timeout 300 2>&1 || true) |
        sed -n '/The following tests FAILED:/,$p' |
        sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (.*)$/\1/p' | sed 's/  # GetParam() = .*//'
}

echo "building the unchanged tree"
cmake --build "$build" -j "$jobs" >/dev/null
baseline=$(failed_tests)
if [[ -n $baseline ]]; then
    echo "the unchanged tree already fails:" >&2
    echo "$baseline" >&2
    exit 1
fi

missed=0
for patch in "${patches[@]}"; do
    name=$(basename "$patch" .diff)
    expected=$(sed -n 's/^# Caught by: //p' "$patch")
    if ! git -C "$scratch" apply "$patch" 2>/dev/null; then
        echo "$name: DOES NOT APPLY"
        missed=1
        continue
    fi
    if ! cmake --build "$build" -j "$jobs" >/dev/null 2>&1; then
        echo "$name: DOES NOT BUILD"
        missed=1
    else
        failed=$(failed_tests)
        count=$(grep -c . <<<"$failed" || true)
        if grep -qxF "$expected" <<<"$failed"; then
            echo "$name: caught by $expected ($count tests failed)"
        elif ((count > 0)); then
            echo "$name: NOT CAUGHT by $expected, though $count tests failed:"
            sed 's/^/    /' <<<"$failed"
            missed=1
        else
            echo "$name: NOT CAUGHT: every test passed"
            missed=1
        fi
    fi
    git -C "$scratch" checkout -q -- .
done
echo "done in $(($(date +%s) - start)) s"
exit $missed
