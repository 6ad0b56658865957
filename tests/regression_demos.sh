#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The regression suite: each committed demo of real play is played back
# headless, with every picture drawn and without pictures, and its trace
# digest (one line a play frame with the main figures and a hash of the
# whole state) must be the committed one both ways.
# tests/demos/regenerate.sh rewrites them after an intended change.
set -u
bin=$1
src=${2:-$(dirname "$0")/..}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0 fail=0
for demo in "$src"/tests/demos/*.demo; do
  for how in "" --no-pictures; do
    name=$(basename "$demo" .demo)
    want="$src/tests/demos/$name.digest"
    said="$name${how:+ ($how)}"
    if ! "$bin/morvik" --headless $how --data-dir "$bin" --play-demo "$demo" --trace-digest "$work/$name.digest" >"$work/$name.out" 2>&1; then
      echo "FAIL: $said: the replay ended with an error"; cat "$work/$name.out"; fail=$((fail + 1)); continue
    fi
    if cmp -s "$want" "$work/$name.digest"; then
      echo "$said: $(wc -l <"$want") frames as expected"; pass=$((pass + 1))
    else
      echo "FAIL: $said plays differently (first differences below; tests/demos/regenerate.sh accepts them):"
      diff "$want" "$work/$name.digest" | head -12
      fail=$((fail + 1))
    fi
  done
done
echo "$pass passed, $fail failed"
[ $fail -eq 0 ] && [ $pass -gt 0 ]
