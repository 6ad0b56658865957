#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The leaderboard under load, against a real PostgreSQL of its own: short
# games on the day's tickets sent by 16 clients at once to a server restarted meanwhile,
# verified by two verifier processes after a third was killed (SIGKILL) in
# the middle of a replay. Every run that was answered 202 is there, every
# run is verified exactly once, and the killed verifier's run is verified
# by another once its claim runs out. 200 games (60 in a sanitizer build).
#   tests/leaderboard_load.sh BUILD_DIR SOURCE_DIR
set -u
bin=$(cd "$1" && pwd)
src=$(cd "${2:-$(dirname "$0")/..}" && pwd)
[ -x "$bin/morvik-server" ] || { echo "no $bin/morvik-server (MORVIK_SERVER=OFF): nothing to test"; exit 0; }
source "$src/tests/server/cluster.sh"
games=200 sanitized=0
grep -q '^MORVIK_SANITIZE:BOOL=ON' "$bin/CMakeCache.txt" 2>/dev/null && games=60 sanitized=1
verifiers=()
morvik_test_cleanup() {
  local p
  for p in "${verifiers[@]}"; do kill -TERM "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
}
morvik_test_begin

morvik_cluster_start "$work" || exit 1
MORVIK_SERVER_BIN=$work/bin
morvik_server_copy "$bin" "$MORVIK_SERVER_BIN"
start_verifier() {  # start_verifier NAME: one verifier process, its log in NAME.log
  : >"$work/$1.log"
  chmod a+w "$work/$1.log"
  "${MORVIK_AS_SERVER[@]}" "$MORVIK_SERVER_BIN/morvik-server" --verify-only --workers 1 --lease 3 --db "$MORVIK_DB" \
    --data-dir "$MORVIK_SERVER_BIN" >>"$work/$1.log" 2>&1 &
  verifiers+=($!)
}
morvik_server_start "$work/server.log" --listen 127.0.0.1:0 --workers 0 --per-minute 0 || exit 1
url=$MORVIK_URL
port=${url##*:}

# Short games on today's course: ten recorded with their own clock starts and
# keys on one day's ticket, each sent under tickets of names of their own (a
# day's tickets share its luck: the same game, other bytes, other runs).
mkdir -p "$work/games"
morvik_ticket "$url" Base daily >"$work/base.json"
for k in $(seq 0 9); do
  printf '@0 Space\nP%d Right+Z\nP%d Left\nP%d Up\n' $((k + 2)) $((k + 12)) $((k + 20)) >"$work/keys$k"
  "$bin/morvik" --headless --data-dir "$MORVIK_SERVER_BIN" --script "$work/keys$k" --clock-start $((k * 7919)) \
    --until-ms $((k * 7919 + 12000)) --ticket "$work/base.json" --record-demo "$work/base$k.demo" >/dev/null 2>&1 ||
    { bad "recording game $k"; exit 1; }
done
for i in $(seq 0 $((games - 1))); do
  n=$(printf '%03d' "$i")
  morvik_ticket "$url" "Load$n" daily >"$work/t$n.json"
  morvik_retick "$work/base$((i % 10)).demo" "$work/t$n.json" "$work/games/$n.demo"
done
# The game whose verifier is killed: long enough to be caught in the middle
# of its replay (a sanitized build plays even a short one slowly), and what
# its replay must reach: a session of games on the held throw key, some
# 480,000 play frames of them (a sanitized build's verifier, slower, is given
# a quarter), the first on a ticket: a second or two of a verifier's time,
# where one game takes a few hundredths.
long_demo=$work/long.demo
morvik_ticket "$url" Long open >"$work/long.json"
"$bin/morvik" --headless --no-pictures --data-dir "$MORVIK_SERVER_BIN" --until-ms $((sanitized ? 5000000 : 20000000)) \
  --ticket "$work/long.json" --record-demo "$long_demo" >/dev/null 2>&1 || { bad "recording the long game"; exit 1; }
long_best=$("$bin/morvik" --verify "$long_demo" --data-dir "$bin" | jq -r .score)
# Their games took their time at the game's pace, which the test does not wait out.
morvik_sql "UPDATE tickets SET issued = issued - interval '1 day'" >/dev/null
echo "== a verifier killed in the middle of a replay"
start_verifier doomed
doomed=${verifiers[0]}
curl -s -o "$work/long.run" --data-binary @"$long_demo" "$url/api/runs"
long=$(jq -r .id "$work/long.run")
for i in $(seq 1 400); do
  [ "$(morvik_sql "SELECT claims FROM runs WHERE id = $long")" = 1 ] && break
  sleep 0.05
done
sleep 0.05
kill -KILL "$doomed"
wait "$doomed" 2>/dev/null
verifiers=()
[ "$(morvik_sql "SELECT status || ' ' || claims FROM runs WHERE id = $long")" = "pending 1" ] && ok ||
  bad "the verifier was not caught in the middle of the replay: $(morvik_sql "SELECT status, claims FROM runs WHERE id = $long")"
start_verifier one
start_verifier two

echo "== $games games from 16 clients, the server restarted meanwhile"
send() {  # send FILE: one submission; its status and answer beside the file
  curl -s -o "$1.json" -w '%{http_code}' --max-time 60 -H 'Content-Type: application/octet-stream' \
    --data-binary @"$1" "$URL/api/runs" >"$1.code"
}
export -f send
export URL=$url
t0=$(date +%s.%N)
ls "$work"/games/*.demo | xargs -P 16 -I{} bash -c 'send {}' &
load=$!
for i in $(seq 1 200); do [ "$(ls "$work"/games/*.code 2>/dev/null | wc -l)" -ge $((games / 3)) ] && break; sleep 0.05; done
morvik_server_stop || bad "the server did not stop cleanly"
morvik_server_start "$work/server2.log" --listen "127.0.0.1:$port" --workers 0 --per-minute 0 || exit 1
wait $load
codes() { for f in "$work"/games/*.code; do cat "$f"; echo; done; }
accepted=$(codes | grep -c '^202$')
lost=$(codes | grep -vc '^20[02]$')
echo "first pass: $accepted accepted, $lost not answered across the restart"
# Every run that was answered 202 is in the database.
ids=$(for f in "$work"/games/*.code; do [ "$(cat "$f")" = 202 ] && jq -r .id "${f%.code}.json"; done | paste -sd,)
[ -n "$ids" ] && [ "$(morvik_sql "SELECT count(*) FROM runs WHERE id IN ($ids)")" = "$accepted" ] && ok ||
  bad "runs answered 202 are missing"
# The rest again: the same bytes answer the run that was stored, if it was.
for f in "$work"/games/*.code; do
  [ "$(cat "$f")" = 202 ] || send "${f%.code}"
done
echo "second pass: $(codes | sort | uniq -c | paste -sd' ')"
all=$(for f in "$work"/games/*.demo; do jq -r .id "$f.json"; done | sort -u | wc -l)
[ "$all" = "$games" ] && ok || bad "$all distinct runs for $games games"

echo "== every run verified exactly once"
for i in $(seq 1 1200); do
  [ "$(morvik_sql "SELECT count(*) FROM runs WHERE status = 'pending'")" = 0 ] && break
  sleep 0.1
done
t1=$(date +%s.%N)
counts=$(morvik_sql "SELECT status, count(*) FROM runs GROUP BY status ORDER BY status" | paste -sd' ')
echo "runs: $counts ($(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", b - a }') s from the first submission)"
[ "$counts" = "verified|$((games + 1))" ] && ok ||
  bad "not every run verified: $counts; $(morvik_sql "SELECT reason, count(*) FROM runs WHERE status = 'rejected' GROUP BY reason LIMIT 3")"
# Each verdict written once: one line in all the verifiers' logs a run.
cat "$work"/one.log "$work"/two.log | sed -n 's/^morvik-server: run \([0-9]*\) verified.*/\1/p' | sort | uniq -c |
  awk '$1 != 1 { print "run " $2 " verified " $1 " times" }' >"$work/twice"
verdicts=$(cat "$work"/one.log "$work"/two.log | grep -c '^morvik-server: run [0-9]* verified')
[ ! -s "$work/twice" ] && [ "$verdicts" = $((games + 1)) ] && ok || bad "$verdicts verdicts: $(cat "$work/twice")"
# Claimed again once the dead verifier's lease ran out (twice at least: a
# starved verifier may lose a claim too, which changes nothing else).
[ "$(morvik_sql "SELECT status || ' ' || score || ' ' || (claims >= 2) FROM runs WHERE id = $long")" = "verified $long_best true" ] && ok ||
  bad "the killed verifier's run: $(morvik_sql "SELECT status, score, claims FROM runs WHERE id = $long")"
curl -s "$url/api/scores?course=daily&limit=100" | jq -e '.scores | length > 10 and .[0].rank == 1 and .[0].score >= .[1].score' \
  >/dev/null && ok || bad "the board after the load"

echo "$pass passed, $fail failed"
[ $fail -eq 0 ]
