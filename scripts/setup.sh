#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what Pressel needs on Debian 12, builds mozjpeg's cjpeg once (cached outside the tree),
# then configures and builds the given presets in order (default: dev). Fast when nothing changed.
#
#   scripts/setup.sh [PRESET[:TARGET,...]...]   # dev, run, release, asan, fuzz
#   scripts/setup.sh --packages-only            # only the Debian packages
#
# PRESSEL_PACKAGE_LIST names another package list (the suite's own check uses it).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export DEBIAN_FRONTEND=noninteractive

fail() { echo "setup: $*" >&2; exit 1; }
trap 'status=$?; [ $status -eq 0 ] || echo "setup: failed (exit $status) at line $LINENO: $BASH_COMMAND" >&2' EXIT

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    fail "installing packages needs root: run this as root or install sudo"
  fi
}

# Prints the wanted packages that are not installed, one a line. dpkg-query exits non-zero as
# soon as one of them is unknown to dpkg, which is exactly the case that matters here.
missing_packages() {
  local list=$1 installed p
  local -a wanted
  mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$list")
  installed=$(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${wanted[@]}" 2>/dev/null || true)
  for p in "${wanted[@]}"; do
    grep -qx "$p installed" <<<"$installed" || echo "$p"
  done
}

install_packages() {
  local -a missing
  mapfile -t missing < <(missing_packages "${PRESSEL_PACKAGE_LIST:-$here/packages.txt}")
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}" >&2
  as_root apt-get update -qq || fail "apt-get update failed"
  as_root apt-get -o DPkg::Lock::Timeout=1800 install -y -qq --no-install-recommends "${missing[@]}" \
    || fail "apt-get could not install: ${missing[*]}"
}

install_packages
[ "${1:-}" = --packages-only ] && exit 0

# Node.js and npm fetch mozjpeg's source; images that ship their own Node.js keep it.
if ! command -v npm >/dev/null 2>&1; then
  echo "setup: installing nodejs npm" >&2
  as_root apt-get -o DPkg::Lock::Timeout=1800 install -y -qq --no-install-recommends nodejs npm \
    || fail "apt-get could not install nodejs npm"
fi

cjpeg=$("$here/build-mozjpeg.sh") || fail "could not build mozjpeg's cjpeg (see above)"

cd "$root"
[ $# -gt 0 ] || set -- dev
for request in "$@"; do
  preset=${request%%:*}
  targets=()
  [ "$request" = "$preset" ] || IFS=, read -r -a targets <<<"${request#*:}"
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null || fail "cmake could not configure the $preset preset"
  fi
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build --preset "$preset" --target "${targets[@]}" || fail "the $preset build failed"
  else
    # The fuzz preset's build preset names its one target, the harness.
    cmake --build --preset "$preset" || fail "the $preset build failed"
  fi
done
