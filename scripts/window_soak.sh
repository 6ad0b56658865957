#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The automatic player plays in the real window under Xvfb for SECONDS, then
# the game is ended with SIGTERM. Resident memory is sampled every second
# from /proc; the game's records, written at the end of each game, tell when
# a game has ended. Fails on any sanitizer report, a status other than 0, or
# memory at the end more than 5 MB above what it was after the first game.
#   scripts/window_soak.sh BUILD_DIR [SECONDS]      (build-soak: scripts/soak.sh builds it)
set -u
bin=$(cd "${1:?usage: scripts/window_soak.sh BUILD_DIR [SECONDS]}" && pwd)
secs=${2:-1800}
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/morvik-wsoak-XXXXXX)
game= xvfb=
trap 'kill $game $xvfb 2>/dev/null; rm -rf "$work"' EXIT
. "$src/tests/tools/xdisplay.sh"
start_xvfb "$src" || exit 1
export SDL_AUDIODRIVER=dummy HOME=$work XDG_CONFIG_HOME=$work/config
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$work/data"
cp "$bin"/*.kvd "$bin"/*.wav "$bin"/*.mid "$bin"/*.ogg "$work/data/" 2>/dev/null
records=$work/data/Mor_vik_0.kvd
rm -f "$records"
rss() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null; }
"$bin/morvik" --bot --window=1 --data-dir "$work/data" >"$work/out" 2>&1 &
game=$!
start=$(date +%s)
first= last= peak=0 games=0 stamp=
while [ $(( $(date +%s) - start )) -lt "$secs" ]; do
  sleep 1
  kill -0 $game 2>/dev/null || { echo "FAIL: the game ended by itself"; cat "$work/out"; exit 1; }
  now=$(rss $game)
  [ -n "$now" ] || continue
  last=$now
  [ "$now" -gt "$peak" ] && peak=$now
  m=$(stat -c %y "$records" 2>/dev/null)
  if [ -n "$m" ] && [ "$m" != "$stamp" ]; then
    stamp=$m
    games=$((games + 1))
    [ -z "$first" ] && { first=$now; echo "after the first game ($(( $(date +%s) - start )) s): VmRSS $first kB"; }
  fi
done
kill -TERM $game
wait $game
rc=$?
game=
best=$(od -An -tu4 -j42240 -N4 "$records" 2>/dev/null | tr -d ' ')
echo "window soak: $secs s, record file written $games times (or more: once a second is sampled), best score ${best:-none}"
echo "VmRSS after the first game ${first:-?} kB, at the end $last kB, peak $peak kB; status $rc"
errors=$(grep -c -E 'ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer' "$work/out")
echo "sanitizer reports: $errors"
status=0
[ $rc -eq 0 ] || { echo "FAIL: status $rc"; status=1; }
[ "$errors" -eq 0 ] || { echo "FAIL: sanitizer reports"; grep -A30 -m1 -E 'ERROR|runtime error' "$work/out"; status=1; }
[ -n "$first" ] || { echo "FAIL: no game ended"; status=1; }
[ -n "$first" ] && [ $(( last - first )) -gt 5120 ] && { echo "FAIL: memory grew by $(( last - first )) kB"; status=1; }
exit $status
