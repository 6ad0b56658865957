#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A game recorded in the real window (under Xvfb, played with xdotool) plays
# back headless to the very same trace, frame for frame.
set -u
bin=$1
src=${2:-$(dirname "$0")/..}
work=$(mktemp -d)
game= xvfb=
trap 'kill $game $xvfb 2>/dev/null; rm -rf "$work"' EXIT
. "$src/tests/tools/xdisplay.sh"
start_xvfb "$src" || exit 1
export SDL_AUDIODRIVER=dummy HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/share
mkdir -p "$work/data"
cp "$bin"/*.kvd "$bin"/*.wav "$bin"/*.mid "$bin"/*.ogg "$work/data/" 2>/dev/null
"$bin/morvik" --window=1 --data-dir "$work/data" --record-demo "$work/w.demo" --trace "$work/w.jsonl" >"$work/out" 2>&1 &
game=$!
win=$(find_window)
[ -n "$win" ] || { echo "FAIL: no window"; cat "$work/out"; exit 1; }
xdotool windowfocus "$win" 2>/dev/null
# Space skips the opening's wait and the title's intro and starts a game;
# then a few seconds of play: walking, jumping and throwing.
for i in $(seq 40); do
  xdotool keydown space; sleep 0.25; xdotool keyup space; sleep 0.25
  [ -s "$work/w.jsonl" ] && break
done
[ -s "$work/w.jsonl" ] || { echo "FAIL: no game started in the window"; cat "$work/out"; exit 1; }
xdotool keydown Right; sleep 0.6
xdotool keydown Up; sleep 0.2; xdotool keyup Up
xdotool keydown space; sleep 0.5; xdotool keyup space
xdotool keyup Right; sleep 0.4
xdotool keydown Left; sleep 0.3; xdotool keyup Left
xdotool keydown z; sleep 0.3; xdotool keyup z; sleep 0.5
win=$(find_window)  # the window there now
"$work/xclose" "$win"
for i in $(seq 300); do kill -0 $game 2>/dev/null || break; sleep 0.01; done
if kill -0 $game 2>/dev/null; then echo "FAIL: still running 3 s after the window's close"; cat "$work/out"; exit 1; fi
wait $game; rc=$?
[ $rc -eq 0 ] || { echo "FAIL: the recording ended with status $rc"; cat "$work/out"; exit 1; }
frames=$(wc -l <"$work/w.jsonl")
[ "$frames" -gt 50 ] || { echo "FAIL: only $frames play frames recorded"; exit 1; }
# On a course that is there the hero stands on ground (alive, not rising or falling).
grep -qE '"HeroVY":0,"HeroFrame":[^,]*,"HeroState":0,' "$work/w.jsonl" ||
  { echo "FAIL: the hero never stood on ground: is the course missing?"; exit 1; }
"$bin/morvik" --headless --data-dir "$work/data" --play-demo "$work/w.demo" --trace "$work/h.jsonl" >"$work/hout" 2>&1
rc=$?
[ $rc -eq 0 ] || { echo "FAIL: the headless replay ended with status $rc"; cat "$work/hout"; exit 1; }
if ! cmp -s "$work/w.jsonl" "$work/h.jsonl"; then
  echo "FAIL: the headless replay's trace differs from the window's"
  cmp "$work/w.jsonl" "$work/h.jsonl" | head -2
  exit 1
fi
# MORVIK_KEEP_DEMO=FILE keeps the recording (that is how the regression suite's window demo was made).
[ -n "${MORVIK_KEEP_DEMO:-}" ] && cp "$work/w.demo" "$MORVIK_KEEP_DEMO"
echo "window demo: $(stat -c %s "$work/w.demo") bytes, $frames play frames, the same trace headless"
echo "1 passed, 0 failed"
