#!/usr/bin/env bash
# Takes the README's pictures of the dialog, each from a run of orbisk on Qt's offscreen
# platform against simulated cameras that run older demo firmware:
#   dialog-camera.png, dialog-updating.png, dialog-pass.png   an update started by AutoRun
#   dialog-fail.png        an update whose writes the camera drops
#   dialog-loop.png        loop mode
#   dialog-two-cameras.png two cameras
#   dialog-rom.png         a camera in its boot ROM
# With ORBISK_SCREENSHOTS the window grabs itself at each moment and answers the warning with
# OK; a run that does not update by itself closes after its first picture.
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

# camera DIR OPTIONS...: a camera folder running the old image.
camera() {
  local dir=$1
  shift
  "$build/tools/orbisk-sim" create "$dir" --image "$work/old.rfw" "$@" >/dev/null
}

# run NAME CONFIG CAMERA_DIRS: one run of orbisk with config.ini holding CONFIG, on the
# cameras named (separated by ":"); its pictures land in $work/NAME/shots.
run() {
  local name=$1 config=$2 cameras=$3
  mkdir -p "$work/$name/home" "$work/$name/shots"
  printf '[Orbisk Config]\r\n%b' "$config" >"$work/$name/home/config.ini"
  set +e
  QT_QPA_PLATFORM=offscreen ORBISK_HOME="$work/$name/home" ORBISK_SIM="$cameras" \
    ORBISK_SIM_CLOCK=virtual ORBISK_SCREENSHOTS="$work/$name/shots" timeout 60 "$build/src/orbisk"
  echo "orbisk ($name) exit code: $?"
  set -e
}

# take RUN PICTURE NAME: copies a run's picture into the output folder.
take() {
  if [ -f "$work/$1/shots/$2.png" ]; then
    cp "$work/$1/shots/$2.png" "$out/$3.png"
    echo "wrote $out/$3.png"
  else
    echo "missing $3.png: run $1 took no $2 picture" >&2
    exit 1
  fi
}

camera "$work/app" --mode app
camera "$work/looped" --mode app
camera "$work/dropping" --mode app
"$build/tools/orbisk-sim" fault "$work/dropping" --drop-all-writes >/dev/null
mkdir -p "$work/pair"
camera "$work/pair/a" --mode app
camera "$work/pair/b" --mode app
camera "$work/rom-camera" --mode rom

run update 'AutoRun=1\r\n' "$work/app"
run fail 'AutoRun=1\r\n' "$work/dropping"
run loop 'Loop Test=1\r\n' "$work/looped"
run two '' "$work/pair/a:$work/pair/b"
run rom '' "$work/rom-camera"
take update camera dialog-camera
take update updating dialog-updating
take update pass dialog-pass
take loop camera dialog-loop
take two camera dialog-two-cameras
take rom camera dialog-rom
take fail fail dialog-fail
