#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Playing for the board from the desktop, in the real window under Xvfb,
# against a real server and PostgreSQL of its own: morvik --board daily asks
# for a ticket (the new name's key kept for its owner alone), the game on it
# is played by keys at the game's own pace, sent when it ends, and lands on
# the day's board; --board-key shows the name's key.
set -u
bin=$(cd "$1" && pwd)
src=$(cd "${2:-$(dirname "$0")/..}" && pwd)
[ -x "$bin/morvik-server" ] || { echo "no $bin/morvik-server (MORVIK_SERVER=OFF): nothing to test"; exit 0; }
source "$src/tests/server/cluster.sh"
game= xvfb=
morvik_test_cleanup() { kill $game $xvfb 2>/dev/null; }
morvik_test_begin

morvik_cluster_start "$work" || exit 1
morvik_clear_of_midnight 400
MORVIK_SERVER_BIN=$work/bin
morvik_server_copy "$bin" "$MORVIK_SERVER_BIN"
morvik_server_start "$work/server.log" --listen 127.0.0.1:0 || exit 1
url=$MORVIK_URL
. "$src/tests/tools/xdisplay.sh"
start_xvfb "$src" || exit 1
export SDL_AUDIODRIVER=dummy HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
mkdir -p "$work/home/config/morvik"
printf 'leaderboard %s\nboard-name Desk Top\n' "$url" >"$work/home/config/morvik/settings.txt"

mkdir -p "$work/data" && cp "$bin"/*.kvd "$bin"/*.wav "$bin"/*.mid "$bin"/*.ogg "$work/data/"
"$bin/morvik" --window=1 --data-dir "$work/data" --board daily >"$work/out" 2>&1 &
game=$!
win=$(find_window)
[ -n "$win" ] || { echo "FAIL: no window"; cat "$work/out"; exit 1; }
keys=$work/data/board-keys.txt  # beside the records, beside the data
[ "$(stat -c %a "$keys" 2>/dev/null)" = 600 ] && grep -q "Desk Top" "$keys" && ok ||
  bad "the new name's key is not kept for its owner alone: $(ls -l "$keys" 2>&1)"
# The throw key, tapped: it starts the game from the title, throws, brings
# the hero back after each lost life and leaves the game-over scene.
for i in $(seq 1 600); do
  grep -q "run [0-9]* \(verified\|rejected\)" "$work/out" && break
  kill -0 $game 2>/dev/null || break
  xdotool keydown --window "$win" space; sleep 0.12; xdotool keyup --window "$win" space; sleep 0.18
done
grep -q "run [0-9]* verified" "$work/out" && ok || bad "the board game's verdict: $(tail -5 "$work/out")"
curl -s "$url/api/scores?course=daily" | jq -e '.scores[0].name == "Desk Top" and .scores[0].games == 1' >/dev/null &&
  ok || bad "the day's board: $(curl -s "$url/api/scores?course=daily")"
"$work/xclose" "$(find_window)"
for i in $(seq 100); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
kill -0 $game 2>/dev/null && { bad "the window did not close"; kill $game; }
wait $game
[ $? = 0 ] && ok || bad "closing the window"
key=$("$bin/morvik" --data-dir "$work/data" --board-key 2>&1)
[[ $key =~ ^[0-9a-f]{32}$ ]] && grep -q "$key" "$keys" && ok || bad "--board-key: $key"
# The same name on another machine, without its key: refused with its reason.
out=$(HOME=$work/other XDG_DATA_HOME=$work/other/data "$bin/morvik" --board open --name "Desk Top" --server "$url" 2>&1)
[ $? = 1 ] && [[ $out == *"belongs to its player"* ]] && ok || bad "the name without its key: $out"
echo "the board game: $(grep -m1 "run [0-9]* verified" "$work/out")"
echo "$pass passed, $fail failed"
[ $fail -eq 0 ]
