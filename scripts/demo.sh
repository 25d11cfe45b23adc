#!/usr/bin/env bash
# The demo: runs orbisk from a scratch program folder.
set -euo pipefail
build=${1:-build}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
echo "program folder: $home"
set +e
ORBISK_HOME="$home" "$build/orbisk" -s
code=$?
set -e
echo
echo "exit code: $code"
echo "Result.txt: $(cat "$home/Result.txt" 2>/dev/null || echo '(none)')"
