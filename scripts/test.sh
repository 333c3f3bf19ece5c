#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite, including a one-minute fuzz run
# of the harness that the fuzz preset builds.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
preset=${1:-dev}
"$here/setup.sh" "$preset"
cd "$root"
if [ ! -f build/fuzz/build.ninja ]; then
  cmake --preset fuzz >/dev/null
fi
cmake --build --preset fuzz
ctest --preset "$preset" -j2
