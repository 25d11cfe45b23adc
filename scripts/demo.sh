#!/usr/bin/env bash
# The first run: a simulated camera with older firmware gets new firmware, unattended, exactly
# as `orbisk -s` updates a real camera on a production line.
#   scripts/demo.sh [BUILD] [--memory KIND]
# KIND is the camera's memory: sf (serial flash, the default: the firmware orbisk carries),
# nor, eeprom8, eeprom16, mtp, otp or bridge (a demo image of that memory, written with
# `orbisk -s --image`).
set -euo pipefail
usage() { echo "usage: scripts/demo.sh [BUILD] [--memory sf|nor|eeprom8|eeprom16|mtp|otp|bridge]" >&2; exit 2; }
build_arg=build memory=sf
while [ $# -gt 0 ]; do
    case $1 in
        --memory) [ $# -ge 2 ] || usage; memory=$2; shift 2 ;;
        --help|-h) usage ;;
        -*) usage ;;
        *) build_arg=$1; shift ;;
    esac
done

# Per memory: the chip profile, the options of orbisk-image demo and orbisk-sim create, and what
# config.ini adds. A NOR camera's flash cannot be told from its image, so config.ini says it.
profile=ORV6363 image_opts=() sim_opts=() config_extra='' with_image=1
case $memory in
    sf) with_image=0 ;;
    nor) image_opts=(--memory nor); sim_opts=(--memory nor --memory-size 0x10000)
         config_extra=$'NOR Flash=1\n' ;;
    eeprom8|eeprom16) profile=ORV6987; image_opts=(--memory "$memory"); sim_opts=(--memory "$memory") ;;
    mtp) profile=ORV6099; image_opts=(--memory mtp); sim_opts=(--memory mtp) ;;
    otp) profile=ORV6099; image_opts=(--memory otp); sim_opts=(--memory otp) ;;
    bridge) profile=ORV7608; config_extra=$'MIPI Camera=1\n' ;;
    *) echo "demo: unknown memory \"$memory\"" >&2; usage ;;
esac

build=$(cd "$build_arg" && pwd)
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

# The camera and its firmware: for a bridge, the controller runs the demo image and the bridge
# its own older firmware.
old_opts=(--profile "$profile" "${image_opts[@]}" --version 1050 --rev 0050 --manufacturer "$serial")
new_opts=(--profile "$profile" "${image_opts[@]}" --version 1060 --rev 0100)
camera_opts=(--profile "$profile" "${sim_opts[@]}" --image old.rfw)
if [ "$memory" = bridge ]; then
    old_opts=(--profile ORV7608 --version 1050)
    new_opts=(--profile ORV7608 --version 1060)
    camera_opts=(--profile ORV7608 --image controller.rfw --bridge --bridge-image old.rfw)
fi

# Kinds of memory the simulated camera does not have yet are named, not half run.
probe_opts=("${camera_opts[@]}")
[ "$memory" = bridge ] && orbisk-image demo controller.rfw --manufacturer "$serial" >/dev/null
if ! orbisk-image demo old.rfw "${old_opts[@]}" >/dev/null 2>probe.err ||
   ! orbisk-sim create probe "${probe_opts[@]}" >/dev/null 2>>probe.err; then
    echo "demo: a simulated camera with $memory memory cannot be made with this build:" >&2
    sed 's/^/  /' probe.err >&2
    exit 1
fi
rm -rf probe probe.err

echo "Working in $work (removed at the end)."

say "A camera ($profile, $memory memory) with older firmware and serial number $serial"
echo "These modules keep their serial number in the USB manufacturer string."
[ "$memory" = bridge ] && run orbisk-image demo controller.rfw --manufacturer "$serial"
run orbisk-image demo old.rfw "${old_opts[@]}"
run orbisk-sim create camera "${camera_opts[@]}"
run orbisk-sim show camera

update=(orbisk -s)
if [ "$with_image" = 1 ]; then
    say "The new firmware, an image file"
    run orbisk-image demo new.rfw "${new_opts[@]}"
    run orbisk-image info new.rfw --profile "$profile"
    update+=(--image new.rfw)
fi

say "orbisk's settings: keep the serial number, write Result.txt and burn_result.txt"
printf '[Orbisk Config]\nSaveSN=1\nSaveResultToFile=2\nLogType=1\n%s' "$config_extra" >program/config.ini
run cat program/config.ini

say "The unattended update, with the camera on a simulated USB bus"
set +e
echo "\$ ORBISK_HOME=program ORBISK_SIM=camera ${update[*]}"
ORBISK_HOME=program ORBISK_SIM=camera "${update[@]}"
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
if [ "$memory" = bridge ]; then
    echo "bridge firmware:  $(field bridge_version)  (was 0x00-0000-1050)"
else
    echo "firmware version: $(field version)  (was 0x00-0000-1050)"
    echo "identity:         VID_$(field vid)&PID_$(field pid)&REV_$(field rev)  (was VID_2C7E&PID_6363&REV_0050)"
fi
echo "serial number:    $(field manufacturer)  (was $serial)"
echo "exit code:        $code"
exit "$code"
