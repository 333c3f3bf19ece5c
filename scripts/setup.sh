#!/usr/bin/env bash
# Installs what Pressel needs on Debian 12, builds mozjpeg's cjpeg once (cached outside the tree),
# then configures and builds the given presets in order (default: dev). Fast when nothing changed.
#
#   scripts/setup.sh [PRESET...]     # dev, release, asan, fuzz
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(dev)
export DEBIAN_FRONTEND=noninteractive

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
missing=()
installed=$(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${wanted[@]}" 2>/dev/null | awk '$2=="installed"{print $1}')
for p in "${wanted[@]}"; do
  grep -qx "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_if_needed apt-get update -qq
  sudo_if_needed apt-get -o DPkg::Lock::Timeout=1800 install -y -qq --no-install-recommends "${missing[@]}"
fi

# Node.js and npm build mozjpeg's cjpeg; images that ship their own Node.js keep it.
if ! command -v npm >/dev/null 2>&1; then
  sudo_if_needed apt-get -o DPkg::Lock::Timeout=1800 install -y -qq --no-install-recommends nodejs npm
fi

"$here/build-mozjpeg.sh"

cd "$root"
for preset in "${presets[@]}"; do
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null
  fi
  # The fuzz preset's build preset names its one target, the harness.
  cmake --build --preset "$preset"
done
