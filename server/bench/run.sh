#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The leaderboard's figures, on a PostgreSQL cluster of its own:
#  1. GET /api/scores under 32 concurrent clients (kept-alive connections),
#     on an empty board, then on 200,000 verified runs (4 KB demos) by 50,000
#     names, then so with 1,000 idle, 64 slow-head and 64 slow-body
#     connections held open (server/bench/attack.py); the board's query
#     itself on the database, on both boards;
#  2. verification throughput: GAMES copies of a known game (three games,
#     12,945 play frames) verified by one verifier process, then by two.
#   server/bench/run.sh [BUILD_DIR] [GAMES]      (default: build, 40)
# Take figures on an idle machine: the verifiers want a core each. Their
# processor time is given too, which a busy machine stretches less.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "${1:-$src/build}" && pwd)
games=${2:-40}
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
  WHERE board = '$version' ORDER BY score DESC, run_id LIMIT 100;" >"$work/board.sql"
chmod a+r "$work/board.sql"
board_query() {
  morvik_as_pg "$MORVIK_PG_BIN/pgbench" -n -T 2 -f "$work/board.sql" -h "$MORVIK_PG_DIR/sock" -U morvik morvik 2>/dev/null |
    sed -n 's/^latency average = //p'
}
add_runs() {  # add_runs FROM TO: verified runs by 50,000 names (fewer when fewer runs)
  morvik_sql "INSERT INTO runs (digest, name, address, demo, status, score, combo, frames, games, version, board, verified_at)
              SELECT sha256(i::text::bytea), 'Player ' || (i % 50000), 'bench', convert_to(repeat(md5(i::text), 128), 'UTF8'),
                     'verified', (i * 7919) % 1000000, i % 30, 10000, 1, '$version', '$version', now()
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
morvik_sql "TRUNCATE best, runs" >/dev/null

echo "== verification: $games copies of a known game"
python3 - "$src/tests/demos/bot.demo" "$work" "$games" <<'EOF'
import sys, zlib
demo, work, games = sys.argv[1], sys.argv[2], int(sys.argv[3])
base = open(demo, "rb").read()
for i in range(games):
    d = bytearray(base)
    at = 16 + d[10]  # the records the game started with: other bytes, the same game
    d[at:at + 4] = (5000 + i).to_bytes(4, "little")
    d[-4:] = zlib.crc32(bytes(d[:-4])).to_bytes(4, "little")
    open(f"{work}/g{i:03d}.demo", "wb").write(d)
EOF
# Each from a sender of its own: one sender's runs are replayed one at a time.
k=0
for f in "$work"/g*.demo; do
  k=$((k + 1))
  curl -s -o /dev/null --interface "127.0.3.$k" --data-binary @"$f" "$MORVIK_URL/api/runs?name=Bench"
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
  while [ "$(morvik_sql "SELECT count(*) FROM runs WHERE status = 'pending'")" != 0 ]; do sleep 0.05; done
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
