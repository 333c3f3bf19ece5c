#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
preset=${1:-dev}
"$here/setup.sh" "$preset"
cd "$(dirname "$here")"
ctest --preset "$preset" -j2
