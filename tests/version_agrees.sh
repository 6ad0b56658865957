#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One version number: the build's project version is the one --version prints,
# the metainfo's newest release, the manual page's and the Debian package's.
set -u
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
project=$(sed -n 's/^project(morvik VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$project" ] || { echo "FAIL: no version in CMakeLists.txt"; exit 1; }
fail=0
check() {  # what, found
  if [ "$2" = "$project" ]; then echo "ok: $1 $2"; else echo "FAIL: $1 is '$2', the project's is $project"; fail=1; fi
}
if [ -x "$build/morvik" ]; then
  check "--version" "$("$build/morvik" --version | sed -n 's/^morvik //p')"
fi
check "metainfo release" "$(grep -o '<release version="[^"]*"' "$build/desktop/org.morvik.Morvik.metainfo.xml" | head -1 | cut -d'"' -f2)"
check "manual page" "$(sed -n 's/^\.TH MORVIK 6 "[^"]*" "morvik \([^"]*\)".*/\1/p' "$build/docs/morvik.6")"
# debian/changelog's newest entry: NAME (UPSTREAM-REVISION) ...
check "debian/changelog" "$(sed -n '1s/^morvik (\([^)-]*\)-[^)]*).*/\1/p' "$src/debian/changelog")"
exit $fail
