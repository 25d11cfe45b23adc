#!/usr/bin/env bash
# The first run: a simulated camera with older firmware gets the firmware orbisk carries,
# unattended, exactly as `orbisk -s` updates a real camera on a production line.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
for program in src/orbisk tools/orbisk-image tools/orbisk-sim; do
    [ -x "$build/$program" ] || { echo "demo: $build/$program is missing; run 'make demo'" >&2; exit 1; }
done
export PATH="$build/src:$build/tools:$PATH"

work=$(mktemp -d "${TMPDIR:-/tmp}/orbisk-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir program  # orbisk's program folder: config.ini, Result.txt
# A successful update removes the autostart entry OrvFWUD.desktop; keep that inside the demo.
export XDG_CONFIG_HOME=$work/xdg XDG_CONFIG_DIRS=$work/xdg
serial=SN-$(date +%Y%m%d)-$((RANDOM % 9000 + 1000))

if [ -t 1 ]; then bold=$'\033[1m' plain=$'\033[0m'; else bold='' plain=''; fi
say() { printf '\n%s== %s%s\n' "$bold" "$*" "$plain"; }
run() { printf '$ %s\n' "$*"; "$@"; }

echo "Working in $work (removed at the end)."

say "A camera with older firmware (version 0x1050, revision 0x0050) and serial number $serial"
echo "These modules keep their serial number in the USB manufacturer string."
run orbisk-image demo old.rfw --version 1050 --rev 0050 --manufacturer "$serial"
run orbisk-sim create camera --image old.rfw
run orbisk-sim show camera

say "orbisk's settings: keep the serial number, write Result.txt and burn_result.txt"
printf '[Orbisk Config]\nSaveSN=1\nSaveResultToFile=2\nLogType=1\n' >program/config.ini
run cat program/config.ini

say "The unattended update, with the camera on a simulated USB bus"
set +e
echo '$ ORBISK_HOME=program ORBISK_SIM=camera orbisk -s'
ORBISK_HOME=program ORBISK_SIM=camera orbisk -s
code=$?
set -e
echo
echo "exit code: $code"

say "The camera afterwards"
run orbisk-sim show camera

say "The result records"
echo "Result.txt: $(cat program/Result.txt 2>/dev/null || echo '(none)')"
echo "burn_result.txt:"
sed 's/\r$//' burn_result.txt 2>/dev/null || echo '(none)'

field() { orbisk-sim show camera --json | sed -n "s/.*\"$1\": \"\\([^\"]*\\)\".*/\\1/p"; }
say "Summary"
echo "firmware version: $(field version)  (was 0x00-0000-1050)"
echo "identity:         VID_$(field vid)&PID_$(field pid)&REV_$(field rev)  (was VID_2C7E&PID_6363&REV_0050)"
echo "serial number:    $(field manufacturer)  (was $serial)"
echo "exit code:        $code"
exit "$code"
