#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A leaderboard on this machine, in one command: installs what it needs
# (Debian's postgresql and the server's libraries), builds the game, the
# server and the site, starts a PostgreSQL cluster of its own under
# build-server/ as an unprivileged user, and serves the site and the board
# on http://127.0.0.1:8080/. Ctrl+C stops all of it.
#
#   scripts/leaderboard.sh [--port PORT] [--workers N]
#
# The cluster's data stay in build-server/ between runs (the board is kept);
# remove that folder to start afresh. Play for it from the desktop with
#   build/morvik --board daily --name NAME --server http://127.0.0.1:8080
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
port=8080 workers=2
while [ $# -gt 0 ]; do
  case $1 in
    --port) port=${2:?--port needs a number}; shift ;;
    --workers) workers=${2:?--workers needs a number}; shift ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "leaderboard.sh: unknown argument $1 (try --help)" >&2; exit 2 ;;
  esac
  shift
done
[[ $port =~ ^[0-9]+$ ]] && [[ $workers =~ ^[0-9]+$ ]] || { echo "leaderboard.sh: numbers, please" >&2; exit 2; }

source scripts/setup.sh
morvik_install_packages
echo "leaderboard.sh: building the game and the server (build/)"
morvik_build build Release >/dev/null
echo "leaderboard.sh: building the site (build-web/)"
scripts/web.sh >/dev/null
source tests/server/cluster.sh

# The cluster and the server run as users of their own when this is root;
# both must reach the folder, else a throwaway one under /tmp serves.
state=$root/build-server
mkdir -p "$state"
if [ "$(id -u)" -eq 0 ] && ! { runuser -u postgres -- test -x "$state" && runuser -u nobody -- test -x "$state"; }; then
  state=$(mktemp -d /tmp/morvik-leaderboard-XXXXXX)
  echo "leaderboard.sh: build-server/ is out of reach of the users postgres and nobody; using $state for this run"
fi
MORVIK_PG_DIR=$state
MORVIK_PG_BIN=$(morvik_pg_bin)
server_pid=
stop() {
  trap - INT TERM EXIT
  if [ -n "$server_pid" ]; then kill -TERM "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null || true; fi
  morvik_cluster_stop
  echo "leaderboard.sh: stopped"
}
trap stop INT TERM EXIT
if [ -f "$state/pg/data/PG_VERSION" ]; then
  chmod 755 "$state"
  morvik_as_pg "$MORVIK_PG_BIN/pg_ctl" -D "$state/pg/data" -l "$state/pg/log" -w -t 60 \
    -o "-k $state/sock -p 5432 -c listen_addresses=''" start >/dev/null || { cat "$state/pg/log" >&2; exit 1; }
  MORVIK_PG_RUNNING=1
  MORVIK_DB="host=$state/sock port=5432 dbname=morvik user=morvik"
else
  rm -rf "$state/pg" "$state/sock"
  MORVIK_PG_OPTS="" morvik_cluster_start "$state"
fi
echo "leaderboard.sh: PostgreSQL runs in $state/pg (its socket in $state/sock)"

# What the server reads, where its user can read it.
MORVIK_SERVER_BIN=$state/bin
rm -rf "$state/bin" "$state/site"
morvik_server_copy build "$state/bin"
cp -r build-web/site "$state/site"
chmod -R a+rX "$state/site"
: >"$state/server.log"
chmod a+w "$state/server.log"
"${MORVIK_AS_SERVER[@]}" "$state/bin/morvik-server" --db "$MORVIK_DB" --data-dir "$state/bin" --site "$state/site" \
  --listen "127.0.0.1:$port" --workers "$workers" > >(tee -a "$state/server.log") 2>&1 &
server_pid=$!
echo "leaderboard.sh: the board and the game on http://127.0.0.1:$port/ (Ctrl+C stops it)"
wait "$server_pid" || true
server_pid=
