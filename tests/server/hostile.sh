#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The board on the open internet, attacked as a new user would, every attack
# bounded and on the loopback, against a real PostgreSQL of its own: idle,
# slow-head and slow-body connections, bytes that would grow (inflated
# bodies, endless heads, many ranges, reads that unpack large), bad framing,
# forwarded addresses from a peer that is no proxy (tests/server/hostile.py,
# the board's reads timed all along); then the verifiers: one sender's runs
# sent before another's (taken in turn), a demo of random reads (not kept); and
# the client against a board that answers without end, slowly, or with
# control characters.
#   tests/server/hostile.sh BUILD_DIR SOURCE_DIR
set -u
bin=$(cd "$1" && pwd)
src=$(cd "${2:-$(dirname "$0")/../..}" && pwd)
[ -x "$bin/morvik-server" ] || { echo "no $bin/morvik-server (MORVIK_SERVER=OFF): nothing to test"; exit 0; }
source "$src/tests/server/cluster.sh"
pids=()
morvik_test_cleanup() {
  local p
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
}
morvik_test_begin
started=$(date +%s)

morvik_cluster_start "$work" || exit 1
MORVIK_SERVER_BIN=$work/bin
morvik_server_copy "$bin" "$MORVIK_SERVER_BIN"
"$bin/morvik" --version >"$work/version"
head_s=3
morvik_server_start "$work/server.log" --listen 127.0.0.1:0 --workers 0 --trust-forwarded 127.0.0.1 \
  --head-seconds $head_s --body-seconds $head_s --site "$MORVIK_SERVER_BIN" || exit 1
