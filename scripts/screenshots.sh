#!/usr/bin/env bash
# Takes the README's pictures of the dialog: one with a camera present, one after PASS.
# Runs orbisk on Qt's offscreen platform against a simulated camera that runs older demo
# firmware, with AutoRun on, so the update starts and ends by itself.
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]      (defaults: build, docs/images)
set -euo pipefail
build=${1:-build}
out=${2:-docs/images}
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The carried image's identity with an older version, so the update has something to do.
"$build/tools/orbisk-image" demo "$work/old.rfw" --vid 2C7E --pid 6363 --rev 0100 \
  --version 1050 --manufacturer SN-CAM-000042 >/dev/null
"$build/tools/orbisk-sim" create "$work/cam" --image "$work/old.rfw" --mode app >/dev/null
mkdir -p "$work/home"
# The delay leaves the window on screen with the camera before the update starts.
printf '[Orbisk Config]\r\nAutoRun=1\r\nAutoRunDelay=500\r\n' >"$work/home/config.ini"

rm -f "$out/dialog-camera.png" "$out/dialog-pass.png"
set +e
QT_QPA_PLATFORM=offscreen ORBISK_HOME="$work/home" ORBISK_SIM="$work/cam" \
  ORBISK_SCREENSHOTS="$out" timeout 60 "$build/src/orbisk"
code=$?
set -e
echo "orbisk exit code: $code"
for picture in dialog-camera.png dialog-pass.png; do
  if [ -f "$out/$picture" ]; then
    echo "wrote $out/$picture"
  else
    echo "missing $out/$picture (no camera found, or the update did not pass)" >&2
    exit 1
  fi
done
