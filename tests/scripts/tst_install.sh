#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `cmake --install` of a build into a fresh prefix: the layout the package ships, a desktop entry
# that opens JPEGs and PNGs with `pressel %U`, and an installed pressel-cli that uses the
# installed tools.
#
#   tst_install.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix/usr" >/dev/null
for f in bin/pressel bin/pressel-cli libexec/pressel/cjpeg libexec/pressel/pngquant; do
  [ -x "$prefix/usr/$f" ] || fail "$f is not installed as an executable"
done
for f in share/icons/hicolor/scalable/apps/pressel.svg share/doc/pressel/copyright; do
  [ -e "$prefix/usr/$f" ] || fail "$f is not installed"
done
entry=$prefix/usr/share/applications/com.korvane.Pressel.desktop
grep -qx 'Exec=pressel %U' "$entry" || fail "the entry does not start pressel with the URLs"
# Only what Pressel compresses: "Open with" for anything else would end in a refusal.
grep -qx 'MimeType=image/jpeg;image/png;' "$entry" || fail "the entry offers other types"
if command -v desktop-file-validate >/dev/null; then
  [ -z "$(desktop-file-validate "$entry")" ] || fail "desktop-file-validate complains"
fi

convert -size 640x480 plasma:fractal -seed 3 -quality 95 "$prefix/photo.jpg"
log=$("$prefix/usr/bin/pressel-cli" "$prefix/photo.jpg" 2>&1) || fail "pressel-cli failed: $log"
grep -q "Using cjpeg at $prefix/usr/libexec/pressel/cjpeg" <<<"$log" || fail "not the installed cjpeg: $log"
[ -s "$prefix/photo-1.jpg" ] || fail "no output"
echo "PASS"
