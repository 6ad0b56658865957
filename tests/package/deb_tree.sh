#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as built by scripts/deb.sh: its files lie where Debian
# keeps a game's, and its tree, unpacked anywhere, plays headless from its own
# data and keeps the records in the player's folder, writing nothing into
# itself. $1: the .deb.
set -u
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
tree=$work/tree
dpkg-deb -x "$deb" "$tree" || fail "dpkg-deb -x"
id=org.morvik.Morvik
for f in usr/games/morvik usr/libexec/morvik/morvik-submit usr/share/games/morvik/Morvik_1.kvd usr/share/games/morvik/Morvik_30.kvd \
         usr/share/games/morvik/piro.wav usr/share/games/morvik/stage.mid \
         usr/share/games/morvik/opening.ogg usr/share/games/morvik/stage.ogg \
         usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
         usr/share/icons/hicolor/48x48/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png \
         usr/share/man/man6/morvik.6.gz usr/share/doc/morvik/copyright; do
  [ -f "$tree/$f" ] || fail "no /$f in the package"
done
grep -qx "Exec=/usr/games/morvik" "$tree/usr/share/applications/$id.desktop" || fail "the menu entry does not start /usr/games/morvik"
echo "ok: program, data, menu entry, metainfo, icons, manual page and copyright where Debian keeps them"

version=$(dpkg-deb -f "$deb" Version)
[ "$("$tree/usr/games/morvik" --version)" = "morvik ${version%-*}" ] || fail "--version is not the package's ${version%-*}"
# The music is rendered while building: nothing plays it through a soundfont.
dpkg-deb -f "$deb" Depends | grep -q -i "soundfont" && fail "a soundfont among the dependencies"

export HOME=$work/home
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_PICTURES_DIR
mkdir -p "$HOME"
data=$("$tree/usr/games/morvik" --paths | sed -n 's/^data: *//p')
[ "$data" = "$tree/usr/share/games/morvik" ] || fail "the unpacked program takes its data from '$data'"
touch "$work/before"
"$tree/usr/games/morvik" --headless --until-ms 60000 --trace-digest "$work/digest" >"$work/out" 2>&1 ||
  { cat "$work/out"; fail "the headless run failed"; }
[ "$(wc -l <"$work/digest")" -gt 500 ] || fail "the headless run played only $(wc -l <"$work/digest") frames"
[ -s "$HOME/.local/share/morvik/Mor_vik_0.kvd" ] || fail "no records in the player's folder"
[ -z "$(find "$tree" -newer "$work/before")" ] || fail "the run wrote into the package's tree: $(find "$tree" -newer "$work/before")"
echo "ok: the unpacked tree plays headless from its own data, records in the player's folder"
# --submit is its helper's work, found in the unpacked tree too: it reads the
# newest game played for a board, and there is none yet.
out=$("$tree/usr/games/morvik" --submit --server http://127.0.0.1:9 2>&1)
[ $? = 2 ] && [[ $out == *"no game played for a board yet"* ]] || fail "--submit from the unpacked tree: $out"
echo "ok: --submit hands over to the package's own morvik-submit"
