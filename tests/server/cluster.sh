# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the leaderboard's tests and scripts: a throwaway PostgreSQL
# cluster in a folder of its own, reached only through a Unix socket there,
# and the leaderboard server run as an unprivileged user.
#
#   morvik_cluster_start DIR   initdb and start in DIR (made by the caller);
#                              sets MORVIK_DB, a libpq connection string
#   morvik_cluster_stop        stops it (safe to call twice, and from a trap)
#   morvik_as_server CMD...    runs CMD as the user the server runs as
#   morvik_server_start LOG ARGS...  starts the server in the background
#   morvik_server_stop         stops it with SIGTERM; its exit status
#   morvik_server_copy BIN DIR copies morvik-server and the course files into DIR,
#                              where that user can read them
#   morvik_ticket URL NAME COURSE [KEY]   asks the board for a ticket; its JSON on stdout
#   morvik_backdate TICKET.json SECONDS   the ticket issued that much earlier: a test does not
#                              wait out the time a game takes at its pace
#   morvik_retick DEMO TICKET.json OUT [BEST]  the demo's game under another ticket of its luck
#
# As root the cluster runs as `postgres` and the server as `nobody`, since
# neither will run as root; as anyone else both run as that user.

morvik_pg_bin() {
  local d
  d=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  [ -n "$d" ] && [ -x "$d/initdb" ] || { echo "no PostgreSQL server found (Debian's postgresql)" >&2; return 1; }
  echo "$d"
}

morvik_as_pg() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

# The words that run a command as the server's user: setpriv runs the
# command itself (no process in between), so that a process started in the
# background as "${MORVIK_AS_SERVER[@]}" CMD & has the server's own id in $!.
if [ "$(id -u)" -eq 0 ]; then
  MORVIK_AS_SERVER=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups --)
else
  MORVIK_AS_SERVER=()
fi
morvik_as_server() { "${MORVIK_AS_SERVER[@]}" "$@"; }

morvik_cluster_start() {
  MORVIK_PG_DIR=$1
  local bin
  bin=$(morvik_pg_bin) || return 1
  MORVIK_PG_BIN=$bin
  chmod 755 "$MORVIK_PG_DIR"
  mkdir -p "$MORVIK_PG_DIR/pg" "$MORVIK_PG_DIR/sock"
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$MORVIK_PG_DIR/pg" "$MORVIK_PG_DIR/sock"; fi
  chmod 755 "$MORVIK_PG_DIR/sock"
  morvik_as_pg "$bin/initdb" -D "$MORVIK_PG_DIR/pg/data" -U pgadmin --auth=trust -E UTF8 --locale=C --no-sync \
    >"$MORVIK_PG_DIR/pg/initdb.log" 2>&1 || { cat "$MORVIK_PG_DIR/pg/initdb.log" >&2; return 1; }
  # No TCP at all: only the socket in the cluster's own folder. A test's
  # cluster needs no durability (MORVIK_PG_OPTS replaces that choice).
  morvik_as_pg "$bin/pg_ctl" -D "$MORVIK_PG_DIR/pg/data" -l "$MORVIK_PG_DIR/pg/log" -w -t 60 \
    -o "-k $MORVIK_PG_DIR/sock -p 5432 -c listen_addresses='' ${MORVIK_PG_OPTS--c fsync=off} -c max_connections=200" start \
    >/dev/null || { cat "$MORVIK_PG_DIR/pg/log" >&2; return 1; }
  MORVIK_PG_RUNNING=1
  # The server's own role owns its database and nothing else.
  morvik_psql_admin -c "CREATE ROLE morvik LOGIN" -c "CREATE DATABASE morvik OWNER morvik" >/dev/null || return 1
  MORVIK_DB="host=$MORVIK_PG_DIR/sock port=5432 dbname=morvik user=morvik"
  export MORVIK_DB
}

morvik_psql_admin() {
  morvik_as_pg "$MORVIK_PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$MORVIK_PG_DIR/sock" -p 5432 -U pgadmin \
    -d postgres "$@"
}

