#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layers are the build's: a file that includes a header of a layer it
# may not see does not build, for want of the file, and one at the top that
# includes every layer does.
set -uo pipefail
build=$1
fails=0
for probe in game_reads_app:app/settings.hpp media_reads_platform:platform/platform.hpp \
             game_reads_headless:platform/headless/headless_platform.hpp headless_reads_game:game.hpp; do
  name=${probe%%:*} header=${probe#*:}
  out=$(cmake --build "$build" --target "morvik_probe_$name" 2>&1)
  if [ $? -eq 0 ]; then
    echo "FAIL: $name built, though it includes $header"; fails=$((fails + 1))
  elif ! grep -Eq "$header'? (file not found|: No such file)|$header: No such file" <<<"$out"; then
    echo "FAIL: $name did not build, but not for want of $header:"; echo "$out" | tail -5; fails=$((fails + 1))
  else
    echo "ok: $name does not build: $header is not to be seen there"
  fi
done
if out=$(cmake --build "$build" --target morvik_probe_app_reads_all 2>&1); then
  echo "ok: app_reads_all builds"
else
  echo "FAIL: app_reads_all does not build:"; echo "$out" | tail -5; fails=$((fails + 1))
fi
[ "$fails" -eq 0 ]
