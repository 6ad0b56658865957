#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The leaderboard's panel in chromium (board_test.js, playwright-core from
# npm) against a real morvik-server over a throwaway PostgreSQL cluster,
# serving the site that scripts/web.sh built: today's course played on the
# page by keys at the game's own pace, about two minutes.
#   tests/web/board.sh [BUILD_DIR]      (default: build)
# Screenshots go to build-web/shots/.
set -u
src=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "${1:-$src/build}" && pwd)
source "$src/scripts/setup.sh"
MORVIK_PACKAGES=()
need=()
command -v node >/dev/null 2>&1 || need+=(nodejs)
command -v npm >/dev/null 2>&1 || need+=(npm)
[ -x /usr/bin/chromium ] || need+=(chromium)
[ ${#need[@]} -eq 0 ] || morvik_install_packages "${need[@]}"
set +e
[ -f "$src/build-web/site/index.html" ] || { echo "FAIL: no site: run scripts/web.sh first"; exit 1; }
[ -x "$bin/morvik-server" ] || { echo "FAIL: no $bin/morvik-server"; exit 1; }
source "$src/tests/server/cluster.sh"
morvik_test_begin
morvik_cluster_start "$work" || exit 1
MORVIK_SERVER_BIN=$work/bin
morvik_server_copy "$bin" "$MORVIK_SERVER_BIN"
cp -r "$src/build-web/site" "$work/site"
chmod -R a+rX "$work/site"
morvik_server_start "$work/server.log" --listen 127.0.0.1:0 --site "$work/site" --per-minute 0 || exit 1
# A name no ticket could be asked for, put straight into the database as a
# run on the open board: the page must show it as text all the same.
hostile='<img src=x onerror=alert(1)>'
version=$("$bin/morvik" --version)
morvik_sql "INSERT INTO runs (digest, name, address, demo, status, score, combo, frames, games, version, board, course)
            VALUES (sha256('x'), '$hostile', 'test', 'x', 'verified', 1, 0, 1, 1, '$version', '$version open', 'open')" ||
  exit 1
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
(cd "$src/tests/web" && npm ci --no-audit --no-fund --silent >/dev/null 2>&1) ||
  { echo "FAIL: npm ci in tests/web failed (playwright-core comes from npm)"; exit 1; }
mkdir -p "$src/build-web/shots"
morvik_clear_of_midnight 400
node "$src/tests/web/board_test.js" "$MORVIK_URL" "$hostile" "$src/build-web/shots"
status=$?
[ $status -eq 0 ] || { echo "the server said:"; tail -5 "$work/server.log"; }
exit $status
