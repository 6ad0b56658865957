#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The leaderboard against a real PostgreSQL (a throwaway cluster of its own)
# and real HTTP: a game played on a ticket is verified to its own replay's
# best whatever the request claims, under the ticket's name; the same bytes
# are the same run; another version, garbage, an empty body, 2 MiB, a replay
# without a ticket, bad names and a flood are refused with a JSON error and
# store nothing; the board answers from memory (its tag, 304, a second
# server in step); the site is served safely; a slow body times out; morvik
# --submit lands on the board (over https only with a trusted certificate);
# the server refuses root and stops cleanly. The server's database role may
# only read and write rows.
#   tests/leaderboard_api.sh BUILD_DIR SOURCE_DIR
set -u
bin=$(cd "$1" && pwd)
src=$(cd "${2:-$(dirname "$0")/..}" && pwd)
[ -x "$bin/morvik-server" ] || { echo "no $bin/morvik-server (MORVIK_SERVER=OFF): nothing to test"; exit 0; }
source "$src/tests/server/cluster.sh"
tls_pid=
morvik_test_cleanup() { [ -n "$tls_pid" ] && kill "$tls_pid" 2>/dev/null; }
morvik_test_begin

morvik_cluster_start "$work" || exit 1
MORVIK_SERVER_BIN=$work/bin
morvik_server_copy "$bin" "$MORVIK_SERVER_BIN"
mkdir -p "$work/site/sub"
echo '<!doctype html><title>board</title>' >"$work/site/index.html"
echo 'secret' >"$work/secret.txt"
ln -s "$work/secret.txt" "$work/site/out.txt"
echo 'hidden' >"$work/site/.hidden"
chmod -R a+rX "$work/site" "$work/secret.txt"
# Deployed as docs/leaderboard.md says: the owner keeps the schema, the
# server's role may only read and write rows.
"${MORVIK_AS_SERVER[@]}" "$MORVIK_SERVER_BIN/morvik-server" --migrate-only --db "$MORVIK_DB" >/dev/null || exit 1
morvik_psql_admin -c "CREATE ROLE board LOGIN" -c "GRANT CONNECT ON DATABASE morvik TO board" >/dev/null || exit 1
morvik_sql "GRANT USAGE ON SCHEMA public TO board; GRANT SELECT ON schema_migrations TO board;
            GRANT SELECT, INSERT, UPDATE ON runs, names, tickets TO board; GRANT SELECT, INSERT ON secrets TO board;
            GRANT SELECT, INSERT, UPDATE, DELETE ON submissions, best, senders TO board" >/dev/null || exit 1
MORVIK_DB=${MORVIK_DB/user=morvik/user=board}
morvik_server_start "$work/server.log" --listen 127.0.0.1:0 --site "$work/site" --per-minute 3 \
  --trust-forwarded 127.0.0.1 --body-seconds 2 || exit 1
url=$MORVIK_URL
version=$("$bin/morvik" --version)

# req METHOD PATH [curl args...]: sets code and body. Each request comes from
# an address of its own unless the test names one.
n=0
req() {
  local method=$1 path=$2
  shift 2
  n=$((n + 1))
  code=$(curl -s -o "$work/body" -w '%{http_code}' -X "$method" -H "X-Forwarded-For: 10.9.$((n / 200)).$((n % 200 + 1))" \
    "$@" "$url$path")
  body=$(cat "$work/body")
}
runs() { morvik_sql "SELECT count(*) FROM runs"; }
# An error is a JSON object with the reason in words.
refused() {
  local what=$1 want=$2 words=$3
  if [ "$code" = "$want" ] && jq -e --arg w "$words" '.error | type == "string" and contains($w)' <<<"$body" >/dev/null; then
    ok
  else
    bad "$what: $code $body (want $want with '$words')"
  fi
}
verdict() {  # verdict ID: waits for the run's verdict and prints it
  local i
  for i in $(seq 1 600); do
    curl -s "$url/api/runs/$1" >"$work/run"
    [ "$(jq -r .status "$work/run")" != pending ] && break
    sleep 0.2
  done
  cat "$work/run"
}

