#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The suite's short fuzz run: seeds from fuzz_seeds, then the fuzz preset's harness for about a
# minute. A crash, sanitizer report, timeout or out-of-memory fails the test and leaves the
# input in WORK/artifacts with the command that reproduces it.
#
#   smoke.sh SEED_TOOL HARNESS WORK [SECONDS]
#
# Exits 77 (CTest's skip) when the harness has not been built.
set -euo pipefail
seed_tool=$1
harness=$2
work=$3
seconds=${4:-60}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ ! -x "$harness" ]; then
  echo "SKIPPED: no fuzz harness at $harness"
  echo "Build it with: cmake --preset fuzz && cmake --build --preset fuzz (scripts/test.sh does)."
  exit 77
fi

rm -rf "$work/corpus" "$work/artifacts" "$work/tmp"
mkdir -p "$work/corpus" "$work/artifacts" "$work/tmp"
"$seed_tool" "$work/seeds"

# The harness's own sanitizer options, whatever suite runs it; the longer run in
# docs/HARDENING.md uses the same ones and says why each is set.
export TMPDIR=$work/tmp
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$(dirname "$here")/cmake/sanitizers/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
# A damaged picture may take half a minute under ASan and several times that on a busy machine;
# a hang never ends, so a generous per-input limit still catches it. The decoders' own complaints
# (libtiff writes hundreds a second to standard error) are closed off; libFuzzer's and the
# sanitizers' reports still reach the log.
"$harness" -close_fd_mask=2 -max_total_time="$seconds" -max_len=65536 -timeout=300 -rss_limit_mb=5120 -malloc_limit_mb=2560 \
  -dict="$here/image.dict" -error_exitcode=1 -timeout_exitcode=1 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$work/seeds" 2>"$work/fuzz.log" || status=$?
tail -n 25 "$work/fuzz.log"

left=$(find "$work/tmp" -mindepth 1 | head -n 5)
if [ "$status" -ne 0 ]; then
  echo "FAILED: the fuzzer stopped with status $status; full log: $work/fuzz.log"
  for artifact in "$work"/artifacts/*; do
    [ -e "$artifact" ] && echo "reproduce with: $harness $artifact"
  done
  exit 1
fi
if [ -n "$left" ]; then
  echo "FAILED: the harness left files in its temporary folder:"
  echo "$left"
  exit 1
fi
echo "PASSED: $(grep -c '' "$work/fuzz.log") log lines, corpus of $(ls "$work/corpus" | wc -l) new inputs"
