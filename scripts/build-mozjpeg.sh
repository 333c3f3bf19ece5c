#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds mozjpeg's cjpeg and jpegtran once from the source tarball that the npm package "mozjpeg"
# carries and caches them outside the source tree; later runs only check the cached binaries.
# Prints cjpeg's path (jpegtran lies beside it).
#
#   scripts/build-mozjpeg.sh            # -> ${XDG_CACHE_HOME:-~/.cache}/pressel/mozjpeg-<version>/{cjpeg,jpegtran}
#
# Needs npm, autoconf, automake, libtool, nasm, make and a C compiler (scripts/packages.txt).
# The package is fetched with npm's own client and checked against its pinned integrity; no
# prebuilt binary is downloaded and no mozjpeg source is kept in the repository.
set -euo pipefail

package_version=8.0.0 # carries mozjpeg 3.2
package_integrity='sha512-Ca2Yhah9hG0Iutgsn8MOrAl37P9ThnKsJatjXoWdUO+8X8GeG/6ahvHZrTyqvbs6leMww1SauWUCao/L9qBuFQ=='

cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/pressel
dest=$cache_root/mozjpeg-$package_version
cjpeg=$dest/cjpeg
programs=(cjpeg jpegtran)

log() { echo "build-mozjpeg: $*" >&2; }

is_mozjpeg() {
  # The version banner goes to standard error; mozjpeg names itself there.
  "$1" -version 2>&1 </dev/null | grep -q 'mozjpeg'
}

is_cached() {
  local program
  for program in "${programs[@]}"; do
    [ -x "$dest/$program" ] && is_mozjpeg "$dest/$program" || return 1
  done
}

if is_cached; then
  echo "$cjpeg"
  exit 0
fi

mkdir -p "$cache_root"
# Two set-up runs at once build it once: the second waits and then finds the cached binary.
exec 9>"$cache_root/.mozjpeg-$package_version.lock"
flock 9
if is_cached; then
  echo "$cjpeg"
  exit 0
fi

for tool in npm node autoreconf libtoolize nasm make cc; do
  command -v "$tool" >/dev/null 2>&1 || { log "missing $tool (run scripts/setup.sh)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pressel-mozjpeg.XXXXXX")
trap 'rm -rf "$work"' EXIT
started=$(date +%s)

log "fetching the mozjpeg@$package_version package"
if ! (cd "$work" && npm pack "mozjpeg@$package_version" >"$work/npm.log" 2>&1); then
  cat "$work/npm.log" >&2
  log "npm could not fetch mozjpeg@$package_version (see above; npm's registry and CA settings: npm config list)"
  exit 1
fi
tarball=$work/mozjpeg-$package_version.tgz
actual=$(node -e 'const fs = require("fs"), crypto = require("crypto");
  process.stdout.write("sha512-" + crypto.createHash("sha512").update(fs.readFileSync(process.argv[1])).digest("base64"));' "$tarball")
if [ "$actual" != "$package_integrity" ]; then
  log "integrity mismatch for mozjpeg@$package_version: $actual"
  exit 1
fi

{ tar -xzf "$tarball" -C "$work" package/vendor/source/mozjpeg.tar.gz \
  && tar -xzf "$work/package/vendor/source/mozjpeg.tar.gz" -C "$work"; } || { log "could not unpack the package"; exit 1; }
cd "$work/mozjpeg"

# The same configuration the package's own install step uses: a static libjpeg, so the programs
# we keep depend on nothing that lives in this temporary folder.
log "configuring"
autoreconf -fi >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }
./configure --enable-static --disable-shared --disable-dependency-tracking --with-jpeg8 \
  --prefix="$work/prefix" >>"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }
log "compiling ${programs[*]}"
# Only what the programs need: the SIMD library (its own folder) and each program with its
# static libjpeg.
{ make -j"$(nproc)" -C simd && make -j"$(nproc)" "${programs[@]}"; } >>"$work/build.log" 2>&1 \
  || { tail -n 40 "$work/build.log" >&2; exit 1; }

mkdir -p "$dest"
for program in "${programs[@]}"; do
  built=$work/mozjpeg/$program
  if ! head -c 4 "$built" | grep -q 'ELF'; then
    log "$program is not a program (a libtool wrapper?)"
    exit 1
  fi
  if ldd "$built" | grep -F -e "$work" -e 'not found' >&2; then
    log "$program depends on a library outside the system folders"
    exit 1
  fi
  is_mozjpeg "$built" || { log "the built $program does not report mozjpeg"; exit 1; }
  install -m 0755 -s "$built" "$dest/$program.partial"
  mv -f "$dest/$program.partial" "$dest/$program"
done
log "built ${programs[*]} of $("$cjpeg" -version 2>&1 | head -n 1) in $(($(date +%s) - started)) s"
echo "$cjpeg"
