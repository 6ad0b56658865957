#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The leaderboard's figures, on a PostgreSQL cluster of its own:
#  1. GET /api/scores under 32 concurrent clients (kept-alive connections),
#     on an empty board, then on 200,000 verified runs (4 KB demos) by 50,000
#     names, then so with 1,000 idle, 64 slow-head and 64 slow-body
#     connections held open (server/bench/attack.py); the board's query
#     itself on the database, on both boards;
#  2. verification throughput: GAMES copies of a known game (one game of the
#     automatic player on the day's course, its mark taken off: the day's
#     tickets share one luck, so each copy is the same game on a ticket of
#     its own) verified by one verifier process, then by two;
#  3. with OLD_BUILD (a build of an earlier server), GET /api/scores of that
#     server under the same 32 clients, on a board of 2,000 runs by 500
#     names in a database of its own, for the ratio of the two.
#   server/bench/run.sh [BUILD_DIR] [GAMES] [OLD_BUILD]   (default: build, 100)
# Take figures on an idle machine: the verifiers want a core each. Their
# processor time is given too, which a busy machine stretches less.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "${1:-$src/build}" && pwd)
games=${2:-100}
old=${3:-}
[ -x "$bin/morvik-server" ] && [ -x "$bin/morvik_board_bench" ] || { echo "build $bin first (with benchmarks)" >&2; exit 1; }
source "$src/tests/server/cluster.sh"
work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; wait "$p" 2>/dev/null || true; done
  morvik_server_stop >/dev/null 2>&1 || true
  morvik_cluster_stop
  rm -rf "$work"
}
trap cleanup EXIT
morvik_cluster_start "$work"
MORVIK_SERVER_BIN=$work/bin
morvik_server_copy "$bin" "$MORVIK_SERVER_BIN"
morvik_server_start "$work/server.log" --listen 127.0.0.1:0 --workers 0 --per-minute 0 >/dev/null
port=${MORVIK_URL##*:}
version=$("$bin/morvik" --version 2>/dev/null || echo "morvik $(sed -n 's/^project(morvik VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")")

echo "== GET /api/scores, 32 clients"
"$bin/morvik_board_bench" 127.0.0.1 "$port" /api/scores 32 50 >/dev/null  # warm up
echo "on an empty board:"
"$bin/morvik_board_bench" 127.0.0.1 "$port" /api/scores 32 500
# The board's query itself (what each request ran before the copy in memory,
# and what a copy is read again with), as a client of the database sees it:
# pgbench's mean latency over 2 s, the round trip included.
printf '%s\n' "SELECT run_id, name, score, combo, frames, games, version, submitted FROM best
  WHERE board = '$version open' ORDER BY score DESC, run_id LIMIT 100;" >"$work/board.sql"
chmod a+r "$work/board.sql"
board_query() {
  morvik_as_pg "$MORVIK_PG_BIN/pgbench" -n -T 2 -f "$work/board.sql" -h "$MORVIK_PG_DIR/sock" -U morvik morvik 2>/dev/null |
    sed -n 's/^latency average = //p'
}
add_runs() {  # add_runs FROM TO [NAMES]: verified runs by 50,000 names, or NAMES (fewer when fewer runs)
  morvik_sql "INSERT INTO runs (digest, name, address, demo, status, score, combo, frames, games, version, board, course, verified_at)
              SELECT sha256(i::text::bytea), 'Player ' || (i % ${3:-50000}), 'bench', convert_to(repeat(md5(i::text), 128), 'UTF8'),
                     'verified', ((i::bigint * 7919) % 1000000)::int, i % 30, 10000, 1, '$version', '$version open', 'open', now()
              FROM generate_series($1, $2) i" >/dev/null
}
echo "the board's query on an empty board: $(board_query)"
add_runs 1 200
echo "the board's query on 200 runs by 200 names: $(board_query)"
add_runs 201 200000
morvik_sql "ANALYZE runs; ANALYZE best" >/dev/null
echo "the board's query on 200,000 runs by 50,000 names: $(board_query)"
sleep 2  # the servers' copies follow
echo "on 200,000 runs by 50,000 names:"
"$bin/morvik_board_bench" 127.0.0.1 "$port" /api/scores 32 500
echo "the same with 1,000 idle, 64 slow-head and 64 slow-body connections held open:"
python3 "$src/server/bench/attack.py" "$port" "$MORVIK_SERVER_PID" 1000 64 25 &
attack=$!
sleep 5
"$bin/morvik_board_bench" 127.0.0.1 "$port" /api/scores 32 300
wait $attack
morvik_sql "TRUNCATE best, runs CASCADE" >/dev/null

echo "== verification: $games copies of a known game"
morvik_ticket "$MORVIK_URL" Known daily >"$work/known.json"
"$bin/morvik" --headless --no-pictures --data-dir "$MORVIK_SERVER_BIN" --bot --ticket "$work/known.json" --until-ms 900000 \
  --record-demo "$work/session.demo" >/dev/null 2>&1
python3 - "$MORVIK_SERVER_BIN/replays/board-$(jq -r .ticket "$work/known.json").demo" "$work/known.demo" <<'EOF'
import sys, zlib
d = bytearray(open(sys.argv[1], "rb").read())
d[11 + d[10]] &= ~4  # the automatic player's mark taken off: the bench times replays, the board's rules aside
d[-4:] = zlib.crc32(bytes(d[:-4])).to_bytes(4, "little")
open(sys.argv[2], "wb").write(d)
EOF
echo "the game: $("$bin/morvik" --verify "$work/known.demo" --data-dir "$MORVIK_SERVER_BIN" | jq -c '{score, frames}')"
# Each from a sender of its own (one sender's runs are replayed one at a time), on a ticket of its own.
sender() { echo "127.0.$((3 + $1 / 250)).$(($1 % 250 + 1))"; }  # a loopback address of its own for each of up to 63,000
for k in $(seq 1 "$games"); do
  curl -s --interface "$(sender "$k")" --data "{\"name\": \"Bench $k\", \"course\": \"daily\"}" \
    "$MORVIK_URL/api/tickets" >"$work/t$k.json"
  morvik_retick "$work/known.demo" "$work/t$k.json" "$work/g$k.demo"
done
morvik_sql "UPDATE tickets SET issued = issued - interval '1 day'" >/dev/null
for k in $(seq 1 "$games"); do
  curl -s -o /dev/null --interface "$(sender "$k")" --data-binary @"$work/g$k.demo" "$MORVIK_URL/api/runs"
done
for n in 1 2; do
  morvik_sql "UPDATE runs SET status = 'pending', claims = 0, lease_until = NULL, score = NULL" >/dev/null
  start=$(date +%s.%N)
  pids=()
  for k in $(seq 1 "$n"); do
    "${MORVIK_AS_SERVER[@]}" "$MORVIK_SERVER_BIN/morvik-server" --verify-only --workers 1 --db "$MORVIK_DB" \
      --data-dir "$MORVIK_SERVER_BIN" >"$work/v$n-$k.log" 2>&1 &
    pids+=($!)
  done
  while [ "$(morvik_sql "SELECT count(*) FROM runs WHERE status = 'pending'")" != 0 ]; do sleep 0.2; done
  end=$(date +%s.%N)
  # The verifiers' own processor time (user + system), which a busy machine does not stretch.
  ticks=0
  for p in "${pids[@]}"; do
    ticks=$((ticks + $(awk '{ print $14 + $15 }' "/proc/$p/stat")))
    kill -TERM "$p"
    wait "$p" || true
  done
  pids=()
  frames=$(morvik_sql "SELECT sum(frames) FROM runs WHERE status = 'verified'")
  awk -v n="$n" -v g="$games" -v f="$frames" -v a="$start" -v b="$end" -v c="$ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN {
    t = b - a; cpu = c / hz
    printf "%d verifier process%s: %d replays in %.2f s: %.1f replays a minute (%.1f per verifier), %.0f play frames a second;", \
           n, n == 1 ? "" : "es", g, t, g * 60 / t, g * 60 / t / n, f / t
    printf " their processor time %.1f s: %.1f replays a processor-minute, %.0f play frames a processor-second\n", \
           cpu, g * 60 / cpu, f / cpu }'
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

