#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Morvik for the browser: the site in build-web/site/ (index.html and
# all it loads; copy the folder to any static host to publish it) and the
# headless runner build-web/morvik-headless.js (run with node).
#
#   scripts/web.sh                 build
#   scripts/web.sh --serve [PORT]  build, then serve the site on 127.0.0.1 (8000)
#
# Installs what the build needs from Debian (as root through apt-get, else it
# prints the command): emscripten, and for the native tree that makes the
# data, fluidsynth with the General MIDI soundfont and oggenc, which render
# the two pieces (the same files the desktop plays).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
serve=0 port=8000
while [ $# -gt 0 ]; do
  case $1 in
    --serve) serve=1; if [ $# -gt 1 ] && [[ $2 =~ ^[0-9]+$ ]]; then port=$2; shift; fi ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "web.sh: unknown argument $1 (use --serve [PORT])" >&2; exit 2 ;;
  esac
  shift
done

source scripts/setup.sh
# Only what the web build needs (the native game's own list is setup.sh's).
MORVIK_PACKAGES=(g++ cmake ninja-build pkg-config zlib1g-dev libpng-dev)
morvik_install_packages emscripten nodejs fluidsynth musescore-general-soundfont-small vorbis-tools python3
out=$root/build-web
# Debian's emcc finds its acorn only here.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# 1. The generators run natively: the sheets' source, the course segments,
#    the effects, the MIDI pieces and their renders, and the app's icons.
if [ ! -f "$out/host/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$out/host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVIK_SDL=OFF -DMORVIK_TESTS=OFF \
    -DMORVIK_BENCH=OFF -DMORVIK_SERVER=OFF "${launcher[@]}" >/dev/null
fi
ninja -C "$out/host" -j2 generated/sheet_art_data.cpp morvik_stages morvik_sounds morvik_iconmake >/dev/null

# 2. The game for WebAssembly.
if [ ! -f "$out/wasm/build.ninja" ]; then
  emcmake cmake -S web -B "$out/wasm" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVIK_HOST_TREE="$out/host" \
    -DMORVIK_OUT="$out" >/dev/null
fi
cmake --build "$out/wasm" -- -j2

size=$(du -sb "$out/site" | cut -f1)
echo "web.sh: the site is $out/site ($((size / 1024)) KiB); the headless runner is $out/morvik-headless.js"
# A first visit fetches the whole site, from hosts that compress nothing.
if [ "$size" -gt 2500000 ]; then
  echo "web.sh: the site is larger than 2.5 MB" >&2
  exit 1
fi

if [ $serve -eq 1 ]; then
  echo "web.sh: serving http://127.0.0.1:$port/ (Ctrl+C ends)"
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$out/site"
fi
