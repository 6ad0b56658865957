#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real SDL2 window under Xvfb: it starts, presents frames, takes a
# screenshot on F12, and ends cleanly soon after the window is closed.
set -u
bin=$1
work=$(mktemp -d)
game= xvfb=
trap 'kill $game $xvfb 2>/dev/null; rm -rf "$work"' EXIT
src=${2:-$(dirname "$0")/..}
. "$src/tests/tools/xdisplay.sh"
start_xvfb "$src" || exit 1
export SDL_AUDIODRIVER=dummy XDG_PICTURES_DIR=$work/pics HOME=$work
mkdir -p "$work/data"
cp "$bin"/*.kvd "$bin"/*.wav "$bin"/*.mid "$bin"/*.ogg "$work/data/" 2>/dev/null
# Without a display the game says so in one line and ends with status 1,
# rather than playing into a window nobody sees.
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 10 "$bin/morvik" --data-dir "$work/data" >"$work/nodisp" 2>&1
rc=$?
[ $rc -eq 1 ] || { echo "FAIL: without a display the status is $rc, not 1"; cat "$work/nodisp"; exit 1; }
grep -q -- "--headless" "$work/nodisp" || { echo "FAIL: no hint of --headless without a display"; cat "$work/nodisp"; exit 1; }
"$bin/morvik" --window=1 --data-dir "$work/data" >"$work/out" 2>&1 &
game=$!
win=$(find_window)
[ -n "$win" ] || { echo "FAIL: no window"; cat "$work/out"; exit 1; }
sleep 1.5
xdotool windowfocus "$win" 2>/dev/null; sleep 0.3
xdotool key --window "$win" F12; sleep 0.5
shot=$(ls "$work"/pics/morvik/*.png 2>/dev/null | head -1)
[ -n "$shot" ] || { echo "FAIL: no screenshot"; cat "$work/out"; exit 1; }
dims=$(od -An -tu4 --endian=big -j16 -N8 "$shot" | tr -s ' ')
[ "$dims" = " 640 480" ] || { echo "FAIL: the screenshot is not a 640 x 480 PNG ($dims)"; exit 1; }
win=$(find_window)  # the window there now
start=$(date +%s%N)
"$work/xclose" "$win"
for i in $(seq 300); do kill -0 $game 2>/dev/null || break; sleep 0.005; done
end=$(date +%s%N)
if kill -0 $game 2>/dev/null; then echo "FAIL: still running 1.5 s after the close"; exit 1; fi
wait $game; rc=$?
ms=$(( (end - start) / 1000000 ))
echo "window closed, program ended in $ms ms with status $rc"
[ $rc -eq 0 ] || { echo "FAIL: exit status $rc"; cat "$work/out"; exit 1; }
echo "1 passed, 0 failed"
