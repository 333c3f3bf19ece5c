#!/usr/bin/env bash
# Screenshots of the main window in each of its faces — empty, hover, processing, results,
# results while hovering — taken from the real window on a virtual X server, with a real batch
# over pictures generated on the spot.
#
#   scripts/screenshots.sh [OUTPUT_FOLDER] [BUILD_FOLDER]
#
# OUTPUT_FOLDER defaults to build/screenshots, BUILD_FOLDER to build/dev (set up and built
# first when it is not there yet). The shots in OUTPUT_FOLDER show the opaque look of a desktop
# without a compositor; where xcompmgr is installed, OUTPUT_FOLDER/composited shows the
# translucent look, laid over a painted desktop picture.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
output=$(realpath -m "${1:-$root/build/screenshots}")
build=$(realpath -m "${2:-$root/build/dev}")

if [ ! -f "$build/build.ninja" ]; then
  "$here/setup.sh" dev
fi
cmake --build "$build" --target pressel_screenshots >&2

harness="$build/tools/bin/pressel_screenshots"
screen="-screen 0 1600x1200x24"
export QT_QPA_PLATFORM=xcb LANG=zh_CN.UTF-8

mkdir -p "$output"
xvfb-run -a -s "$screen" "$harness" "$output" "$build"

if command -v xcompmgr >/dev/null 2>&1; then
  mkdir -p "$output/composited"
  xvfb-run -a -s "$screen" bash -c '
    xcompmgr & compositor=$!
    sleep 1
    status=0
    "$0" "$1" "$2" || status=$?
    kill "$compositor"
    exit "$status"' "$harness" "$output/composited" "$build"
fi
echo "screenshots in $output"
