#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real window under Xvfb: SIGTERM, SIGINT and SIGHUP end the game as
# closing the window does (records written, status 0), with the automatic
# player at the keys.
set -u
bin=$1
work=$(mktemp -d)
game= xvfb=
trap 'kill $game $xvfb 2>/dev/null; rm -rf "$work"' EXIT
src=${2:-$(dirname "$0")/..}
. "$src/tests/tools/xdisplay.sh"
start_xvfb "$src" || exit 1
export SDL_AUDIODRIVER=dummy HOME=$work XDG_CONFIG_HOME=$work/config
fails=0 passes=0
for sig in TERM INT HUP; do
  d=$work/$sig
  mkdir -p "$d"
  cp "$bin"/Morvik_*.kvd "$bin"/*.wav "$bin"/*.mid "$bin"/*.ogg "$d/" 2>/dev/null
  "$bin/morvik" --bot --window=1 --data-dir "$d" >"$d.out" 2>&1 &
  game=$!
  win=$(find_window)
  [ -n "$win" ] || { echo "FAIL: SIG$sig: no window"; cat "$d.out"; fails=$((fails + 1)); kill $game; wait $game; continue; }
  sleep 2
  kill -$sig $game
  for i in $(seq 100); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
  if kill -0 $game 2>/dev/null; then
    echo "FAIL: SIG$sig: still running 10 s after the signal"; kill -9 $game; wait $game; fails=$((fails + 1)); continue
  fi
  wait $game; rc=$?
  game=
  if [ $rc -ne 0 ]; then echo "FAIL: SIG$sig: status $rc"; cat "$d.out"; fails=$((fails + 1))
  elif [ ! -s "$d/Mor_vik_0.kvd" ]; then echo "FAIL: SIG$sig: no records written"; fails=$((fails + 1))
  else passes=$((passes + 1)); fi
done
echo "$passes passed, $fails failed"
[ $fails -eq 0 ]
