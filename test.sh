#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Morvik twice (Release, and Debug with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test in both;
# then builds the Debian package and checks it, and builds the fuzz targets
# with clang and runs each a few seconds on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
morvik_install_packages
morvik_build build Release
morvik_build build-asan Debug -DMORVIK_SANITIZE=ON -DMORVIK_BENCH=OFF
morvik_build build-fuzz Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMORVIK_FUZZ=ON \
  -DMORVIK_SDL=OFF -DMORVIK_TESTS=OFF -DMORVIK_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for d in build build-asan; do
  echo "== tests in $d"
  (cd "$d" && ctest --output-on-failure -j2 --timeout 900) || status=1
done
echo "== the Debian package: built, checked by lintian, its tree played headless"
(scripts/deb.sh && bash tests/package/deb_tree.sh \
  "build-deb/morvik_$(dpkg-parsechangelog -S Version)_$(dpkg-architecture -q DEB_HOST_ARCH).deb") || status=1
echo "== the browser build (build-web/)"
if scripts/web.sh >/dev/null; then tests/web/run.sh || status=1; else echo "FAIL: scripts/web.sh"; status=1; fi
echo "== fuzzing, ${MORVIK_FUZZ_SECONDS:-5} s a target"
fuzz/run.sh build-fuzz "${MORVIK_FUZZ_SECONDS:-5}" || status=1
exit $status
