#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tries the README's commands as a new user would meet them: on a bare Debian 12 root
# (debootstrap --variant=minbase bookworm: no sudo, no compiler, no Node.js, no X), made afresh
# from a cached copy for every run, with a clean export of the checkout's HEAD.
#
#   scripts/check-fresh.sh             # scripts/run.sh photo.jpg (offscreen) -> photo-1.jpg
#   scripts/check-fresh.sh --test      # then scripts/test.sh in the same root
#   scripts/check-fresh.sh --package   # scripts/package.sh here, then the .deb installed there
#
# Runs as root (debootstrap, chroot). The bare root comes from the Debian archive apt already uses
# on this machine and gets the machine's trust settings (its local CA certificates, npm's global
# configuration), so it reaches the package registries the way the machine does. Each step's time
# is printed; the root is removed afterwards unless PRESSEL_KEEP_FRESH_ROOT=1.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")

mode=run
case "${1:-}" in
  "") ;;
  --test) mode=test ;;
  --package) mode=package ;;
  *) echo "usage: scripts/check-fresh.sh [--test|--package]" >&2; exit 2 ;;
esac

say() { echo "check-fresh: $*" >&2; }
fail() { say "FAILED: $*"; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "run as root (debootstrap and chroot need it)"

suite=bookworm
cache=${XDG_CACHE_HOME:-$HOME/.cache}/pressel/fresh
base=$cache/$suite-minbase.tar
export DEBIAN_FRONTEND=noninteractive

step_started=0
step() { step_started=$(date +%s); say "$*"; }
step_done() { say "  done in $(($(date +%s) - step_started)) s"; }

# The first Debian archive apt uses here for the suite itself (not -updates, not -security).
debian_mirror() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v s="$suite" '
      /^[[:space:]]*$/ { if (uri != "" && ok) { print uri; exit } uri = ""; ok = 0; next }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == s) ok = 1 }
      END { if (uri != "" && ok) print uri }' "$f" | head -n 1
  done
  if [ -f /etc/apt/sources.list ]; then
    awk -v s="$suite" '$1 == "deb" && $3 == s { print $2; exit }' /etc/apt/sources.list
  fi
}

make_base() {
  command -v debootstrap >/dev/null 2>&1 || apt-get install -y -qq --no-install-recommends debootstrap \
    || fail "could not install debootstrap"
  local mirror
  mirror=$(debian_mirror | head -n 1)
  [ -n "$mirror" ] || fail "found no Debian archive for $suite in this machine's apt sources"
  step "making the bare $suite root (debootstrap --variant=minbase, from $mirror)"
  local tmp
  tmp=$(mktemp -d /var/tmp/pressel-base.XXXXXX)
  if ! debootstrap --variant=minbase "$suite" "$tmp/root" "$mirror" >"$tmp/debootstrap.log" 2>&1; then
    tail -n 30 "$tmp/debootstrap.log" >&2
    rm -rf "$tmp"
    fail "debootstrap failed"
  fi
  rm -rf "$tmp/root/var/cache/apt/archives/"*.deb
  mkdir -p "$cache"
  tar -C "$tmp/root" -cf "$base.partial" . && mv -f "$base.partial" "$base"
  rm -rf "$tmp"
  step_done
}

