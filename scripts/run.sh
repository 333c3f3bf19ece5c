#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets everything up, builds, and starts Pressel, opening any files given. When Pressel is
# already running, the files go to its window and this command returns at once.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")

no_display() {
  cat >&2 <<'HINT'
run.sh: Pressel needs a graphical session, and none was found.
  - Start it from a desktop session (DISPLAY or WAYLAND_DISPLAY is set there), or
  - run it on a virtual X server:   xvfb-run -a scripts/run.sh FILE...
  - or run it without a window:     QT_QPA_PLATFORM=offscreen scripts/run.sh FILE...
  - pressel-cli compresses files without any window: build/release/bin/pressel-cli FILE...
HINT
  exit 1
}

# Only what the window needs, optimised: the two executables and the bundle's tools.
"$here/setup.sh" release:pressel,pressel-cli,pressel_bundle_cjpeg,pressel_bundle_pngquant >&2

# Qt would abort with a terse message; say what to do instead.
if [ -z "${QT_QPA_PLATFORM:-}" ]; then
  if [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${DISPLAY:-}" ]; then
    no_display
  fi
  if [ -z "${WAYLAND_DISPLAY:-}" ] && command -v xdpyinfo >/dev/null 2>&1 && ! xdpyinfo >/dev/null 2>&1; then
    echo "run.sh: the X display \"$DISPLAY\" cannot be reached." >&2
    no_display
  fi
fi

exec "$root/build/release/bin/pressel" "$@"
