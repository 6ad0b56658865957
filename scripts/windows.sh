#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Morvik for 64-bit Windows on Debian 12, with the mingw-w64 cross
# compilers:
#
#   build-win/morvik-VERSION-windows-x64.zip   the game's folder, zipped
#   build-win/morvik-VERSION-setup.exe         its installer (NSIS)
#
#   scripts/windows.sh [--host-tree DIR] [--tests]
#
# Installs what it needs from Debian (as root through apt-get, else it prints
# the command). SDL2, SDL2_mixer, libpng and zlib are built from Debian's
# source packages by scripts/windows-libs.sh, once, into the machine's cache
# (~/.cache/morvik/windows-libs/, or $MORVIK_WINDOWS_LIBS_CACHE), where every
# checkout and every CI run on the machine finds them again.
# The sheets' source and the data files (course, sounds, the music's renders)
# are made by a native tree, build-win/host/ (or DIR, a native build tree
# such as build/); --tests builds morvik_tests.exe too (tests/windows/run.sh
# runs it under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
host= tests=OFF
while [ $# -gt 0 ]; do
  case $1 in
    --host-tree) host=$(cd "${2:?--host-tree needs a folder}" && pwd); shift ;;
    --tests) tests=ON ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "windows.sh: unknown argument $1 (use --host-tree DIR, --tests)" >&2; exit 2 ;;
  esac
  shift
done

source scripts/setup.sh
# Only what this build needs (the native game's own list is setup.sh's).
MORVIK_PACKAGES=(g++ cmake ninja-build pkg-config zlib1g-dev libpng-dev)
morvik_install_packages g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix dpkg-dev \
  nsis zip googletest fluidsynth musescore-general-soundfont-small vorbis-tools
out=$root/build-win
version=$(sed -n 's/^project(morvik VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# 1. The libraries, from Debian's sources (reused while nothing they depend on changes).
cache=${MORVIK_WINDOWS_LIBS_CACHE:-${XDG_CACHE_HOME:-${HOME:-$out}/.cache}/morvik/windows-libs}
libs=$(scripts/windows-libs.sh "$cache" | tail -n 1)
export MORVIK_WINDOWS_LIBS=$libs

# 2. The generators run natively: the sheets' source, the course segments,
#    the effects, the MIDI pieces and their renders, and the icon's drawer.
if [ -z "$host" ]; then
  host=$out/host
  if [ ! -f "$host/build.ninja" ]; then
    cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVIK_SDL=OFF -DMORVIK_TESTS=OFF \
      -DMORVIK_BENCH=OFF -DMORVIK_SERVER=OFF "${launcher[@]}" >/dev/null
  fi
fi
ninja -C "$host" -j2 generated/sheet_art_data.cpp morvik_stages morvik_sounds morvik_iconmake >/dev/null

# 3. The game for Windows.
tree=$out/x64
if [ ! -f "$tree/build.ninja" ] || ! grep -q "MORVIK_WINDOWS_TESTS:BOOL=$tests" "$tree/CMakeCache.txt" ||
   ! grep -q "MORVIK_WINDOWS_LIBS:PATH=$libs\$" "$tree/CMakeCache.txt"; then
  rm -rf "$tree"
  cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMORVIK_HOST_TREE="$host" -DMORVIK_WINDOWS_LIBS="$libs" \
    -DMORVIK_TESTS=OFF -DMORVIK_BENCH=OFF -DMORVIK_SERVER=OFF -DMORVIK_WINDOWS_TESTS=$tests \
    -DMORVIK_INSTALL_BINDIR=. "${launcher[@]}" >/dev/null
fi
cmake --build "$tree" -- -j2
[ "$tests" = ON ] && cmake --build "$tree" --target morvik_tests -- -j2

# 4. The game's folder: everything it installs, the programs and DLLs stripped.
name=morvik-$version
stage=$out/stage/$name
rm -rf "$out/stage"
cmake --install "$tree" --prefix "$stage" >/dev/null
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll

# 5. The zip, its files in a folder of their own.
zip=$out/$name-windows-x64.zip
rm -f "$zip"
(cd "$out/stage" && TZ=UTC zip -q -r -X -9 "$zip" "$name")

# 6. The installer: what it puts in and takes out is listed from the folder.
files=$out/installer-files.nsh
{
  echo '!ifdef INSTALL_FILES'
  (cd "$stage" && find . -type d | sort | sed 's|^\./\{0,1\}||') | while read -r d; do
    echo "  SetOutPath \"\$INSTDIR${d:+\\${d//\//\\}}\""
    (cd "$stage/${d:-.}" && find . -maxdepth 1 -type f | sort | sed 's|^\./||') | while read -r f; do
      echo "  File \"$stage/${d:+$d/}$f\""
    done
  done
  echo '  SetOutPath "$INSTDIR"'
  echo '!endif'
  echo '!ifdef UNINSTALL_FILES'
  (cd "$stage" && find . -type f | sort | sed 's|^\./||') | while read -r f; do
    echo "  Delete \"\$INSTDIR\\${f//\//\\}\""
  done
  (cd "$stage" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||') | while read -r d; do
    echo "  RMDir \"\$INSTDIR\\${d//\//\\}\""
  done
  echo '!endif'
} >"$files"
setup=$out/$name-setup.exe
size_kb=$(du -sk "$stage" | cut -f1)
makensis -V1 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$files" -DOUT="$setup" -DSIZE_KB="$size_kb" \
  -DICON="$tree/morvik.ico" assets/windows/morvik.nsi

echo "windows.sh: $zip ($(($(stat -c %s "$zip") / 1024)) KiB), $setup ($(($(stat -c %s "$setup") / 1024)) KiB)"
