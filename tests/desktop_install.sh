#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The game as a new player gets it: installed into a prefix, its desktop
# entry and metainfo validated, started from that prefix's bin in another
# directory with a fresh home, played in a real window under Xvfb (a mode
# chosen on the title, a few seconds of play, a pause, screenshots), closed;
# then the records, screenshots and settings must lie where --paths says.
# A second start reads the changed settings and leaves the file alone.
set -u
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)
game=
xvfb=
wm=
other=
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null
  [ -n "$other" ] && kill "$other" 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  [ -n "${KEEP:-}" ] && cp -r "$work" "$KEEP"; rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in "$work"/out*; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done
  exit 1
}
passed=0
ok() { echo "ok: $*"; passed=$((passed + 1)); }

# --- install and validate ---
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "install"; }
[ -x "$prefix/bin/morvik" ] || fail "no bin/morvik"
desktop=$(ls "$prefix"/share/applications/*.desktop 2>/dev/null | head -1)
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml 2>/dev/null | head -1)
[ -n "$desktop" ] && [ -n "$metainfo" ] || fail "no desktop entry or metainfo"
id=$(basename "$desktop" .desktop)
[ "$(basename "$metainfo" .metainfo.xml)" = "$id" ] || fail "desktop entry and metainfo disagree on the id"
grep -q "^Icon=$id\$" "$desktop" || fail "the desktop entry's icon is not $id"
grep -q "^Exec=$prefix/bin/morvik\$" "$desktop" || fail "the desktop entry does not start $prefix/bin/morvik"
for n in 16 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${n}x${n}/apps/$id.png
  [ -f "$icon" ] || fail "no ${n}x${n} icon"
  # PNG header: width and height, then 8-bit RGBA (colour type 6)
  hdr=$(od -An -tu1 -j16 -N10 "$icon" | tr -s ' ')
  want=" 0 0 $((n / 256)) $((n % 256)) 0 0 $((n / 256)) $((n % 256)) 8 6"
  [ "$hdr" = "$want" ] || fail "${n}x${n} icon header is '$hdr'"
done
for f in "$prefix"/share/morvik/Morvik_1.kvd "$prefix"/share/morvik/Morvik_30.kvd "$prefix"/share/morvik/piro.wav \
         "$prefix"/share/morvik/stage.mid "$prefix"/share/morvik/stage.ogg "$prefix"/share/man/man6/morvik.6; do
  [ -f "$f" ] || fail "missing $f"
done
ok "installed: program, data, desktop entry, six icons, metainfo, manual page"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" >"$work/asv.log" 2>&1 || { cat "$work/asv.log"; fail "appstreamcli validate"; }
ok "desktop-file-validate and appstreamcli validate pass"

# --- where things live, for a new player ---
home=$work/home
mkdir -p "$home" "$work/elsewhere"
cd "$work/elsewhere"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_PICTURES_DIR
export HOME=$home
paths=$("$prefix/bin/morvik" --paths) || fail "--paths"
field() { printf '%s\n' "$paths" | sed -n "s/^$1: *//p"; }
data=$(field data)
records=$(field records)
shots=$(field screenshots)
settings=$(field settings)
[ "$data" = "$prefix/share/morvik" ] || fail "data dir is '$data'"
[ "$records" = "$home/.local/share/morvik/Mor_vik_0.kvd" ] || fail "records at '$records'"
[ "$shots" = "$home/Pictures/morvik" ] || fail "screenshots at '$shots'"
[ "$settings" = "$home/.config/morvik/settings.txt" ] || fail "settings at '$settings'"
[ -e "$settings" ] && fail "--paths wrote the settings"
ok "--paths from another directory: data in the prefix, the rest under the home"

# A headless run neither reads nor writes the settings.
HOME=$work/headless "$prefix/bin/morvik" --headless --until-ms 2000 >"$work/out-headless" 2>&1 || fail "headless run"
[ -e "$work/headless/.config/morvik/settings.txt" ] && fail "a headless run wrote the settings"
ok "a headless run leaves the settings alone"

# --- the real window ---
. "$src/tests/tools/xdisplay.sh"
start_xvfb "$src" || fail "cannot start Xvfb"
# A window manager, as on a desktop: full screen and focus go through it.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
for i in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
export SDL_AUDIODRIVER=dummy

start_game() {  # $1: log file
  "$prefix/bin/morvik" >"$1" 2>&1 &
  game=$!
  [ -n "$(find_window)" ] || fail "no window"
  # The renderer may make the window again: look it up once it has settled.
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
# The game polls its keys once a frame: a press must last longer than a frame
# (several, on a loaded machine).
tap() {
  xdotool keydown "$1"
  sleep 0.3
  xdotool keyup "$1"
}
geometry() { xdotool getwindowgeometry "$win" | sed -n 's/ *Geometry: //p'; }
newest_shot() { ls -t "$shots"/*.png 2>/dev/null | head -1; }
png_size() { od -An -tu4 --endian=big -j16 -N8 "$1" | tr -s ' ' | sed 's/^ //'; }
shoot() {  # F12, then the new file's name
  local before
  before=$(ls "$shots"/*.png 2>/dev/null | wc -l)
  xdotool key F12
  for i in $(seq 50); do
    [ "$(ls "$shots"/*.png 2>/dev/null | wc -l)" -gt "$before" ] && break
    sleep 0.05
  done
  newest_shot
}

start_game "$work/out1"
[ "$(geometry)" = "1024x768" ] || fail "not full screen by default: $(geometry)"
grep -q "^display fullscreen" "$settings" || fail "the settings were not written with the defaults"
ok "full screen by default; settings written with the defaults at first start"

# Hold the action key through the opening and the title: it takes the first
# entry, the 320 x 240 mode, so a screenshot of play is 320 by 240.
start_play() {
  local mode= s
  xdotool keydown space
  for i in $(seq 40); do
    sleep 1
    s=$(shoot)
    [ -n "$s" ] || fail "F12 wrote no screenshot"
    mode=$(png_size "$s")
    [ "$mode" = "320 240" ] && break
  done
  xdotool keyup space
  [ "$mode" = "320 240" ] || fail "no game in the small mode after 40 s (last shot $mode)"
}
# True when the screen stands still over a second.
still() {
  local a b
  a=$(shoot)
  sleep 1
  b=$(shoot)
  cmp -s "$a" "$b"
}
# Pause with a key, true once the screen stands still. The game takes a press
# of the pause key only while the hero rides or waits to come back, not while
# it tumbles out of the field (about a second), so a tap that fell in a death
# is made again, a few times at most.
pause_with() {
  local i
  for i in 1 2 3 4; do
    tap "$1"
    sleep 0.6
    still && return 0
  done
  return 1
}
start_play
grep -q "screenshot saved to $shots/" "$work/out1" || fail "the screenshot's place was not told on stderr"
ok "the title's first entry starts play in the 320 x 240 mode; F12 says where the shot went"

# A few seconds of play: ride right, jump, throw.
xdotool keydown Right
sleep 1
tap Up
sleep 1
tap space
sleep 1
xdotool keyup Right
still && fail "the screen stood still during play"
# Pause: the screen stands still until P comes again.
pause_with p || fail "the screen moved while paused"
tap p
sleep 0.3
still && fail "the game did not resume on P"
ok "play moves, P pauses it and P resumes it"
# Another program takes the focus: the game pauses and waits for P.
xmessage -name other "another program" >/dev/null 2>&1 &
other=$!
owin=
for i in $(seq 50); do
  owin=$(xdotool search --name '^other$' 2>/dev/null | head -1)
  [ -n "$owin" ] && break
  sleep 0.1
done
[ -n "$owin" ] || fail "no other window"
# The loss reaches the game at its next frame; on a loaded machine that can
# be later than the first screenshot would be. A loss while the hero is out of
# play pauses nothing once Space brings it back, so a loss that fell in a death
# is made again after Space, a few times at most.
lose_focus() {
  local i
  for i in 1 2 3 4; do
    xdotool windowactivate --sync "$owin" 2>/dev/null
    sleep 0.5
    xdotool windowactivate --sync "$win" 2>/dev/null
    sleep 1
    still || still || still && return 0
    tap space
    sleep 1
  done
  return 1
}
lose_focus || fail "the game went on after losing the focus"
tap p
sleep 0.3
still && fail "the game did not resume on P after the focus came back"
kill "$other" 2>/dev/null
other=
ok "losing the focus pauses the game, P resumes it"
close_game
[ -s "$records" ] || fail "no record file at $records"
n=$(ls "$shots"/*.png | wc -l)
[ "$n" -ge 6 ] || fail "only $n screenshots in $shots"
ok "closed: records at $records, $n screenshots in $shots"

# --- a second start with the player's own settings ---
sed -i -e 's/^display .*/display window/' -e 's/^scale .*/scale 1/' -e 's/^key-pause .*/key-pause Q/' "$settings"
echo "scale ninety" >>"$settings"
lines=$(wc -l <"$settings")
cp "$settings" "$work/settings.mine"
start_game "$work/out2"
[ "$(geometry)" = "640x480" ] || fail "the settings' window of scale 1 was not taken: $(geometry)"
grep -q "settings.txt:$lines: .*line ignored" "$work/out2" || fail "the damaged line was not named"
[ "$(grep -c 'settings.txt:' "$work/out2")" -eq 1 ] || fail "more than one message about the settings"
xdotool key F11
sleep 0.5
[ "$(geometry)" = "1024x768" ] || fail "F11 did not go full screen: $(geometry)"
xdotool key F11
sleep 0.5
[ "$(geometry)" = "640x480" ] || fail "F11 did not come back to the window: $(geometry)"
xdotool key alt+Return
sleep 0.5
[ "$(geometry)" = "1024x768" ] || fail "Alt+Enter did not go full screen: $(geometry)"
ok "changed settings are taken, a damaged line named once, F11 and Alt+Enter toggle"
# Q is now the pause key, and P is not.
start_play
tap p
sleep 0.3
still && fail "P still paused the game"
pause_with q || fail "the bound key Q did not pause the game"
tap q
sleep 0.3
still && fail "Q did not resume the game"
close_game
cmp -s "$settings" "$work/settings.mine" || fail "the settings file was rewritten"
ok "a rebound pause key works, the old one does not; the file is left as it was"

echo "$passed passed, 0 failed"
