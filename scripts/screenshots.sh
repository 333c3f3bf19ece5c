#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the main window in each of its faces — empty, hover, processing, results,
# results while hovering — at the default and the minimum size, light and dark, in Chinese and
# in English, taken from the real window under a window manager (openbox) on a virtual X
# server, with a real batch over pictures generated on the spot.
#
#   scripts/screenshots.sh [OUTPUT_FOLDER] [BUILD_FOLDER]
#
# OUTPUT_FOLDER defaults to build/screenshots, BUILD_FOLDER to build/dev (set up and built
# first when it is not there yet). The shots land in OUTPUT_FOLDER/<language>-<scheme>/, for
# example build/screenshots/en-dark/4-results.png.
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
export QT_QPA_PLATFORM=xcb
unset LANGUAGE LC_ALL LC_MESSAGES

for language in zh en; do
  case $language in
    zh) locale=zh_CN.UTF-8 ;;
    en) locale=en_US.UTF-8 ;;
  esac
  for scheme in light dark; do
    folder="$output/$language-$scheme"
    mkdir -p "$folder"
    LANG=$locale PRESSEL_COLOR_SCHEME=$scheme xvfb-run -a -s "-screen 0 1600x1200x24" bash -c '
      openbox & manager=$!
      sleep 1
      status=0
      "$0" "$1" "$2" || status=$?
      kill "$manager"
      exit "$status"' "$harness" "$folder" "$build"
  done
done
# The README's picture: the results face in English, light and dark side by side.
montage "$output/en-light/4-results.png" "$output/en-dark/4-results.png" -tile 2x1 -geometry +8+0 \
  -background none -resize 60% -depth 8 "$output/results-light-dark.png"
echo "screenshots in $output"