# A short game of throws on a ticket: play TICKET.json DEMO.
python3 -c "
lines = ['@0 Space']
for k in range(2, 3000, 8):
    lines.append(f'P{k} Space' if (k // 8) % 2 == 0 else f'P{k} -')
    if k % 240 == 2: lines.append(f'P{k + 1} Right+Space')
    if k % 240 == 122: lines.append(f'P{k + 1} Up')
print(chr(10).join(lines))" >"$work/throws"
play() {
  "$bin/morvik" --headless --no-pictures --data-dir "$MORVIK_SERVER_BIN" --script "$work/throws" --ticket "$1" --until-ms 200000 \
    --record-demo "$2" >/dev/null 2>&1
}

echo "== a game on a ticket counts for its own replay's best, whatever the request claims"
morvik_ticket "$url" Ann open >"$work/ann.json"
jq -e '(.ticket | test("^[0-9a-f]{32}$")) and (.seed | test("^[0-9a-f]{16}$")) and .course == "open" and
       .name == "Ann" and (.key | test("^[0-9a-f]{32}$")) and (.issued | test("Z$")) and (.expires | test("Z$"))' \
  "$work/ann.json" >/dev/null && ok || bad "the ticket: $(cat "$work/ann.json")"
play "$work/ann.json" "$work/ann.demo"
best=$("$bin/morvik" --verify "$work/ann.demo" --data-dir "$bin" | jq -r .score)
[ "$best" -gt 0 ] && ok || bad "the game of throws scored $best"
# Its game took a few dozen seconds of play, which the test does not wait out.
morvik_backdate "$work/ann.json" 3600
req POST "/api/runs?name=Eve&score=99999999&combo=99" --data-binary @"$work/ann.demo" \
  -H 'Content-Type: application/octet-stream'
id=$(jq -r .id <<<"$body")
[ "$code" = 202 ] && [ "$(jq -r .status <<<"$body")" = pending ] && ok || bad "the submission: $code $body"

# While it is replayed: what is refused at once.
echo "== refused at once, storing nothing"
before=$(runs)
other=$(sed 's/[0-9]/9/g' <<<"$version")
[ "$other" = "$version" ] && other=$(sed 's/[0-9]/8/g' <<<"$version")
# Another version's demo, its checksum made right again (gzip keeps the same CRC-32).
perl -0777 -pe "s/\Q$version\E/$other/" "$src/tests/demos/bot.demo" | head -c -4 >"$work/other.part"
{ cat "$work/other.part"; gzip -c "$work/other.part" | tail -c 8 | head -c 4; } >"$work/other.demo"
req POST "/api/runs?name=Old" --data-binary @"$work/other.demo"; refused "another version" 422 "$other"
grep -q "this server plays $version" "$work/body" && ok || bad "the reason does not say which version this is: $body"
head -c 5000 /dev/urandom >"$work/garbage"
req POST "/api/runs?name=Eve" --data-binary @"$work/garbage"; refused "garbage" 422 "not a demo"
req POST "/api/runs?name=Eve" -H 'Content-Type: application/octet-stream' --data-binary ''; refused "an empty body" 400 "empty"
head -c $((2 << 20)) /dev/zero >"$work/big"
req POST "/api/runs?name=Eve" --data-binary @"$work/big"; refused "2 MiB" 413 "larger"
req POST "/api/runs?name=Bot" --data-binary @"$src/tests/demos/bot.demo"; refused "a replay without a ticket" 422 "ticket"
req POST "/api/tickets" --data '{"name": "<img src=x onerror=alert(1)>", "course": "open"}'
refused "a name holding markup" 400 "name"
req POST "/api/tickets" --data '{"name": "abcdefghijklmnopqrstu"}'; refused "a long name" 400 "too long"
req POST "/api/tickets" --data '{"course": "open"}'; refused "no name" 400 "name"
req POST "/api/tickets" --data '{"name": "Ann", "course": "weekly"}'; refused "another course" 400 "course"
req POST "/api/tickets" --data 'name=Ann'; refused "a ticket asked for without JSON" 400 "JSON"
for i in 1 2 3 4; do req POST "/api/runs?name=Flood" -H 'X-Forwarded-For: 10.1.2.3' --data-binary @"$work/garbage"; done
refused "the fourth submission in a minute from one address" 429 "a minute"
[ "$(runs)" = "$before" ] && ok || bad "refused submissions were stored ($before runs before, $(runs) after)"

echo "== the known game's verdict"
run=$(verdict "$id")
if jq -e --argjson best "$best" --arg v "$version" \
     '.status == "verified" and .score == $best and .games == 1 and .course == "open" and
      .version == $v and .name == "Ann" and .reason == null and (.date | test("^[0-9]{4}-"))' <<<"$run" >/dev/null; then
  ok; echo "verified: $run"
else
  bad "the known game: $run (its replay's best is $best)"
fi
req POST "/api/runs?name=Bob" --data-binary @"$work/ann.demo"
[ "$code" = 200 ] && [ "$(jq -r .id <<<"$body")" = "$id" ] && ok || bad "the same bytes again: $code $body"
curl -s -o "$work/got.demo" "$url/api/runs/$id/demo"
cmp -s "$work/got.demo" "$work/ann.demo" && ok || bad "the run's demo is not the bytes sent"
req GET "/api/scores?limit=5"
jq -e --arg v "$version" --argjson best "$best" \
  '.version == $v and (.scores | length) == 1 and .scores[0].rank == 1 and .scores[0].name == "Ann" and
   .scores[0].score == $best' <<<"$body" >/dev/null && ok || bad "the board: $body"
req GET "/api/scores?limit=0"; refused "a limit of 0" 400 "limit"

echo "== the board from each server's memory: its tag, 304, and a second server in step"
curl -s -D "$work/headers" -o "$work/board1" "$url/api/scores"
etag=$(sed -n 's/^ETag: *\(.*\)\r$/\1/Ip' "$work/headers")
[ -n "$etag" ] && grep -qi '^Cache-Control: public, max-age=5' "$work/headers" && ok ||
  bad "the board's answer has no tag or no public caching: $(cat "$work/headers")"
c=$(curl -s -o "$work/board2" -w '%{http_code}' -H "If-None-Match: $etag" "$url/api/scores")
[ "$c" = 304 ] && [ ! -s "$work/board2" ] && ok || bad "a matching If-None-Match answered $c"
c=$(curl -s -o /dev/null -w '%{http_code}' -H 'If-None-Match: "other"' "$url/api/scores")
[ "$c" = 200 ] && ok || bad "another tag answered $c"
first_pid=$MORVIK_SERVER_PID first_url=$MORVIK_URL
morvik_server_start "$work/server2.log" --listen 127.0.0.1:0 --workers 0 || exit 1
second_pid=$MORVIK_SERVER_PID second_url=$MORVIK_URL
MORVIK_SERVER_PID=$first_pid MORVIK_URL=$first_url
morvik_ticket "$url" Cy open >"$work/cy.json"
play "$work/cy.json" "$work/cy.demo"
morvik_backdate "$work/cy.json" 3600
req POST "/api/runs" --data-binary @"$work/cy.demo"
cy=$(jq -r .id <<<"$body")
[ "$(jq -r .status <<<"$(verdict "$cy")")" = verified ] || bad "the second game was not verified"
t0=$(date +%s%N)
for i in $(seq 1 100); do
  curl -s "$second_url/api/scores" | jq -e '[.scores[].name] | index("Cy") != null' >/dev/null && break
  sleep 0.05
done
ms=$((($(date +%s%N) - t0) / 1000000))
if curl -s "$second_url/api/scores" | jq -e '[.scores[].name] | sort == ["Ann", "Cy"]' >/dev/null; then
  ok; echo "the second server showed the new run ${ms} ms after its verdict was read from the first"
else
  bad "the second server's board: $(curl -s "$second_url/api/scores")"
fi
kill -TERM "$second_pid"; wait "$second_pid" 2>/dev/null
req GET "/api/runs/999999"; refused "a run that is not there" 404 "no run"

echo "== a body that comes too slowly"
port=${url##*:}
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'POST /api/runs?name=Slow HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\n' >&3
for i in 1 2 3 4; do printf 'xxxx' >&3 2>/dev/null; sleep 1; done
slow=$(timeout 10 head -c 200 <&3 | head -1)
exec 3<&-
[[ $slow == *" 408 "* ]] && ok || bad "a slow body: '$slow'"

echo "== the site: its own files only, with the page's safety headers"
curl -s -D "$work/headers" -o "$work/page" "$url/"
grep -qi "^Content-Security-Policy: default-src 'self'" "$work/headers" && grep -qi '^X-Content-Type-Options: nosniff' \
  "$work/headers" && grep -q '<title>board' "$work/page" && ok || bad "the page or its headers: $(cat "$work/headers")"
for p in /../secret.txt /%2e%2e/secret.txt /sub/../../secret.txt /out.txt /.hidden /sub; do
  c=$(curl -s --path-as-is -o "$work/page" -w '%{http_code}' "$url$p")
  if grep -q -e secret -e hidden "$work/page" || [ "$c" = 200 ]; then bad "$p answered $c: $(head -c 80 "$work/page")"; else ok; fi
done

echo "== morvik --submit lands on the same board"
morvik_ticket "$url" "Desk Top" open >"$work/desk.json"
play "$work/desk.json" "$work/desk.demo"
morvik_backdate "$work/desk.json" 3600
mkdir -p "$work/config/morvik"
printf 'leaderboard %s\n' "$url" >"$work/config/morvik/settings.txt"
out=$(XDG_CONFIG_HOME=$work/config "$bin/morvik" --submit "$work/desk.demo" 2>&1)
status=$?
[ $status = 0 ] && [[ $out == *verified* ]] && ok || bad "morvik --submit ($status): $out"
out=$("$bin/morvik" --submit "$src/tests/demos/bot.demo" --server "$url" 2>&1)
[ $? = 2 ] && [[ $out == *"not played on a ticket"* ]] && ok || bad "a replay without a ticket was sent: $out"
curl -s "$url/api/scores" | jq -e '[.scores[].name] | index("Desk Top") != null' >/dev/null && ok ||
  bad "the desktop's run is not on the board"
out=$("$bin/morvik" --submit "$work/desk.demo" --server http://example.invalid 2>&1)
[ $? = 2 ] && [[ $out == *"only to this machine"* ]] && ok || bad "plain http beyond the loopback: $out"
# The game's own process loads no TLS library; a copy without its helper says what is missing.
! ldd "$bin/morvik" | grep -qE 'libssl|libcrypto|httplib' && ok || bad "the game itself links the HTTP client"
mkdir -p "$work/alone" && cp "$bin/morvik" "$work/alone/"
out=$("$work/alone/morvik" --submit "$work/desk.demo" --server "$url" 2>&1)
[ $? = 1 ] && [[ $out == *"needs morvik-submit"* ]] && ok || bad "--submit without its helper: $out"
# A board whose certificate nobody vouches for is not sent to.
if command -v openssl >/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -days 1 -keyout "$work/key.pem" -out "$work/cert.pem" \
    >/dev/null 2>&1
  for try in 1 2 3 4 5; do  # a free port: the server is still there a moment later
    tls_port=$((20000 + RANDOM % 20000))
    openssl s_server -quiet -accept "127.0.0.1:$tls_port" -cert "$work/cert.pem" -key "$work/key.pem" -www \
      >/dev/null 2>&1 &
    tls_pid=$!
    sleep 1
    kill -0 "$tls_pid" 2>/dev/null && break
  done
  # Listening, however slowly a loaded machine started it.
  for i in $(seq 1 100); do (exec 3<>"/dev/tcp/127.0.0.1/$tls_port") 2>/dev/null && break; sleep 0.1; done
  out=$(timeout 30 "$bin/morvik" --submit "$work/desk.demo" --server "https://127.0.0.1:$tls_port" 2>&1)
  [ $? = 1 ] && [[ $out == *"not trusted"* ]] && ok || bad "a self-signed certificate was not refused: $out"
  kill "$tls_pid" 2>/dev/null; wait "$tls_pid" 2>/dev/null; tls_pid=
fi

echo "== the server refuses root, and stops cleanly on SIGTERM"
if [ "$(id -u)" = 0 ]; then
  out=$("$bin/morvik-server" --db "$MORVIK_DB" 2>&1)
  [ $? = 2 ] && [[ $out == *"refusing to run as root"* ]] && ok || bad "root was not refused: $out"
fi
morvik_server_stop && grep -q "morvik-server: stopped" "$work/server.log" && ok || bad "no clean stop: $(tail -3 "$work/server.log")"

echo "$pass passed, $fail failed"
[ $fail -eq 0 ]
