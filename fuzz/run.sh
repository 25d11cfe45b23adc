#!/usr/bin/env bash
# Runs every fuzz target built in the given build folder (default build-fuzz), one after the
# other, FUZZ_SECONDS each (default 60). Per target:
#   1. past crashers in fuzz/crashers/<target>/ are replayed once (-runs=0);
#   2. the fuzzer runs on its scratch corpus <build>/corpus/<target>/ (first: libFuzzer writes
#      new inputs there) and the checked-in seeds fuzz/corpus/<target>/ (second, never written);
#      fuzz/<target>.dict is used when it exists.
# Crash inputs land in <build>/artifacts/<target>/, logs in <build>/logs/. Exits non-zero when
# any target failed, after running them all.
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build-fuzz}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
seconds="${FUZZ_SECONDS:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    # libFuzzer reads 0 as "no limit"; refuse it rather than run forever.
    echo "FUZZ_SECONDS must be a whole number of seconds, at least 1 (got '$seconds')" >&2
    exit 2
fi

# The targets are the sources, so that a stale program of a removed target never runs.
shopt -s nullglob
targets=()
for src in "$root"/fuzz/*_fuzz.cpp; do
    name="$(basename "$src" .cpp)"
    if [ ! -x "$build/fuzz/$name" ]; then
        echo "fuzz target $name is not built in $build: run make fuzz" >&2
        exit 2
    fi
    targets+=("$build/fuzz/$name")
done
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets (fuzz/*_fuzz.cpp)" >&2
    exit 2
fi

# Undefined behaviour is already fatal (-fno-sanitize-recover); print where it happened.
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"

failed=()
mkdir -p "$build/logs"
for exe in "${targets[@]}"; do
    name="$(basename "$exe")"
    scratch="$build/corpus/$name"
    seeds="$root/fuzz/corpus/$name"
    crashers="$root/fuzz/crashers/$name"
    artifacts="$build/artifacts/$name/"
    log="$build/logs/$name.log"
    mkdir -p "$scratch" "$artifacts"

    past=("$crashers"/*)
    if [ ${#past[@]} -gt 0 ]; then
        echo "== $name: replaying ${#past[@]} past crasher(s)"
        if ! "$exe" -runs=0 -artifact_prefix="$artifacts" "$crashers" >"$log.replay" 2>&1; then
            tail -n 40 "$log.replay"
            failed+=("$name (past crasher)")
            continue
        fi
    fi

    corpora=("$scratch")
    [ -d "$seeds" ] && corpora+=("$seeds")
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$artifacts")
    [ -f "$root/fuzz/$name.dict" ] && options+=(-dict="$root/fuzz/$name.dict")

    echo "== $name: fuzzing for ${seconds}s (log: $log)"
    if "$exe" "${options[@]}" "${corpora[@]}" >"$log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log" | sed 's/^/   /'
    else
        tail -n 60 "$log"
        echo "== $name FAILED: the input is in $artifacts; once fixed, add it to fuzz/crashers/$name/"
        failed+=("$name")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzzing: ${#targets[@]} target(s) clean"
