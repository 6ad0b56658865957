#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Morvik twice (Release, and Debug with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test in both;
# then builds the Debian package and checks it, cross-builds the Windows game
# and plays it under Wine, and builds the fuzz targets
# with clang and runs each a few seconds on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
morvik_install_packages
morvik_build build Release
morvik_build build-asan Debug -DMORVIK_SANITIZE=ON -DMORVIK_BENCH=OFF
morvik_build build-fuzz Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMORVIK_FUZZ=ON \
  -DMORVIK_SDL=OFF -DMORVIK_TESTS=OFF -DMORVIK_BENCH=OFF -DMORVIK_SERVER=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
passed=0
failed=0
# step NAME COMMAND...: one step of the run, counted in the closing line.
step() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failed=$((failed + 1)); fi
  echo "-- $name: $((SECONDS - start)) s"
}
for d in build build-asan; do
  step "tests in $d" bash -c "cd '$d' && ctest --output-on-failure -j2 --timeout 900"
done
step "the Debian package: built, checked by lintian, its tree played headless" bash -c \
  'scripts/deb.sh && bash tests/package/deb_tree.sh \
     "build-deb/morvik_$(dpkg-parsechangelog -S Version)_$(dpkg-architecture -q DEB_HOST_ARCH).deb"'
step "the Windows build (build-win/): the zip and the installer, played under Wine" bash -c \
  'scripts/windows.sh --host-tree build --tests && tests/windows/run.sh build'
step "the browser build (build-web/)" bash -c 'scripts/web.sh >/dev/null && tests/web/run.sh'
step "the leaderboard's page in chromium, against the server" tests/web/board.sh build
step "fuzzing, ${MORVIK_FUZZ_SECONDS:-5} s a target" fuzz/run.sh build-fuzz "${MORVIK_FUZZ_SECONDS:-5}"
echo "test.sh: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
