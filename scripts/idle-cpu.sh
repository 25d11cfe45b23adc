#!/usr/bin/env bash
# Measures the processor time of the dialog while it waits: orbisk on Qt's offscreen platform
# with the virtual clock (ORBISK_SIM_CLOCK=virtual), an automatic update against a simulated
# camera that acknowledges every write but keeps none, so the update ends with FAIL and the
# window stays open; then the CPU time of the whole process over SECONDS of real time, from
# /proc/PID/stat.
#   scripts/idle-cpu.sh [BUILD_DIR] [SECONDS]      (defaults: build, 10)
set -euo pipefail
build=${1:-build}
seconds=${2:-10}
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

"$build/tools/orbisk-image" demo "$work/old.rfw" --version 1050 >/dev/null
"$build/tools/orbisk-sim" create "$work/cam" --image "$work/old.rfw" --mode app >/dev/null
"$build/tools/orbisk-sim" fault "$work/cam" --drop-all-writes >/dev/null
mkdir -p "$work/home" "$work/shots"
printf '[Orbisk Config]\r\nAutoRun=1\r\nSaveResultToFile=1\r\n' >"$work/home/config.ini"

# The screenshot mode answers the warning before the update with OK.
QT_QPA_PLATFORM=offscreen ORBISK_HOME="$work/home" ORBISK_SIM="$work/cam" \
  ORBISK_SIM_CLOCK=virtual ORBISK_SCREENSHOTS="$work/shots" "$build/src/orbisk" \
  >/dev/null 2>&1 &
pid=$!
for _ in $(seq 300); do
  grep -qi fail "$work/home/Result.txt" 2>/dev/null && break
  sleep 0.1
done
if ! grep -qi fail "$work/home/Result.txt" 2>/dev/null; then
  echo "the update did not end with FAIL" >&2
  exit 1
fi
sleep 1  # the refresh after the failure

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" 'BEGIN {
  printf "idle dialog after FAIL: %.2f s of CPU in %d s = %.2f %% of a core\n", t / hz, s,
         100 * t / hz / s }'
