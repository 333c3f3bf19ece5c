#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package pressel_<version>_amd64.deb from the release preset with CPack's DEB
# generator, checks it with lintian, and prints its path as the last line.
#
#   scripts/package.sh        # -> build/package/pressel_<version>_amd64.deb
#   sudo apt-get install ./build/package/pressel_*.deb
#
# PRESSEL_PACKAGE_MAINTAINER="Name <address>" names the package's maintainer; it is kept in the
# release build's CMake cache for later runs (default: see cmake/Packaging.cmake).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
fail() { echo "package: $*" >&2; exit 1; }

targets=release:pressel,pressel-cli,pressel_bundle_cjpeg,pressel_bundle_pngquant,pressel_changelog,pressel_manpages
"$here/setup.sh" "$targets" >&2
if [ -n "${PRESSEL_PACKAGE_MAINTAINER:-}" ]; then
  cmake -S "$root" -B "$root/build/release" -DPRESSEL_PACKAGE_MAINTAINER="$PRESSEL_PACKAGE_MAINTAINER" >/dev/null \
    || fail "cmake could not set the maintainer"
  "$here/setup.sh" "$targets" >&2
fi
out=$root/build/package
rm -rf "$out"
(cd "$root/build/release" && cpack --config CPackConfig.cmake -B "$out" >&2) || fail "cpack failed"
debs=("$out"/pressel_*_amd64.deb)
[ -f "${debs[0]}" ] || fail "cpack made no pressel_*_amd64.deb"

# Errors fail the package; warnings are shown.
if ! lintian --no-tag-display-limit --fail-on error "${debs[0]}" >&2; then
  fail "lintian found errors in ${debs[0]}"
fi
echo "${debs[0]}"
