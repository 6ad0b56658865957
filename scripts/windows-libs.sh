#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libraries the Windows game links, SDL2, SDL2_mixer, libpng and
# zlib, from Debian's own source packages (so Debian's patches, security
# fixes among them, come with them) with the mingw-w64 cross compilers, into
#
#   ROOT/<the four source versions>_<the compiler's version>_<digest>/
#
# where the digest is this script's and the toolchain file's. A folder that
# is there and complete is used as it is; the last line printed is its path.
# Two builds at once wait for each other (a lock on ROOT/.lock): the
# folder is made at its final place (pkg-config files hold absolute paths).
#
#   scripts/windows-libs.sh ROOT
#
# The sources come through apt-get from the same Debian archive the machine
# installs from, read through a list of its own under ROOT/apt/ (the
# machine's own apt set-up is left alone): the newest version of each that
# the archive serves. SDL2 and SDL2_mixer are built as DLLs (SDL2.dll,
# SDL2_mixer.dll: the mixer with WAV and Ogg Vorbis through stb_vorbis, all
# the game plays); libpng and zlib as static libraries.
set -euo pipefail
root=${1:?usage: windows-libs.sh ROOT}
here=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$here/cmake/toolchains/mingw-w64-x86_64.cmake
mkdir -p "$root"
root=$(cd "$root" && pwd)
exec 9>"$root/.lock"
flock 9
host=x86_64-w64-mingw32

# --- where the sources come from: the machine's archive, as deb-src ---
apt=$root/apt
mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache"
rm -f "$apt/parts"/*
: >"$apt/sources.list"
if [ -f /etc/apt/sources.list ]; then
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >>"$apt/sources.list"
fi
for f in /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$apt/sources.list"
done
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt/parts/$(basename "$f")"
done
aptopts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
         -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o Debug::NoLocking=1
         -o APT::Sandbox::User=root -qq)
apt-get "${aptopts[@]}" update >/dev/null 2>"$apt/update.log" || {
  echo "windows-libs.sh: apt-get update of the source lists gave errors (kept going):" >&2
  cat "$apt/update.log" >&2
}

# The newest version of source package $1 that the archive serves, fetched
# into the folder $2 (the index may name a version whose files are not yet
# there: the next one down is taken then).
fetch() {
  local pkg=$1 dir=$2 v versions=()
  mapfile -t versions < <(apt-cache "${aptopts[@]}" showsrc --only-source "$pkg" 2>/dev/null |
                            sed -n 's/^Version: //p' | sort -u)
  # Newest first, by Debian's own ordering.
  local sorted=() i j t
  sorted=("${versions[@]}")
  for ((i = 0; i < ${#sorted[@]}; i++)); do
    for ((j = i + 1; j < ${#sorted[@]}; j++)); do
      if dpkg --compare-versions "${sorted[j]}" gt "${sorted[i]}"; then
        t=${sorted[i]}; sorted[i]=${sorted[j]}; sorted[j]=$t
      fi
    done
  done
  for v in "${sorted[@]}"; do
    rm -rf "$dir" && mkdir -p "$dir"
    if (cd "$dir" && apt-get "${aptopts[@]}" source -d "$pkg=$v" >/dev/null 2>&1); then
      echo "$v"
      return 0
    fi
  done
  echo "windows-libs.sh: no version of the source package $pkg could be fetched" >&2
  return 1
}

dl=$root/download
rm -rf "$dl"
declare -A ver
for p in libsdl2 libsdl2-mixer libpng1.6 zlib; do
  ver[$p]=$(fetch "$p" "$dl/$p")
done
gccver=$(dpkg-query -W -f='${Version}' "gcc-mingw-w64-x86-64-posix")
digest=$(cat "$0" "$toolchain" | sha256sum | cut -c1-12)
name="sdl2-${ver[libsdl2]}_mixer-${ver[libsdl2-mixer]}_png-${ver[libpng1.6]}_zlib-${ver[zlib]}_gcc-${gccver}_${digest}"
name=${name//:/-}
prefix=$root/$name
if [ -f "$prefix/.complete" ]; then
  rm -rf "$dl"
  echo "$prefix"
  exit 0
fi

echo "windows-libs.sh: building $name" >&2
rm -rf "$prefix"
work=$root/work
rm -rf "$work"
mkdir -p "$work" "$prefix/licences"
src() {  # src PKG: the unpacked source tree of PKG (Debian's patches applied)
  local d
  (cd "$dl/$1" && dpkg-source -q --no-check -x ./*.dsc "$work/$1" >/dev/null 2>&1)
  echo "$work/$1"
}
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache)
export MORVIK_WINDOWS_LIBS=$prefix
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
       -DCMAKE_INSTALL_PREFIX="$prefix" "${launcher[@]}")

# zlib, static (its CMake build wants a file the Debian tarball leaves out).
s=$(src zlib)
(cd "$s" && CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib CFLAGS="-O2" CHOST=$host \
   ./configure --static --prefix="$prefix" >/dev/null && make -j2 libz.a >/dev/null &&
   make install-libs-only install >/dev/null 2>&1 || make install >/dev/null)
cp "$s/debian/copyright" "$prefix/licences/zlib.txt"

# libpng, static, over that zlib.
s=$(src libpng1.6)
(cd "$s" && ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static \
   CC=$host-gcc-posix CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" CFLAGS=-O2 >/dev/null &&
   make -j2 >/dev/null && make install >/dev/null)
cp "$s/LICENSE" "$prefix/licences/libpng.txt"

# SDL2 as SDL2.dll.
s=$(src libsdl2)
cmake -S "$s" -B "$work/sdl2-build" "${cross[@]}" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF \
  -DSDL2_DISABLE_SDL2MAIN=OFF >/dev/null
cmake --build "$work/sdl2-build" -j2 >/dev/null
cmake --install "$work/sdl2-build" >/dev/null
cp "$s/LICENSE.txt" "$prefix/licences/SDL2.txt"

# SDL2_mixer as SDL2_mixer.dll: WAV, and Ogg Vorbis through stb_vorbis.
s=$(src libsdl2-mixer)
cmake -S "$s" -B "$work/mixer-build" "${cross[@]}" -DBUILD_SHARED_LIBS=ON -DSDL2MIXER_VENDORED=OFF \
  -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF \
  -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS=STB -DSDL2MIXER_WAVE=ON \
  -DSDL2_DIR="$prefix/lib/cmake/SDL2" >/dev/null
cmake --build "$work/mixer-build" -j2 >/dev/null
cmake --install "$work/mixer-build" >/dev/null
cp "$s/LICENSE.txt" "$prefix/licences/SDL2_mixer.txt"

cat >"$prefix/versions.txt" <<EOT
Built from Debian's source packages with scripts/windows-libs.sh:
  libsdl2 ${ver[libsdl2]}
  libsdl2-mixer ${ver[libsdl2-mixer]}
  libpng1.6 ${ver[libpng1.6]}
  zlib ${ver[zlib]}
Compiler: gcc-mingw-w64-x86-64-posix $gccver
EOT
rm -rf "$work" "$dl"
touch "$prefix/.complete"
echo "$prefix"
