#!/usr/bin/env bash
# Sets everything up, builds, and starts Pressel with any files given.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/setup.sh" dev >&2
exec "$(dirname "$here")/build/dev/bin/pressel-cli" "$@"