if [ -n "$old" ]; then
  echo "== GET /api/scores of the server of $old, 32 clients, 2,000 runs by 500 names"
  morvik_psql_admin -c "CREATE DATABASE morvik_old OWNER morvik" >/dev/null
  olddb=${MORVIK_DB/dbname=morvik/dbname=morvik_old}
  cp "$old/morvik-server" "$work/old-server" && chmod a+rx "$work/old-server"
  : >"$work/old.log" && chmod a+w "$work/old.log"
  "${MORVIK_AS_SERVER[@]}" "$work/old-server" --db "$olddb" --data-dir "$MORVIK_SERVER_BIN" --listen 127.0.0.1:0 \
    --workers 0 --per-minute 0 >>"$work/old.log" 2>&1 &
  pids+=($!)
  for i in $(seq 1 100); do oldport=$(sed -n 's|^morvik-server: serving http://[^:]*:\([0-9]*\)/.*|\1|p' "$work/old.log"); [ -n "$oldport" ] && break; sleep 0.1; done
  morvik_as_pg "$MORVIK_PG_BIN/psql" -X -q -h "$MORVIK_PG_DIR/sock" -U pgadmin -d morvik_old -c \
    "INSERT INTO runs (digest, name, address, demo, status, score, combo, frames, games, version, verified_at)
     SELECT sha256(i::text::bytea), 'Player ' || (i % 500), 'bench', convert_to(repeat(md5(i::text), 128), 'UTF8'),
            'verified', (i * 7919) % 1000000, i % 30, 10000, 1, '$version', now() FROM generate_series(1, 2000) i" >/dev/null
  "$bin/morvik_board_bench" 127.0.0.1 "$oldport" /api/scores 32 50 >/dev/null
  "$bin/morvik_board_bench" 127.0.0.1 "$oldport" /api/scores 32 500
  echo "this server on the same board, for the ratio:"
  add_runs 1000001 1002000 500
  sleep 2
  "$bin/morvik_board_bench" 127.0.0.1 "$port" /api/scores 32 500
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
fi
