#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the build, the game and the tests need on Debian 12, then
# configures and builds. Sourced by play.sh and test.sh; idempotent, and
# quick when nothing is missing.
set -euo pipefail

MORVIK_PACKAGES=(
  g++ cmake ninja-build pkg-config       # the compiler and the build
  libsdl2-dev libsdl2-mixer-dev          # the real window, keys, controllers and sound
  libpng-dev                             # screenshots, shots, sheet dumps and icons
  zlib1g-dev                             # deflated demo files
  fluidsynth vorbis-tools                # the music, rendered while building and stored as Ogg Vorbis
  musescore-general-soundfont-small      # the General MIDI soundfont it is rendered with (MIT)
  libgtest-dev libbenchmark-dev          # the unit tests and the benchmarks
  xvfb xdotool x11-utils openbox         # the real-window tests: a display, keys, xprop/xmessage, a window manager
  clang libclang-rt-14-dev               # the fuzz targets (libFuzzer, sanitizers)
  desktop-file-utils appstream           # validating the installed desktop entry and metainfo
  libcpp-httplib-dev libssl-dev          # HTTP(S) for morvik --submit and the leaderboard server
  libpqxx-dev nlohmann-json3-dev         # the leaderboard server: PostgreSQL and JSON
  libboost-dev                           # its HTTP front: Boost.Beast over Asio (headers only)
  postgresql curl jq openssl python3     # the leaderboard's tests: a throwaway cluster, requests to it on the loopback, answers
)

morvik_install_packages() {
  local missing=()
  for p in "${MORVIK_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local cmd=(apt-get install -y --no-install-recommends "${missing[@]}")
  echo "morvik: installing ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${cmd[@]}"
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo DEBIAN_FRONTEND=noninteractive apt-get update -qq
    sudo DEBIAN_FRONTEND=noninteractive "${cmd[@]}"
  else
    echo "morvik: these Debian packages are missing; install them and run this again:" >&2
    echo "  sudo apt-get update && sudo ${cmd[*]}" >&2
    exit 1
  fi
}

# morvik_build DIR BUILD_TYPE [cmake options...]
morvik_build() {
  local dir=$1 type=$2
  shift 2
  local src
  src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  # ccache, where the machine has it, makes a second tree or a rebuild cheap.
  local launcher=()
  command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" "$@" >/dev/null
  fi
  cmake --build "$dir" -- -k 0
}
