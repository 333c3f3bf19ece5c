#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets everything up, builds, and runs the whole test suite: the dev build's tests, with a
# one-minute run of the fuzz preset's harness, then the same tests built with the address and
# undefined-behaviour sanitizers (asan preset), all but the slow one and the fuzz run, which
# the dev suite has run already.
#
#   scripts/test.sh            # everything above
#   scripts/test.sh PRESET     # only that preset's build and suite (dev, release, asan)
#
# PRESSEL_SKIP_SANITIZERS=1 leaves the asan build and suite out.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")

if [ $# -gt 0 ]; then
  "$here/setup.sh" "$1"
  cd "$root"
  exec ctest --preset "$1" -j2
fi

sanitizers=true
[ "${PRESSEL_SKIP_SANITIZERS:-0}" = 1 ] && sanitizers=false
presets=(dev fuzz)
$sanitizers && presets+=(asan)
"$here/setup.sh" "${presets[@]}"
cd "$root"
ctest --preset dev -j2
if $sanitizers; then
  echo "test: the suite again, under the address and undefined-behaviour sanitizers"
  ctest --preset asan -j2 --label-exclude 'slow|fuzz'
fi
