#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `cmake --install` of a build into a fresh prefix: the layout the package ships, a desktop entry
# that opens JPEGs and PNGs with `pressel %U`, the file managers' entries that start `pressel`
# with the selection, an AppStream description that validates, the manual pages, and an
# installed pressel-cli that uses the installed tools.
#
#   tst_install.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix/usr" >/dev/null
share=$prefix/usr/share
menu=$share/kio/servicemenus/com.korvane.Pressel.desktop
for f in bin/pressel bin/pressel-cli libexec/pressel/{cjpeg,jpegtran,pngquant} share/kio/servicemenus/com.korvane.Pressel.desktop; do
  [ -x "$prefix/usr/$f" ] || fail "$f is not installed as an executable"
done
for f in icons/hicolor/scalable/apps/pressel.svg doc/pressel/copyright man/man1/pressel{,-cli}.1.gz; do
  [ -e "$share/$f" ] || fail "$f is not installed"
done
entry=$share/applications/com.korvane.Pressel.desktop
grep -qx 'Exec=pressel %U' "$entry" || fail "the entry does not start pressel with the URLs"
# Only what Pressel compresses or converts: "Open with" for anything else would end in a refusal.
grep -qx 'MimeType=image/jpeg;image/png;image/heic;image/heif;image/avif;image/webp;image/tiff;' "$entry" || fail "the entry offers other types"
nautilus=$share/nautilus-python/extensions/pressel-nautilus.py
for f in "$menu" "$share"/{nemo/actions/pressel.nemo_action,file-manager/actions/com.korvane.Pressel.desktop} "$nautilus"; do
  grep -Eq '^Exec=pressel %F$|"pressel", \*paths' "$f" && grep -q '使用 Pressel 压缩' "$f" || fail "$f: no entry for pressel"
done
# The validator knows MimeType and Actions only in applications; a service menu has them too.
grep -v 'type is "Service" while this key is only valid for' <(desktop-file-validate "$entry" "$menu" 2>&1) >&2 \
  && fail "desktop-file-validate complains"
appstreamcli validate-tree --no-net "$prefix/usr" >/dev/null || fail "$(appstreamcli validate-tree --no-net "$prefix/usr")"
python3 -m py_compile "$nautilus" || fail "the Nautilus extension does not compile"

convert -size 640x480 plasma:fractal -seed 3 -quality 95 "$prefix/photo.jpg"
log=$("$prefix/usr/bin/pressel-cli" -v "$prefix/photo.jpg" 2>&1) || fail "pressel-cli failed: $log"
grep -q "Using cjpeg at $prefix/usr/libexec/pressel/cjpeg" <<<"$log" || fail "not the installed cjpeg: $log"
[ -s "$prefix/photo-1.jpg" ] || fail "no output"
echo "PASS"
