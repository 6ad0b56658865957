#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The board nobody can cheat, against a real PostgreSQL of its own: a game's
# luck is its ticket's, so clock reads moved a millisecond here and there
# reach the same score or are refused, never another; two tickets deal two
# courses and the day's tickets one; a ticket used twice or expired, a
# replay sent sooner than its frames take, a name played without its key or
# with another's, a second try at the day's course, the automatic player's
# game and a replay without a ticket are each refused with their own reason
# and nothing reaches the board; a moderator hides a run and brings it back.
#   tests/leaderboard_fair.sh BUILD_DIR SOURCE_DIR
set -u
bin=$(cd "$1" && pwd)
src=$(cd "${2:-$(dirname "$0")/..}" && pwd)
[ -x "$bin/morvik-server" ] || { echo "no $bin/morvik-server (MORVIK_SERVER=OFF): nothing to test"; exit 0; }
source "$src/tests/server/cluster.sh"
morvik_test_begin

morvik_cluster_start "$work" || exit 1
morvik_clear_of_midnight 120
MORVIK_SERVER_BIN=$work/bin
morvik_server_copy "$bin" "$MORVIK_SERVER_BIN"
morvik_server_start "$work/server.log" --listen 127.0.0.1:0 --per-minute 0 || exit 1
url=$MORVIK_URL
# The games are played where their replays are kept: data/, its records and replays/ beside it.
mkdir -p "$work/data" && cp "$bin"/Morvik_*.kvd "$work/data/"
python3 -c "
lines = ['@0 Space']
for k in range(2, 3000, 8):
    lines.append(f'P{k} Space' if (k // 8) % 2 == 0 else f'P{k} -')
    if k % 240 == 2: lines.append(f'P{k + 1} Right+Space')
    if k % 240 == 122: lines.append(f'P{k + 1} Up')
print(chr(10).join(lines))" >"$work/throws"
# play TICKET.json OUT.demo [--bot|--clock-start N]: the game of throws on the ticket, as it is kept; prints OUT.
play() {
  local t=$1 out=$2
  shift 2
  "$bin/morvik" --headless --no-pictures --data-dir "$work/data" --script "$work/throws" --ticket "$t" --until-ms 9000000 \
    --record-demo "$work/session.demo" "$@" >/dev/null 2>&1
  mv "$work/data/replays/board-$(jq -r .ticket "$t").demo" "$out"
  echo "$out"
}
verify() { "$bin/morvik" --verify "$1" --data-dir "$work/data"; }
send() {  # send DEMO: the board's answer; code and body
  code=$(curl -s -o "$work/body" -w '%{http_code}' --data-binary @"$1" "$url/api/runs")
  body=$(cat "$work/body")
}
verdict() {
  local i
  for i in $(seq 1 600); do
    curl -s "$url/api/runs/$1" >"$work/run"
    [ "$(jq -r .status "$work/run")" != pending ] && break
    sleep 0.1
  done
  cat "$work/run"
}
board() { curl -s "$url/api/scores?course=$1" | jq -c '[.scores[] | [.name, .score]]'; }

echo "== a game's luck is its ticket's"
morvik_ticket "$url" Ann open >"$work/ann.json"
key=$(jq -r .key "$work/ann.json")
ann=$(play "$work/ann.json" "$work/ann.demo")
want=$(verify "$ann" | jq -c '[.status, .score, .combo, .frames, .games]')
[[ $want == '["verified",'* ]] && ok || bad "the game on the ticket: $want"
# The same clock reads moved a millisecond either way here and there (1 to
# 10 of them, every checksum made right): the same game, or no game.
same=0 refused=0 other=0
for n in 1 3 10; do
  for seed in $(seq 1 12); do
    python3 "$src/tests/server/nudge.py" "$ann" "$work/nudged.demo" "$seed" "$n"
    got=$(verify "$work/nudged.demo" | jq -c '[.status, .score, .combo, .frames, .games]')
    if [ "$got" = "$want" ]; then same=$((same + 1)); elif [[ $got == '["rejected"'* ]]; then refused=$((refused + 1))
    else other=$((other + 1)); echo "nudged $n reads (seed $seed): $got, where the game is $want"; fi
  done
done
echo "36 nudged replays: $same the same game, $refused refused, $other another"
[ "$other" = 0 ] && [ "$same" -ge 4 ] && ok || bad "nudged clocks: $same the same, $refused refused, $other another game"
# The game started at another clock: the same game.
again=$(play "$work/ann.json" "$work/again.demo" --clock-start 4000000)
[ "$(verify "$again" | jq -c '[.status, .score, .combo, .frames, .games]')" = "$want" ] && ok ||
  bad "the ticket's game from another clock start is another game"
# Two open tickets deal two courses; every daily ticket of a day, the same one.
morvik_ticket "$url" Ann open "$key" >"$work/ann2.json"
"$bin/morvik" --headless --no-pictures --data-dir "$work/data" --script "$work/throws" --ticket "$work/ann.json" \
  --until-ms 60000 --trace-digest "$work/a.digest" >/dev/null 2>&1
"$bin/morvik" --headless --no-pictures --data-dir "$work/data" --script "$work/throws" --ticket "$work/ann2.json" \
  --until-ms 60000 --trace-digest "$work/b.digest" >/dev/null 2>&1
! cmp -s "$work/a.digest" "$work/b.digest" && ok || bad "two open tickets dealt the same game"
morvik_ticket "$url" Bea daily >"$work/bea.json"
morvik_ticket "$url" Cid daily >"$work/cid.json"
[ "$(jq -r .seed "$work/bea.json")" = "$(jq -r .seed "$work/cid.json")" ] &&
  [ "$(jq -r .course "$work/bea.json")" = "daily-$(date -u +%F)" ] && ok ||
  bad "the day's tickets: $(cat "$work/bea.json") $(cat "$work/cid.json")"

echo "== each cheat refused with its reason, nothing on the board"
send "$ann"
[ "$code" = 202 ] || bad "the game sent at once: $code $body"
run=$(jq -r .id <<<"$body")
v=$(verdict "$run")
[[ $(jq -r '.status + " " + .reason' <<<"$v") == "rejected the replay reached the board "*"sooner than its"*"play frames take at the game's pace"* ]] &&
  ok || bad "a replay sent sooner than its frames take: $v"
send "$again"
[ "$code" = 409 ] && jq -e '.error | contains("used for run")' <<<"$body" >/dev/null && ok ||
  bad "the same ticket again: $code $body"
bea=$(play "$work/bea.json" "$work/bea.demo")
morvik_backdate "$work/bea.json" 3600
morvik_sql "UPDATE tickets SET expires = now() - interval '1 minute' WHERE id = decode('$(jq -r .ticket "$work/bea.json")', 'hex')"
send "$bea"
[ "$code" = 422 ] && jq -e '.error | contains("expired")' <<<"$body" >/dev/null && ok || bad "an expired ticket: $code $body"
code=$(curl -s -o "$work/body" -w '%{http_code}' --data '{"name": "Ann", "course": "open"}' "$url/api/tickets")
[ "$code" = 403 ] && jq -e '.error | contains("belongs to its player")' "$work/body" >/dev/null && ok ||
  bad "an owned name without its key: $code $(cat "$work/body")"
code=$(curl -s -o "$work/body" -w '%{http_code}' -H "Morvik-Key: $(jq -r .key "$work/bea.json")" \
  --data '{"name": "ANN", "course": "open"}' "$url/api/tickets")
[ "$code" = 403 ] && jq -e '.error | contains("not its key")' "$work/body" >/dev/null && ok ||
  bad "an owned name with another's key: $code $(cat "$work/body")"
code=$(curl -s -o "$work/body" -w '%{http_code}' -H "Morvik-Key: $(jq -r .key "$work/bea.json")" \
  --data '{"name": "Bea", "course": "daily"}' "$url/api/tickets")
[ "$code" = 409 ] && jq -e '.error | contains("one ranked try a name a day")' "$work/body" >/dev/null && ok ||
  bad "a second try at the day's course: $code $(cat "$work/body")"
morvik_ticket "$url" Robo open >"$work/robo.json"
robo=$(play "$work/robo.json" "$work/robo.demo" --bot)
morvik_backdate "$work/robo.json" 3600
send "$robo"
[ "$code" = 422 ] && jq -e '.error | contains("automatic player")' <<<"$body" >/dev/null && ok ||
  bad "the automatic player's game: $code $body"
send "$src/tests/demos/bot.demo"
[ "$code" = 422 ] && jq -e '.error | contains("not played on a ticket")' <<<"$body" >/dev/null && ok ||
  bad "a replay without a ticket: $code $body"
sleep 0.5
[ "$(board open)" = "[]" ] && [ "$(board daily)" = "[]" ] && ok ||
  bad "a refused game reached a board: open $(board open), daily $(board daily)"

echo "== the honest games rank, and a moderator hides and brings back"
again2=$(play "$work/ann2.json" "$work/ann2.demo")
morvik_backdate "$work/ann2.json" 3600
send "$again2"
good=$(jq -r .id <<<"$body")
cid=$(play "$work/cid.json" "$work/cid.demo")
morvik_backdate "$work/cid.json" 3600
send "$cid"
day=$(jq -r .id <<<"$body")
[ "$(jq -r .status <<<"$(verdict "$good")")" = verified ] && [ "$(jq -r .status <<<"$(verdict "$day")")" = verified ] &&
  ok || bad "the honest games: $(verdict "$good") $(verdict "$day")"
sleep 0.5
[[ $(board open) == '[["Ann",'* ]] && [[ $(board daily) == '[["Cid",'* ]] &&
  [ "$(curl -s "$url/api/scores?course=daily&date=$(date -u +%F)" | jq -r .course)" = "daily-$(date -u +%F)" ] && ok ||
  bad "the boards: open $(board open), daily $(board daily)"
moderate() { "${MORVIK_AS_SERVER[@]}" "$MORVIK_SERVER_BIN/morvik-server" --db "$MORVIK_DB" "$@"; }
moderate --hide "$good" --why "played by a program, the moderators found" >/dev/null || bad "--hide failed"
for i in $(seq 1 50); do [ "$(board open)" = "[]" ] && break; sleep 0.1; done
[ "$(board open)" = "[]" ] && jq -e '.status == "hidden" and (.reason | contains("moderators"))' <<<"$(verdict "$good")" \
  >/dev/null && ok || bad "a hidden run: board $(board open), run $(verdict "$good")"
moderate --unhide "$good" >/dev/null || bad "--unhide failed"
for i in $(seq 1 50); do [ "$(board open)" != "[]" ] && break; sleep 0.1; done
[[ $(board open) == '[["Ann",'* ]] && [ "$(jq -r .status <<<"$(verdict "$good")")" = verified ] && ok ||
  bad "a run brought back: board $(board open)"
log=$(moderate --moderation)
[ "$(grep -c "run $good " <<<"$log")" = 2 ] && grep -q "hide run $good (Ann, .*) by .*: played by a program" <<<"$log" &&
  ok || bad "the moderation log: $log"
moderate --hide "$good" >/dev/null 2>&1; [ $? = 2 ] && ok || bad "--hide without --why was taken"

echo "$pass passed, $fail failed"
[ $fail -eq 0 ]