url=$MORVIK_URL
port=${url##*:}

# Tickets for the demos the attacks send, which name them as a board's game would.
for i in $(seq 10 25); do
  curl -s --interface "127.0.7.$i" --data "{\"name\": \"Zip$i\", \"course\": \"open\"}" "$url/api/tickets"; echo
done | grep . >"$work/zip-tickets.jsonl"
[ "$(jq -s 'map(select(.ticket)) | length' "$work/zip-tickets.jsonl")" = 16 ] || bad "the tickets for the attacks"

echo "== the front under attack"
timeout 300 python3 "$src/tests/server/hostile.py" "$port" "$MORVIK_SERVER_PID" $head_s "$work" && ok ||
  bad "the front's attacks (above)"

echo "== the verifiers: one sender's three games, then another's"
# What the front's attacks left waiting goes first.
morvik_sql "UPDATE tickets SET run_id = NULL WHERE run_id IN (SELECT id FROM runs WHERE status = 'pending');
            DELETE FROM runs WHERE status = 'pending'" >/dev/null
# Four short games, each on a ticket of its own: three of Many's, one of Other's.
printf '@0 Space\nP2 Right+Z\nP12 Left\nP20 Up\n' >"$work/keys"
morvik_ticket "$url" Many open >"$work/t0.json"
key=$(jq -r .key "$work/t0.json")
morvik_ticket "$url" Many open "$key" >"$work/t1.json"
morvik_ticket "$url" Many open "$key" >"$work/t2.json"
morvik_ticket "$url" Other open >"$work/t3.json"
morvik_ticket "$url" Junk open >"$work/tj.json"
for i in 0 1 2 3; do
  "$bin/morvik" --headless --no-pictures --data-dir "$MORVIK_SERVER_BIN" --script "$work/keys" --ticket "$work/t$i.json" \
    --until-ms 60000 --record-demo "$work/game$i.demo" >/dev/null 2>&1
done
morvik_sql "UPDATE tickets SET issued = issued - interval '1 day'" >/dev/null
python3 - "$work" <<'PY'
import json, os, struct, sys, zlib
work = sys.argv[1]
# A demo whose reads are random bytes: its header is right (its ticket the board's), its stream is junk.
t = json.load(open(f"{work}/tj.json"))
raw = os.urandom(1000000)
z = zlib.compress(raw, 0)
v = open(f"{work}/version").read().strip().encode()
h = b"MORVIKDM" + struct.pack("<H", 2) + bytes([len(v)]) + v + b"\0"
h += struct.pack("<IIHIIII", 0, 0, 100, 1000000, len(raw), zlib.crc32(raw), len(z))
h += b"\1" + bytes.fromhex(t["ticket"]) + int(t["seed"], 16).to_bytes(8, "little") + b"\4open" + z
open(f"{work}/junk.demo", "wb").write(h + struct.pack("<I", zlib.crc32(h)))
PY
send() {  # send FILE NAME SENDER: prints the run's id (its name is its ticket's)
  curl -s -H "X-Forwarded-For: $3" --data-binary @"$1" "$url/api/runs" | jq -r .id
}
first=$(for i in 0 1 2; do send "$work/game$i.demo" Many 10.8.0.1; done | paste -sd,)
other=$(send "$work/game3.demo" Other 10.8.0.2)
junk=$(send "$work/junk.demo" Junk 10.8.0.3)
: >"$work/verifier.log"
chmod a+w "$work/verifier.log"
"${MORVIK_AS_SERVER[@]}" "$MORVIK_SERVER_BIN/morvik-server" --verify-only --workers 1 --db "$MORVIK_DB" \
  --data-dir "$MORVIK_SERVER_BIN" >>"$work/verifier.log" 2>&1 &
pids+=($!)
for i in $(seq 1 600); do
  [ "$(morvik_sql "SELECT count(*) FROM runs WHERE status = 'pending'")" = 0 ] && break
  sleep 0.1
done
# One verifier: the other sender's run came second, before the first sender's second.
order=$(morvik_sql "SELECT name FROM runs WHERE id IN ($first, $other, $junk) ORDER BY verified_at" | paste -sd' ')
[[ $order == "Many Other "* || $order == "Many Junk Other "* || $order == "Junk Many Other "* ]] &&
  [ "$(morvik_sql "SELECT count(*) FROM runs WHERE id IN ($first, $other) AND status = 'verified'")" = 4 ] && ok ||
  bad "the verdicts' order: $order (the other sender's second at the latest)"
echo "verdicts in the order: $order"
[ "$(morvik_sql "SELECT status || ' ' || (demo IS NULL) || ' ' || length(digest) FROM runs WHERE id = $junk")" = "rejected true 32" ] &&
  ok || bad "the junk demo: $(morvik_sql "SELECT status, demo IS NULL, reason FROM runs WHERE id = $junk")"
code=$(curl -s -o /dev/null -w '%{http_code}' "$url/api/runs/$junk/demo")
[ "$code" = 410 ] && ok || bad "the junk demo's bytes: $code (410)"
code=$(curl -s -o "$work/again" -w '%{http_code}' -H "X-Forwarded-For: 10.8.0.4" --data-binary @"$work/junk.demo" "$url/api/runs")
[ "$code" = 200 ] && [ "$(jq -r .status "$work/again")" = rejected ] && ok || bad "the junk again: $code $(cat "$work/again")"

# A hundred byte ranges over a stored demo: one answer of the whole, never a hundred copies.
ranges=$(seq 0 99 | awk '{ printf "%s0-", (NR > 1 ? "," : "") }' | sed 's/,$//')
size=$(stat -c %s "$work/game0.demo")
got=$(curl -s -o "$work/ranged" -w '%{http_code} %{size_download}' -H "Range: bytes=$ranges" \
  "$url/api/runs/${first%%,*}/demo")
[ "$got" = "200 $size" ] && ok || bad "a hundred ranges over a demo of $size bytes: $got"
got=$(curl -s -o /dev/null -w '%{http_code} %{size_download}' -H "Range: bytes=0-9" "$url/api/runs/${first%%,*}/demo")
[ "$got" = "206 10" ] && ok || bad "one range: $got"

echo "== the client against boards that would hold it"
cat >"$work/board.py" <<'PY'
import socket, sys, threading, time
mode = sys.argv[1]
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True)
def serve(c):
    try:
        c.settimeout(5)
        data = b""
        while b"\r\n\r\n" not in data: data += c.recv(65536)
        if mode == "endless":
            c.sendall(b"HTTP/1.1 202 Accepted\r\nContent-Type: application/json\r\nContent-Length: 1000000000\r\n\r\n")
            while True: c.sendall(b" " * 65536)
        elif mode == "slow":
            for b in b"HTTP/1.1 202 Accepted\r\n":
                c.sendall(bytes([b])); time.sleep(5)
        else:
            while True:
                if data.startswith(b"POST"):
                    body = b'{"id": 7, "status": "pending"}'
                    c.sendall(b"HTTP/1.1 202 Accepted\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
                else:
                    body = '{"id": 7, "status": "rejected", "reason": "evil \\u009b31m\\u202eraw"}'.encode()
                    c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
                data = b""
                while b"\r\n\r\n" not in data:
                    more = c.recv(65536)
                    if not more: raise EOFError
                    data += more
            time.sleep(1)
    except Exception:
        pass
    c.close()
while True:
    c, _ = s.accept()
    threading.Thread(target=serve, args=(c,), daemon=True).start()
PY
for mode in endless slow words; do
  python3 "$work/board.py" $mode >"$work/board-$mode.port" &
  pids+=($!)
done
# Each says its port once it listens (a loaded machine may take a while to start them).
for mode in endless slow words; do
  for i in $(seq 1 300); do [ -s "$work/board-$mode.port" ] && break; sleep 0.1; done
done
client() {  # client MODE: morvik --submit against that board; its words, and how long it took
  local t=$(date +%s)
  timeout 120 "$bin/morvik" --submit "$work/game0.demo" \
    --server "http://127.0.0.1:$(head -1 "$work/board-$1.port")" >"$work/client-$1" 2>&1
  echo $(($(date +%s) - t)) >"$work/client-$1.time"
}
client endless & c1=$!
client slow & c2=$!
client words & c3=$!
wait $c1 $c2 $c3
grep -q "larger than 64 KB" "$work/client-endless" && ok || bad "an endless answer: $(cat "$work/client-endless")"
[ "$(cat "$work/client-slow.time")" -le 45 ] && grep -q "did not answer within 30 s" "$work/client-slow" && ok ||
  bad "a board sending a byte every 5 s: $(cat "$work/client-slow") after $(cat "$work/client-slow.time") s"
grep -qF 'evil \xC2\x9B31m\xE2\x80\xAEraw' "$work/client-words" && ! grep -qP '\x{9b}|\x{202e}' "$work/client-words" && ok ||
  bad "the board's words reached the terminal raw: $(od -c "$work/client-words" | head -5)"
echo "the client: $(tail -1 "$work/client-endless"); $(tail -1 "$work/client-slow") ($(cat "$work/client-slow.time") s); $(tail -1 "$work/client-words")"

morvik_server_stop && ok || bad "the server did not stop cleanly: $(tail -3 "$work/server.log")"
echo "$pass passed, $fail failed ($(($(date +%s) - started)) s)"
[ $fail -eq 0 ]
