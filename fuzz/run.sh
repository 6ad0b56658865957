#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs each fuzz target for SECONDS (default 5) on its committed seed corpus,
# in a scratch copy so the committed corpus stays as it is. Usage:
#   fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]    (targets: segment record script demo settings ticket)
# A crash leaves its input as crash-* in the current directory and fails.
set -euo pipefail
build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]}
secs=${2:-5}
shift $(( $# >= 2 ? 2 : 1 ))
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(segment record script demo settings ticket)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/morvik-fuzz-XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
export TMPDIR=$work
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for t in "${targets[@]}"; do
  cp -r "$here/corpus/$t" "$work/$t"
  # Whole segment and record files are 85 KB; the others stay small.
  case $t in segment|record) len=90000 ;; *) len=8192 ;; esac
  echo "== fuzz $t for $secs s"
  if ! "$build/morvik_fuzz_$t" -max_total_time="$secs" -max_len=$len -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$work/$t" 2>"$work/$t.log"; then
    status=1
    tail -60 "$work/$t.log"
  else
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$t.log" || true
  fi
done
exit $status
