#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the game optimised with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-soak/ and lets the automatic player play FRAMES play frames there
# (the soak test), the state checked every frame. The frames are shared
# between RUNS runs side by side (default 2, one a core), each from its own
# clock start so that each plays different games. Usage:
#   scripts/soak.sh FRAMES [RUNS]
# Any sanitizer report or failed check ends with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:?usage: scripts/soak.sh FRAMES [RUNS]}
runs=${2:-2}
source scripts/setup.sh
morvik_build build-soak RelWithDebInfo -DMORVIK_SANITIZE=ON -DMORVIK_BENCH=OFF -DMORVIK_SERVER=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -fno-omit-frame-pointer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export MORVIK_SOAK_FRAMES=$(( (frames + runs - 1) / runs ))
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
start=$(date +%s)
pids=()
for i in $(seq "$runs"); do
  MORVIK_SOAK_CLOCK=$(( 12345 + 975309 * (i - 1) )) build-soak/morvik_tests --gtest_filter='Soak.*' \
    >"$logs/$i" 2>&1 &
  pids+=($!)
done
# SIGTERM or Ctrl-C stops every run early; each still reports what it played.
trap 'kill -TERM "${pids[@]}" 2>/dev/null' TERM INT
status=0
for i in $(seq "$runs"); do
  while :; do
    rc=0
    wait "${pids[$((i - 1))]}" || rc=$?
    kill -0 "${pids[$((i - 1))]}" 2>/dev/null || break  # a trapped signal interrupts the wait
  done
  [ $rc -eq 0 ] || { status=1; cat "$logs/$i"; }
  grep '^soak:' "$logs/$i" || true
done
reports=$(cat "$logs"/* | grep -c -E 'ERROR: (Address|Leak)Sanitizer|runtime error:' || true)
echo "soak: $runs runs of $MORVIK_SOAK_FRAMES frames, $(( $(date +%s) - start )) s wall time," \
     "$reports sanitizer reports, status $status"
exit $status