# The machine's own view of the archive and its trust settings.
give_trust_settings() {
  local root=$1 f
  rm -f "$root"/etc/apt/sources.list "$root"/etc/apt/sources.list.d/*
  [ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$root/etc/apt/"
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && cp "$f" "$root/etc/apt/sources.list.d/"
  done
  for f in /etc/apt/apt.conf.d/*; do
    [ -f "$f" ] && grep -q '^Acquire' "$f" && cp "$f" "$root/etc/apt/apt.conf.d/"
  done
  if [ -d /usr/local/share/ca-certificates ]; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp -r /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
  fi
  [ -f /etc/npmrc ] && cp /etc/npmrc "$root/etc/npmrc"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
}

# Runs a command in the root as a login would: a clean environment, root's home.
in_root() {
  local -a envs=(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
    LANG=C.UTF-8 TERM=dumb QT_QPA_PLATFORM=offscreen)
  [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && envs+=("NODE_EXTRA_CA_CERTS=$NODE_EXTRA_CA_CERTS")
  chroot "$fresh" /usr/bin/env -i "${envs[@]}" "$@"
}

# A photo of the kind the window is given: a real JPEG, and a PNG.
make_pictures() {
  local dest=$1
  mkdir -p "$dest"
  command -v convert >/dev/null 2>&1 || fail "ImageMagick's convert is needed to make the test pictures"
  convert -size 1600x1200 plasma:fractal -seed 7 -quality 95 "$dest/photo.jpg"
  convert -size 640x480 -seed 7 gradient:orange-navy -attenuate 0.2 +noise Uniform PNG24:"$dest/picture.png"
}

wait_for() {
  local file=$1 pid=$2 limit=$3 waited=0
  while [ ! -s "$file" ]; do
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 2
    waited=$((waited + 2))
    [ $waited -lt "$limit" ] || return 1
  done
}

[ -f "$base" ] || make_base

work=$(mktemp -d /var/tmp/pressel-fresh.XXXXXX)
fresh=$work/root
cleanup() {
  local status=$?
  # Whatever still runs in the root (a window, a build) ends with it.
  if [ -d "$fresh/proc" ]; then
    for p in /proc/[0-9]*; do
      [ "$(readlink "$p/root" 2>/dev/null)" = "$fresh" ] && kill -9 "${p#/proc/}" 2>/dev/null
    done
  fi
  for m in dev/pts dev/shm dev proc sys; do
    mountpoint -q "$fresh/$m" 2>/dev/null && umount -l "$fresh/$m"
  done
  if [ "${PRESSEL_KEEP_FRESH_ROOT:-0}" = 1 ]; then
    say "kept the root in $fresh"
  else
    rm -rf "$work"
  fi
  exit $status
}
trap cleanup EXIT

step "laying a fresh root from $base"
mkdir -p "$fresh"
tar -C "$fresh" -xf "$base"
give_trust_settings "$fresh"
mount -t proc proc "$fresh/proc"
mount -t sysfs sys "$fresh/sys"
mount --bind /dev "$fresh/dev"
mount --bind /dev/pts "$fresh/dev/pts"
mount -t tmpfs shm "$fresh/dev/shm"
make_pictures "$fresh/root/photos"
step_done

if [ "$mode" = package ]; then
  step "building the package here (scripts/package.sh)"
  deb=$("$here/package.sh" | tail -n 1)
  [ -f "$deb" ] || fail "scripts/package.sh made no package"
  cp "$deb" "$fresh/root/"
  step_done

  step "apt-get install ./$(basename "$deb") in the bare root"
  in_root apt-get update -qq || fail "apt-get update failed in the root"
  in_root sh -c "cd /root && apt-get install -y -qq --no-install-recommends ./$(basename "$deb")" \
    || fail "the package did not install"
  step_done

  step "pressel-cli --json on a JPEG and a PNG, as installed"
  in_root sh -c 'cd /root/photos && pressel-cli -v --json photo.jpg picture.png' >"$work/cli.json" 2>"$work/cli.log" \
    || { cat "$work/cli.json" "$work/cli.log" >&2; fail "pressel-cli failed"; }
  cat "$work/cli.json"
  [ "$(grep -o '"status": *"success"' "$work/cli.json" | wc -l)" -eq 2 ] \
    || { cat "$work/cli.log" >&2; fail "expected two success rows"; }
  for tool in cjpeg pngquant; do
    grep -q "/usr/libexec/pressel/$tool" "$work/cli.log" \
      || { cat "$work/cli.log" >&2; fail "the log names no /usr/libexec/pressel/$tool"; }
  done
  rm -f "$fresh"/root/photos/photo-1.jpg "$fresh"/root/photos/picture-1.png
  step_done

  step "pressel-cli --jpeg-lossless, --format webp and --format avif, as installed"
  for args in "--jpeg-lossless photo.jpg" "--format webp photo.jpg" "--format avif picture.png"; do
    in_root sh -c "cd /root/photos && pressel-cli -v --json $args" >"$work/more.json" 2>"$work/more.log" \
      || { cat "$work/more.json" "$work/more.log" >&2; fail "pressel-cli $args failed"; }
    grep -q '"status": *"success"' "$work/more.json" \
      || { cat "$work/more.json" "$work/more.log" >&2; fail "pressel-cli $args: no success row"; }
    case "$args" in
      --jpeg-lossless*)
        grep -q '"lossless": *true' "$work/more.json" && grep -q /usr/libexec/pressel/jpegtran "$work/more.log" \
          || { cat "$work/more.json" "$work/more.log" >&2; fail "the lossless row was not jpegtran's"; } ;;
    esac
  done
  rm -f "$fresh"/root/photos/photo-[0-9]*.jpg "$fresh"/root/photos/photo-[0-9]*.webp "$fresh"/root/photos/picture-[0-9]*.avif
  step_done

  step "desktop-file-validate on the installed entry"
  in_root apt-get install -y -qq --no-install-recommends desktop-file-utils >/dev/null \
    || fail "could not install desktop-file-utils in the root"
  in_root desktop-file-validate /usr/share/applications/com.korvane.Pressel.desktop \
    || fail "the installed desktop entry does not validate"
  step_done

  step "pressel (offscreen) compresses a file handed to it"
  in_root pressel /root/photos/photo.jpg >"$work/window.log" 2>&1 &
  app=$!
  wait_for "$fresh/root/photos/photo-1.jpg" $app 120 \
    || { cat "$work/window.log" >&2; fail "the installed pressel wrote no photo-1.jpg"; }
  kill $app 2>/dev/null || true
  step_done
  say "the package installs and works on a bare $suite root"
  exit 0
fi

step "copying a clean export of HEAD into the root"
mkdir -p "$fresh/root/pressel"
git -C "$repo" archive HEAD | tar -x -C "$fresh/root/pressel"
step_done

step "scripts/run.sh /root/photos/photo.jpg (offscreen), waiting for photo-1.jpg"
in_root sh -c 'cd /root/pressel && exec scripts/run.sh /root/photos/photo.jpg' >"$work/run.log" 2>&1 &
app=$!
if ! wait_for "$fresh/root/photos/photo-1.jpg" $app 5400; then
  tail -n 60 "$work/run.log" >&2
  fail "scripts/run.sh wrote no photo-1.jpg"
fi
kill $app 2>/dev/null || true
step_done
say "scripts/run.sh compressed a photo on a bare $suite root"

if [ "$mode" = test ]; then
  step "scripts/test.sh in the same root"
  in_root sh -c 'cd /root/pressel && exec scripts/test.sh' >"$work/test.log" 2>&1 \
    || { tail -n 80 "$work/test.log" >&2; fail "scripts/test.sh failed"; }
  tail -n 5 "$work/test.log"
  step_done
fi
