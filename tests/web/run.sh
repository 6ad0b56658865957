#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The browser build's tests (after scripts/web.sh has built build-web/):
#  1. the WebAssembly headless runner replays the committed regression demos
#     to their committed digests, byte for byte;
#  2. a demo recorded by that runner plays back to the same digest;
#  3. the site in Debian's chromium (playwright-core from npm): on a desktop
#     page (browser_test.js), then on a touch phone and offline (phone_test.js);
#  4. the site in Debian's firefox-esr (puppeteer-core from npm, over WebDriver
#     BiDi; firefox_test.js).
# Screenshots of the browser tests go to build-web/shots/.
set -u
src=$(cd "$(dirname "$0")/../.." && pwd)
# npm brings playwright-core and puppeteer-core; the browsers are Debian's.
source "$src/scripts/setup.sh"
MORVIK_PACKAGES=()
need=()
command -v node >/dev/null 2>&1 || need+=(nodejs)
command -v npm >/dev/null 2>&1 || need+=(npm)   # some nodejs builds carry their own npm
[ -x /usr/bin/chromium ] || need+=(chromium)
[ -x /usr/bin/firefox-esr ] || need+=(firefox-esr)
[ ${#need[@]} -eq 0 ] || morvik_install_packages "${need[@]}"
set +e
out=$src/build-web
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
status=0

# The runner stands in for the native program: the same options, the data beside it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$out"/data/* "$work"/
printf '#!/bin/sh\nexec node "%s" "$@"\n' "$out/morvik-headless.js" >"$work/morvik"
chmod +x "$work/morvik"
echo "== the regression demos in WebAssembly"
bash "$src/tests/regression_demos.sh" "$work" "$src" || status=1

echo "== a demo recorded in WebAssembly plays back the same"
printf '@0 Space\nP1 Right+Z\nP60 Up\nP90 Left+Space\nP200 Escape\n' >"$work/keys.txt"
if "$work/morvik" --headless --data-dir "$work" --script "$work/keys.txt" --until-ms 40000 \
     --record-demo "$work/rec.demo" --trace-digest "$work/rec.digest" >"$work/rec.out" 2>&1 &&
   "$work/morvik" --headless --data-dir "$work" --play-demo "$work/rec.demo" \
     --trace-digest "$work/replay.digest" >>"$work/rec.out" 2>&1 &&
   [ -s "$work/rec.digest" ] && cmp -s "$work/rec.digest" "$work/replay.digest"; then
  echo "recorded demo: $(wc -l <"$work/rec.digest") frames as recorded"
else
  echo "FAIL: the recorded demo does not play back the same"; cat "$work/rec.out"; status=1
fi

echo "== the site in chromium and firefox-esr"
if (cd "$src/tests/web" && npm ci --no-audit --no-fund --silent >/dev/null 2>&1); then
  mkdir -p "$out/shots"
  for t in browser_test phone_test firefox_test; do
    echo "-- $t"
    start=$(date +%s)
    node "$src/tests/web/$t.js" "$out/site" "$out/shots" || status=1
    echo "$t: $(($(date +%s) - start)) s"
  done
else
  echo "FAIL: npm ci in tests/web failed (playwright-core and puppeteer-core come from npm)"; status=1
fi
[ $status -eq 0 ] && echo "web: all passed"
exit $status
