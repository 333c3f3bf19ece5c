#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/setup.sh's package step against fake dpkg-query and apt-get on PATH: a package that is
# not installed is installed, nothing is installed when all are, and a failed install says so.
set -uo pipefail
setup=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# dpkg-query knows only the packages in $work/installed and, like the real one, exits 1 when
# it was asked about any other.
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
status=0
for p in "${@:3}"; do
  if grep -qx "$p" "$FAKE_ROOT/installed"; then echo "$p installed"; else
    echo "dpkg-query: no packages found matching $p" >&2; status=1; fi
done
exit $status
FAKE
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "$*" >>"$FAKE_ROOT/apt-get.log"
case " $* " in *" install "*) [ ! -e "$FAKE_ROOT/apt-fails" ] ;; esac
FAKE
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*
printf '# a list\npkg-present\n\npkg-missing\n' >"$work/packages.txt"

passed=0 failed=0
check() { # name, expected exit, expected install line (or -), expected stderr text (or -)
  local name=$1 want_status=$2 want_install=$3 want_err=$4 status
  rm -f "$work/apt-get.log"
  FAKE_ROOT=$work PATH="$work/bin:$PATH" PRESSEL_PACKAGE_LIST=$work/packages.txt \
    "$setup" --packages-only >"$work/out" 2>"$work/err" </dev/null
  status=$?
  local installs
  installs=$(grep ' install ' "$work/apt-get.log" 2>/dev/null | sed 's/.* --no-install-recommends //')
  if [ "$status" -eq "$want_status" ] && [ "$installs" = "${want_install#-}" ] \
    && { [ "$want_err" = - ] || grep -qF "$want_err" "$work/err"; }; then
    passed=$((passed + 1)); echo "PASS: $name"
  else
    failed=$((failed + 1))
    echo "FAIL: $name (exit $status, installed '$installs')"; sed 's/^/    /' "$work/err"
  fi
}

echo pkg-present >"$work/installed"
check "installs the one missing package" 0 pkg-missing -
printf 'pkg-present\npkg-missing\n' >"$work/installed"
check "installs nothing when all are there" 0 - -
echo pkg-present >"$work/installed"
touch "$work/apt-fails"
check "says which install failed" 1 pkg-missing "setup: apt-get could not install: pkg-missing"

echo "setup: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
