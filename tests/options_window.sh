#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The options screen in the real window under Xvfb, as a new player uses it:
# F1 on the title, the music turned down and Jump bound to W; the settings
# file holds both at once, Escape closes the screen without leaving, and in
# play W jumps where Up no longer does. Then the settings files that are no
# settings files: each start says so once on stderr, plays on with the
# defaults and leaves the file as it was.
set -u
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)
game=
xvfb=
wm=
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  [ -n "${KEEP:-}" ] && cp -r "$work" "$KEEP"; chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in "$work"/out* "$work"/settings.txt; do [ -f "$f" ] && { echo "--- $f"; tail -c 3000 "$f"; }; done
  exit 1
}
passed=0
ok() { echo "ok: $*"; passed=$((passed + 1)); }

# The game's data in a folder of its own, so that its records land there.
mkdir -p "$work/data" "$work/home"
cp "$build"/*.kvd "$build"/*.wav "$build"/*.mid "$build"/*.ogg "$work/data/" 2>/dev/null
export HOME=$work/home
unset XDG_CONFIG_HOME XDG_DATA_HOME
settings=$HOME/.config/morvik/settings.txt

. "$src/tests/tools/xdisplay.sh"
start_xvfb "$src" || fail "cannot start Xvfb"
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
for i in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
export SDL_AUDIODRIVER=dummy

start_game() {  # $1: log file, then the game's options
  local log=$1
  shift
  "$build/morvik" --data-dir "$work/data" "$@" >"$log" 2>&1 &
  game=$!
  [ -n "$(find_window)" ] || fail "no window"
  sleep 1
  win=$(find_window)
  [ -n "$win" ] || fail "the window went away"
  xdotool windowactivate --sync "$win" 2>/dev/null
  sleep 0.3
}
close_game() {
  "$work/xclose" "$win"
  for i in $(seq 300); do kill -0 "$game" 2>/dev/null || break; sleep 0.01; done
  kill -0 "$game" 2>/dev/null && fail "still running 3 s after the close"
  wait "$game"
  local rc=$?
  game=
  [ $rc -eq 0 ] || fail "exit status $rc"
}
# A press must last longer than a frame (several, on a loaded machine).
tap() {
  xdotool keydown "$1"
  sleep 0.25
  xdotool keyup "$1"
  sleep 0.1
}
shots=$HOME/Pictures/morvik
shoot() {
  local before
  before=$(ls "$shots"/*.png 2>/dev/null | wc -l)
  xdotool key F12
  for i in $(seq 50); do
    [ "$(ls "$shots"/*.png 2>/dev/null | wc -l)" -gt "$before" ] && break
    sleep 0.05
  done
  ls -t "$shots"/*.png 2>/dev/null | head -1
}
png_size() { od -An -tu4 --endian=big -j16 -N8 "$1" | tr -s ' ' | sed 's/^ //'; }
still() {
  local a b
  a=$(shoot)
  sleep 1
  b=$(shoot)
  cmp -s "$a" "$b"
}

# --- F1 on the title: music down a step, Jump on W ---
start_game "$work/out1" --trace-digest "$work/trace.txt"
[ -f "$settings" ] || fail "the first start wrote no settings"
sleep 4  # the opening, then the title (a press before it waits for the title)
tap F1
sleep 1
title=$(shoot)
for k in Down Down Down Down Left Down Down Down Return w; do tap "$k"; done
sleep 0.5
grep -qx "music-volume 40" "$settings" || fail "the file does not hold the lowered music"
grep -qx "key-jump W" "$settings" || fail "the file does not hold W for Jump"
grep -q "^# keys to jump" "$settings" || fail "the file lost its comments"
ok "F1 on the title; the file holds the music at 40 and Jump on W at once, in its commented layout"
shown=$(shoot)
cmp -s "$title" "$shown" && fail "the screen did not change as the rows were set"
geometry() { xdotool getwindowgeometry "$win" | sed -n 's/ *Geometry: //p'; }
[ "$(geometry)" = "1024x768" ] || fail "not full screen at first: $(geometry)"
# Up to Display: a window, then its scale set to 1.
for k in Up Up Up Up Up Up Up Right Down Right; do tap "$k"; done
sleep 0.5
[ "$(geometry)" = "640x480" ] || fail "Display and Scale did not make a 640 x 480 window: $(geometry)"
grep -qx "display window" "$settings" && grep -qx "scale 1" "$settings" || fail "the file lacks the window of scale 1"
ok "Display and Scale take effect at once: a 640 x 480 window, and the file says so"
tap Escape
sleep 0.5
kill -0 "$game" 2>/dev/null || fail "Escape on the options screen ended the game"
ok "Escape closes the screen and the game goes on"

# Play in the small mode: Space held takes the title's first entry.
xdotool keydown space
mode=
for i in $(seq 40); do
  sleep 1
  mode=$(png_size "$(shoot)")
  [ "$mode" = "320 240" ] && break
done
xdotool keyup space
[ "$mode" = "320 240" ] || fail "no game in the small mode"
# Pause, then resume with a key held: Up first (no longer bound), then W. The
# trace's clock jumps over each pause, which marks where each key was held.
pause_then_hold() {
  local i
  for i in 1 2 3 4; do
    tap p
    sleep 0.5
    still && break
  done
  xdotool keydown "$1"
  sleep 0.3
  tap p
  sleep 1.2
  xdotool keyup "$1"
  sleep 0.5
}
pause_then_hold Up
# A pause missed in a death, or a death while W is held: tried again, each
# time after Space, which brings back a hero left waiting after a lost life
# (and otherwise only throws).
for i in 1 2 3; do
  tap space
  sleep 1.5
  pause_then_hold w
done
close_game
[ -s "$work/trace.txt" ] || fail "no trace"
# Frames after each pause (a clock gap of a second or more): a jump is the
# hero rising 9 pixels or more a frame, three frames running.
awk '
  { t = substr($2, 2) + 0; split($6, p, ","); y = p[2] + 0; alive = ($5 == "hero0") }
  NR > 1 && t - last >= 1000 { gap++; n = 0; rise = 0 }
  gap > 0 && n < 30 {
    n++
    if (alive && prev - y >= 9) rise++; else rise = 0
    if (rise >= 3) jumped[gap] = 1
  }
  { last = t; prev = y }
  END { printf "%d %d %d\n", gap, jumped[gap - 3] + 0, jumped[gap - 2] + jumped[gap - 1] + jumped[gap] }
' "$work/trace.txt" >"$work/jumps"
read gaps up w <"$work/jumps"
[ "$gaps" -eq 4 ] || fail "the trace shows $gaps pauses, not four"
[ "$up" = 0 ] || fail "Up still jumps"
[ "$w" -ge 1 ] || fail "W did not jump"
ok "in play W jumps and Up no longer does"
cp "$settings" "$work/settings.after"
start_game "$work/out2"
[ "$(geometry)" = "640x480" ] || fail "the next start is not in the window of scale 1: $(geometry)"
close_game
cmp -s "$settings" "$work/settings.after" || fail "a start without the screen rewrote the file"
grep -q "settings" "$work/out2" && fail "a good settings file was talked about: $(cat "$work/out2")"
ok "the next start opens the window as it was left and leaves the file alone"

# --- settings files that are no settings files ---
# Each start: one line on stderr naming the file, the game plays (the window
# opens and closes cleanly), and the file is as it was.
bad_start() {  # $1: what; the settings path is prepared
  start_game "$work/out-bad"
  close_game
  kill -0 "$xvfb" || fail "$1: the X server is gone"
  n=$(grep -c "settings" "$work/out-bad")
  [ "$n" -eq 1 ] || fail "$1: $n messages about the settings"
}
rm -rf "$HOME/.config/morvik"
mkdir -p "$HOME/.config/morvik"
head -c 3000 /dev/urandom >"$settings"
printf 'display window\n' >>"$settings"
cp "$settings" "$work/bad.copy"
bad_start "binary"
cmp -s "$settings" "$work/bad.copy" || fail "binary: the file changed"
for i in $(seq 40); do echo "¤¤ garbage $i ¤¤"; done >"$settings"
cp "$settings" "$work/bad.copy"
bad_start "garbage"
cmp -s "$settings" "$work/bad.copy" || fail "garbage: the file changed"
rm "$settings"
truncate -s 100M "$settings"
bad_start "100 MB"
[ "$(stat -c %s "$settings")" -eq $((100 << 20)) ] || fail "100 MB: the file changed"
rm "$settings"
mkdir "$settings"
bad_start "a directory"
[ -d "$settings" ] || fail "a directory: it was replaced"
rmdir "$settings"
ok "binary, garbage, 100 MB and a directory: one message each, the defaults, the file kept"

# A configuration folder that cannot be made: a plain file stands in its place.
rm -rf "$HOME/.config/morvik"
echo "mine" >"$HOME/.config/morvik"
bad_start "unwritable folder"
grep -q "cannot be written (cannot make the folder .*: Not a directory)" "$work/out-bad" || fail "unwritable folder: $(cat "$work/out-bad")"
[ "$(cat "$HOME/.config/morvik")" = "mine" ] || fail "unwritable folder: the file in its place changed"
ok "a file where the configuration folder should be: said once, nothing written"

# A file its player cannot read, as an ordinary user (this test runs as root).
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  rm -f "$HOME/.config/morvik"
  mkdir -p "$HOME/.config/morvik"
  echo "display window" >"$settings"
  chown -R nobody: "$HOME" "$work/data"
  chmod 000 "$settings"
  chmod a+rx "$work" "$work/xclose"
  setpriv --reuid=nobody --regid=nogroup --clear-groups "$build/morvik" --data-dir "$work/data" >"$work/out-bad" 2>&1 &
  game=$!
  [ -n "$(find_window)" ] || fail "unreadable: no window for an ordinary user"
  sleep 1
  win=$(find_window)
  close_game
  grep -q "cannot be read (Permission denied)" "$work/out-bad" || fail "unreadable: $(cat "$work/out-bad")"
  [ "$(grep -c settings "$work/out-bad")" -eq 1 ] || fail "unreadable: more than one message"
  chmod 600 "$settings"
  [ "$(cat "$settings")" = "display window" ] || fail "unreadable: the file changed"
  ok "an unreadable file, as an ordinary user: said once, never written over"
fi

echo "$passed passed, 0 failed"
