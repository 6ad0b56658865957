#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows game under Wine, as a new player named "Jörg Ødegård" would
# have it: the zip unzipped into that player's folders, every regression
# demo replayed to its digest, a demo recorded under Wine replayed natively
# (and the other way round), two games saving at once, morvik_tests.exe,
# the real window under Xvfb (a game started with Space, a screenshot,
# closed with status 0 and the records in %APPDATA%\Morvik), and the
# installer: installed silently, played, uninstalled leaving the records.
#
#   tests/windows/run.sh [NATIVE_TREE]     after scripts/windows.sh --tests
#
# One wineserver (-p) serves the whole run, in a fresh WINEPREFIX in a
# temporary folder; every Wine program is bounded in time.
set -uo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "${1:-$src/build}" && pwd)
version=$(sed -n 's/^project(morvik VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
out=$src/build-win
zip=$out/morvik-$version-windows-x64.zip
setup=$out/morvik-$version-setup.exe
for f in "$zip" "$setup" "$out/x64/morvik_tests.exe" "$native/morvik"; do
  [ -f "$f" ] || { echo "run.sh: $f is missing (scripts/windows.sh --tests, and a native build)"; exit 1; }
done

# What the run needs beside the build's own (scripts/windows.sh installs those).
source "$src/scripts/setup.sh"
set +e
MORVIK_PACKAGES=(wine wine64 unzip xvfb xdotool openbox libx11-dev python3)
morvik_install_packages

work=$(mktemp -d)
xvfb= wm= game=
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
export WINEARCH=win64
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
passed=0 failed=0
ok() { echo "ok: $1"; passed=$((passed + 1)); }
bad() { echo "FAIL: $1"; failed=$((failed + 1)); }
w() { timeout "${T:-120}" wine "$@"; }  # a Wine program, bounded

start=$(date +%s)
# The display first: Wine's desktop, made once, takes the display it is given then.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for i in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$work/display")
openbox >/dev/null 2>&1 &
wm=$!
mkdir -p "$WINEPREFIX"
wineserver -p
timeout 120 wine wineboot -i >/dev/null 2>&1
user="Jörg Ødegård"
home=$WINEPREFIX/drive_c/users/$user
wuser="C:\\users\\$user"
# The player's folders, named as the system names them for this player.
folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
mkdir -p "$home/AppData/Roaming" "$home/Pictures" "$home/Desktop" "$home/Temp"
w reg add "$folders" /v AppData /t REG_EXPAND_SZ /d "$wuser\\AppData\\Roaming" /f >/dev/null 2>&1
w reg add "$folders" /v "My Pictures" /t REG_EXPAND_SZ /d "$wuser\\Pictures" /f >/dev/null 2>&1
export TEMP="$wuser\\Temp" TMP="$wuser\\Temp"
appdata=$home/AppData/Roaming/Morvik
echo "wine prefix ready in $(($(date +%s) - start)) s"

# The zip, unzipped on the player's desktop.
unzip -q "$zip" -d "$home/Desktop"
game_dir=$home/Desktop/morvik-$version
exe="$wuser\\Desktop\\morvik-$version\\morvik.exe"
[ -f "$game_dir/morvik.exe" ] && [ -f "$game_dir/SDL2.dll" ] && [ -f "$game_dir/Morvik_30.kvd" ] &&
  [ -f "$game_dir/stage.ogg" ] && [ -f "$game_dir/README.txt" ] && ok "the zip holds the game, its DLLs and its data" ||
  bad "the zip lacks files: $(ls "$game_dir" | tr '\n' ' ')"

# A bad argument: its message and status 2, as on Linux.
w "$exe" --no-such-option >"$work/bad.out" 2>&1
rc=$?
[ $rc -eq 2 ] && grep -q "unknown argument '--no-such-option'" "$work/bad.out" && ok "a bad argument gives its message and status 2" ||
  bad "a bad argument gave status $rc: $(cat "$work/bad.out")"

# Every regression demo to its committed digest.
for d in "$src"/tests/demos/*.demo; do
  n=$(basename "$d" .demo)
  w "$exe" --headless --play-demo "Z:$d" --trace-digest "Z:$work/$n.digest" 2>"$work/$n.err"
  cmp -s "$work/$n.digest" "${d%.demo}.digest" && ok "the $n demo replays to its digest under Wine" ||
    bad "the $n demo under Wine: $(cat "$work/$n.err"; diff "$work/$n.digest" "${d%.demo}.digest" | head -3)"
done

# A demo recorded under Wine (in the player's own folder) replays natively to
# the same trace, and one recorded natively replays so under Wine.
w "$exe" --headless --bot --clock-start 4242 --until-ms 90000 --record-demo "$wuser\\Desktop\\wine.demo" \
  --trace-digest "$wuser\\Desktop\\wine.digest" 2>"$work/rec.err"
"$native/morvik" --headless --data-dir "$native" --play-demo "$home/Desktop/wine.demo" --trace-digest "$work/wine-native.digest" 2>>"$work/rec.err"
[ -s "$home/Desktop/wine.digest" ] && cmp -s "$home/Desktop/wine.digest" "$work/wine-native.digest" &&
  ok "a demo recorded under Wine replays natively to the same trace" || bad "Wine's demo natively: $(cat "$work/rec.err")"
"$native/morvik" --headless --data-dir "$native" --bot --clock-start 777 --until-ms 90000 --record-demo "$work/native.demo" \
  --trace-digest "$work/native.digest" 2>"$work/rec2.err"
w "$exe" --headless --play-demo "Z:$work/native.demo" --trace-digest "Z:$work/native-wine.digest" 2>>"$work/rec2.err"
[ -s "$work/native.digest" ] && cmp -s "$work/native.digest" "$work/native-wine.digest" &&
  ok "a demo recorded natively replays under Wine to the same trace" || bad "the native demo under Wine: $(cat "$work/rec2.err")"

# Two games at once save into the one record file: the better best is kept.
rm -f "$appdata/Mor_vik_0.kvd"
two=()
for c in 1000 2000; do
  w "$exe" --headless --bot --clock-start $c --until-ms 150000 --trace "Z:$work/two-$c.jsonl" 2>"$work/two-$c.err" &
  two+=($!)
done
wait "${two[@]}"
# The best either reached: the title's 5,000 or a game's score.
best=$(cat "$work"/two-*.jsonl | grep -o '"\(Score\|BestScore\)":[0-9]*' | cut -d: -f2 | sort -n | tail -n 1)
saved=$(od -An -tu4 -j42240 -N4 "$appdata/Mor_vik_0.kvd" 2>/dev/null | tr -d ' ')
[ -n "$saved" ] && [ "$saved" -eq "$best" ] && [ "$best" -gt 5000 ] &&
  ok "two games at once keep the better best ($best) in %APPDATA%\\Morvik" ||
  bad "two games at once: the file holds '${saved}', the better best was $best"

# The unit tests of files, records, settings and paths, as one Windows program.
cp "$out/x64/morvik_tests.exe" "$work/"
T=300 w "Z:$work/morvik_tests.exe" --gtest_brief=1 >"$work/unit.out" 2>&1
rc=$?
[ $rc -eq 0 ] && ok "morvik_tests.exe: $(grep -o '[0-9]* tests from' "$work/unit.out" | head -1 | cut -d' ' -f1) tests pass under Wine" ||
  { bad "morvik_tests.exe (status $rc)"; tail -30 "$work/unit.out"; }

# The real window under Xvfb: opens, a game starts with Space, the screen is
# no blank one, and closing the window ends it with status 0, records saved.
cc -O1 -o "$work/xclose" "$src/tests/tools/xclose.c" -lX11
rm -rf "$appdata"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" MORVIK_RENDERER=software T=90 \
  w "$exe" --window=1 --trace "$wuser\\Desktop\\window.jsonl" >"$work/window.out" 2>&1 &
game=$!
win=
for i in $(seq 300); do
  win=$(xdotool search --name '^Morvik$' 2>/dev/null | tail -1)
  [ -n "$win" ] && break
  sleep 0.1
done
if [ -z "$win" ]; then
  bad "no window under Xvfb: $(cat "$work/window.out")"
else
  ok "morvik.exe --window=1 opens its window"
  xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
  # Space leaves the opening, then starts a game from the title.
  for i in $(seq 40); do
    [ -s "$home/Desktop/window.jsonl" ] && break
    xdotool keydown space; sleep 0.1; xdotool keyup space; sleep 0.4
  done
  [ -s "$home/Desktop/window.jsonl" ] && ok "a game starts with Space" || bad "Space started no game"
  sleep 2
  xdotool key F12
  shot=
  for i in $(seq 50); do
    shot=$(ls "$home/Pictures/Morvik/"*.png 2>/dev/null | head -n 1)
    [ -n "$shot" ] && break
    sleep 0.1
  done
  # A screen of many colours: the course, the hero and the status bar drawn.
  colours=$(python3 - "$shot" <<'EOF' 2>/dev/null
import struct, sys, zlib
d = open(sys.argv[1], 'rb').read()
w, h, depth, kind = struct.unpack('>IIBB', d[16:26])
idat, p = b'', 8
while p < len(d):
    n, t = struct.unpack('>I4s', d[p:p + 8])
    if t == b'IDAT':
        idat += d[p + 8:p + 8 + n]
    p += 12 + n
raw = zlib.decompress(idat)
bpp = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[kind]
rows = [raw[y * (w * bpp + 1) + 1:(y + 1) * (w * bpp + 1)] for y in range(h)]
# filtered bytes still differ row by row when the picture does: count distinct rows
print(len(set(rows)))
EOF
)
  [ -n "$shot" ] && [ "${colours:-0}" -gt 50 ] && ok "its screenshot (F12) is a picture, not a blank screen" ||
    bad "the screenshot: '${shot}', ${colours:-no} distinct rows"
  [ -n "$shot" ] && cp "$shot" "$out/window-under-wine.png"
  "$work/xclose" "$win"
  wait "$game"
  rc=$?
  game=
  [ $rc -eq 0 ] && ok "closing the window ends the game with status 0" || bad "closing the window: status $rc $(cat "$work/window.out")"
  [ -f "$appdata/Mor_vik_0.kvd" ] && [ "$(stat -c %s "$appdata/Mor_vik_0.kvd")" -eq 85120 ] &&
    [ -f "$appdata/settings.txt" ] && ok "the records and settings are in %APPDATA%\\Morvik" ||
    bad "no records in %APPDATA%\\Morvik: $(ls -la "$appdata" 2>&1)"
fi

# The installer: silent, the installed game plays, the uninstaller takes away
# all it put in and leaves the records.
T=180 w "$setup" /S >/dev/null 2>&1
pf=$WINEPREFIX/drive_c/Program\ Files/Morvik
menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Morvik.lnk
[ -f "$pf/morvik.exe" ] && [ -f "$pf/Uninstall.exe" ] && [ -f "$menu" ] && ok "the installer installs silently, with a Start menu entry" ||
  bad "the installer: $(ls "$pf" 2>&1 | head -5)"
w "C:\\Program Files\\Morvik\\morvik.exe" --headless --play-demo "Z:$src/tests/demos/bot.demo" \
  --trace-digest "Z:$work/installed.digest" 2>"$work/installed.err"
cmp -s "$work/installed.digest" "$src/tests/demos/bot.digest" && ok "the installed game plays" ||
  bad "the installed game: $(cat "$work/installed.err")"
records_before=$(md5sum <"$appdata/Mor_vik_0.kvd" 2>/dev/null)
w "C:\\Program Files\\Morvik\\Uninstall.exe" /S >/dev/null 2>&1
# The uninstaller goes on from a copy of itself: its work is waited for.
for i in $(seq 300); do [ -e "$pf" ] || break; sleep 0.1; done
[ ! -e "$pf" ] && [ ! -e "$menu" ] && ok "the uninstaller removes all it installed" ||
  bad "after uninstalling: $(find "$pf" "$menu" 2>&1 | head -5)"
[ -n "$records_before" ] && [ "$(md5sum <"$appdata/Mor_vik_0.kvd")" = "$records_before" ] &&
  ok "the records stay after uninstalling" || bad "the records are gone or changed after uninstalling"

echo "the Windows step took $(($(date +%s) - start)) s under Wine"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
