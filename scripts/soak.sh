#!/usr/bin/env bash
# Builds the game optimised with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-soak/ and lets the automatic player play FRAMES play frames there
# (the soak test), with the state checked every frame. Usage:
#   scripts/soak.sh FRAMES [CLOCK_START]
# Any sanitizer report ends the run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:?usage: scripts/soak.sh FRAMES [CLOCK_START]}
source scripts/setup.sh
morvik_build build-soak RelWithDebInfo -DMORVIK_SANITIZE=ON -DMORVIK_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -fno-omit-frame-pointer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export MORVIK_SOAK_FRAMES=$frames
[ $# -ge 2 ] && export MORVIK_SOAK_CLOCK=$2
start=$(date +%s)
status=0
build-soak/morvik_tests --gtest_filter='Soak.*' || status=$?
echo "soak: $frames frames asked, $(( $(date +%s) - start )) s wall time, status $status"
exit $status
