#!/usr/bin/env bash
# Installs what is missing, builds Morvik twice (Release, and Debug with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
morvik_install_packages
morvik_build build Release
morvik_build build-asan Debug -DMORVIK_SANITIZE=ON -DMORVIK_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for d in build build-asan; do
  echo "== tests in $d"
  (cd "$d" && ctest --output-on-failure -j2 --timeout 900) || status=1
done
exit $status