# psql on the server's database: morvik_sql "SELECT ..." prints the bare result.
morvik_sql() {
  morvik_as_pg "$MORVIK_PG_BIN/psql" -X -q -A -t -v ON_ERROR_STOP=1 -h "$MORVIK_PG_DIR/sock" -p 5432 -U pgadmin \
    -d morvik -c "$1"
}

morvik_cluster_stop() {
  [ "${MORVIK_PG_RUNNING:-0}" = 1 ] || return 0
  MORVIK_PG_RUNNING=0
  morvik_as_pg "$MORVIK_PG_BIN/pg_ctl" -D "$MORVIK_PG_DIR/pg/data" -m immediate -w stop >/dev/null 2>&1 || true
}

morvik_server_copy() {
  local bin=$1 dir=$2 n
  mkdir -p "$dir"
  cp "$bin/morvik-server" "$dir/"
  for n in $(seq 1 30); do cp "$bin/Morvik_$n.kvd" "$dir/"; done
  chmod -R a+rX "$dir"
}

# morvik_server_start LOG ARGS...: starts the server in the background as the
# server's user; sets MORVIK_SERVER_PID and MORVIK_URL once it listens.
morvik_server_start() {
  local log=$1
  shift
  : >"$log"
  chmod a+w "$log"
  "${MORVIK_AS_SERVER[@]}" "$MORVIK_SERVER_BIN/morvik-server" --db "$MORVIK_DB" --data-dir "$MORVIK_SERVER_BIN" "$@" \
    >>"$log" 2>&1 &
  MORVIK_SERVER_PID=$!
  local i
  for i in $(seq 1 300); do
    MORVIK_URL=$(sed -n 's|^morvik-server: serving \(http://[^/]*\)/.*|\1|p' "$log" | head -1)
    [ -n "$MORVIK_URL" ] && return 0
    kill -0 "$MORVIK_SERVER_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "the server did not start:" >&2
  cat "$log" >&2
  return 1
}

# Stops the server started last (SIGTERM, then waits); its exit status.
morvik_server_stop() {
  [ -n "${MORVIK_SERVER_PID:-}" ] || return 0
  local pid=$MORVIK_SERVER_PID status=0
  MORVIK_SERVER_PID=
  kill -TERM "$pid" 2>/dev/null
  wait "$pid" || status=$?
  return $status
}

morvik_ticket() {
  local key=${4:-}
  curl -s -X POST ${key:+-H "Morvik-Key: $key"} -H 'Content-Type: application/json' \
    --data "{\"name\": \"$2\", \"course\": \"$3\"}" "$1/api/tickets"
}

morvik_backdate() {
  morvik_sql "UPDATE tickets SET issued = issued - make_interval(secs => $2)
              WHERE id = decode('$(jq -r .ticket "$1")', 'hex')" >/dev/null
}

morvik_retick() {
  python3 "$(dirname "${BASH_SOURCE[0]}")/retick.py" "$@"
}


# A test that plays one day's course and then looks at that day's board, or
# asks a second ticket of the same day, waits out the last minutes of a UTC
# day (at most $1 seconds, default 300) so that its day cannot change under it.
morvik_clear_of_midnight() {
  local left=$((86400 - $(date -u +%s) % 86400))
  if [ "$left" -lt "${1:-300}" ]; then
    echo "waiting ${left} s for the next UTC day, so that a test's day does not change under it"
    sleep $((left + 3))
  fi
}

# What every test against a board shares: a work folder ($work), counts of
# the checks passed and failed (ok, bad), and at the exit the test's own
# morvik_test_cleanup (when it has one), then the server and the cluster stopped
# and the folder removed.
morvik_test_begin() {
  work=$(mktemp -d)
  pass=0 fail=0
  trap morvik_test_end EXIT
}
ok() { pass=$((pass + 1)); }
bad() { echo "FAIL: $*"; fail=$((fail + 1)); }
morvik_test_end() {
  if declare -F morvik_test_cleanup >/dev/null; then morvik_test_cleanup; fi
  morvik_server_stop >/dev/null 2>&1
  morvik_cluster_stop
  rm -rf "$work"
}
