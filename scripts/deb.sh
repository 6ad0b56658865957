#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package build-deb/morvik_VERSION_ARCH.deb and checks it
# with lintian (no errors, no warnings). Installs what the package build needs
# (as root through apt-get, else it prints the command). The build runs in a
# copy of the sources under build-deb/, so the source tree stays as it is.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
source scripts/setup.sh
# debhelper and dpkg-dev make the package, lintian checks it; the rest are
# the build dependencies listed in debian/control.
MORVIK_PACKAGES=(build-essential debhelper dpkg-dev lintian cmake pkg-config
                 libsdl2-dev libsdl2-mixer-dev libpng-dev zlib1g-dev libcpp-httplib-dev libssl-dev
                 nlohmann-json3-dev fluidsynth musescore-general-soundfont-small vorbis-tools)
morvik_install_packages

version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
out=$src/build-deb
tree=$out/morvik-$upstream
rm -rf "$tree"
mkdir -p "$tree"
# The files of the project as they are now (committed or not), nothing built.
if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
  git -C "$src" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    xargs -0 cp -a --parents -t "$tree"
else
  tar -C "$src" --exclude='./build*' -cf - . | tar -C "$tree" -xf -
fi

rm -f "$out"/morvik_"$version"_* "$out"/morvik-dbgsym_"$version"_*
# A second package build reuses the compiler's cache where the machine has one.
if command -v ccache >/dev/null 2>&1; then
  export MORVIK_CMAKE_EXTRA="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
  export CCACHE_BASEDIR=$tree
fi
echo "morvik: building the package in $tree"
(cd "$tree" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b) \
  >"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; echo "morvik: the package build failed ($out/build.log)" >&2; exit 1; }
deb=$out/morvik_${version}_${arch}.deb
[ -f "$deb" ] || { echo "morvik: no $deb" >&2; exit 1; }
rm -rf "$tree"

echo "morvik: lintian $deb"
lintian --fail-on error,warning --display-info --display-experimental --pedantic "$deb" |
  tee "$out/lintian.log"
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] || { echo "morvik: lintian found errors or warnings" >&2; exit 1; }
echo "morvik: built $deb"
