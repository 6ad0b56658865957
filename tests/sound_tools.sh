#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The sound tools refuse sources with mistakes instead of writing a wrong
# file: a piece that does not fill its bars or its length, a note that is not
# one, an effect with an unknown setting, a render of a piece that is short,
# silent or clipped.
set -u
build=$1
midic=$build/morvik_midic
sfx=$build/morvik_sfxsynth
fit=$build/morvik_musicfit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

expect() {  # expect ok|error TOOL SOURCE OUT [text the message must contain]
  local want=$1 tool=$2 src=$3 out=$4 text=${5:-}
  local msg
  msg=$("$tool" "$src" "$out" 2>&1 >/dev/null)
  local rc=$?
  if [ "$want" = ok ] && { [ $rc -ne 0 ] || [ ! -s "$out" ]; }; then
    echo "FAIL: $src should compile: $msg"; fail=1
  elif [ "$want" = error ]; then
    if [ $rc -eq 0 ]; then echo "FAIL: $src should be refused"; fail=1; fi
    if [ -e "$out" ]; then echo "FAIL: $src left a file behind"; fail=1; fi
    if [ -n "$text" ] && ! grep -q -- "$text" <<<"$msg"; then echo "FAIL: $src: '$msg' lacks '$text'"; fail=1; fi
  fi
}

piece() {  # piece FILE BODY [LENGTH_MS]
  printf 'tempo 500000\nbars 2\n%s\ntrack T channel=1 program=0\n%s\nend\n' "${3:+length_ms $3}" "$2" > "$1"
}

piece "$work/good.mus" "c4:4 e g c5 | [c4 e g]:2 ( kick:8 )x2 r:4 |" 4000
expect ok "$midic" "$work/good.mus" "$work/good.mid"
piece "$work/short.mus" "c4:4 e g c5 |"
expect error "$midic" "$work/short.mus" "$work/short.mid" "lasts"
piece "$work/bar.mus" "c4:4 e g | c5:1 |"
expect error "$midic" "$work/bar.mus" "$work/bar.mid" "bar check"
piece "$work/len.mus" "c4:1 | c4:1 |" 3999
expect error "$midic" "$work/len.mus" "$work/len.mid" "not 3999 ms"
piece "$work/note.mus" "h4:1 | c4:1 |"
expect error "$midic" "$work/note.mus" "$work/note.mid" "not a note"
piece "$work/loop.mus" "\$me"
printf 'def me $me enddef\n' >> "$work/loop.mus"
expect error "$midic" "$work/loop.mus" "$work/loop.mid" "nested"
piece "$work/paren.mus" "( c4:1 | c4:1 |"
expect error "$midic" "$work/paren.mus" "$work/paren.mid" "without"
expect error "$midic" "$work/none.mus" "$work/none.mid" "cannot read"

printf 'tone wave=square dur=0.1 f=440\n' > "$work/good.sfx"
expect ok "$sfx" "$work/good.sfx" "$work/good.wav"
printf 'tone wave=square dur=0.1 f=440 dutty=0.3\n' > "$work/typo.sfx"
expect error "$sfx" "$work/typo.sfx" "$work/typo.wav" "unknown key"
printf 'tone wave=square dur=0.1 f=abc\n' > "$work/num.sfx"
expect error "$sfx" "$work/num.sfx" "$work/num.wav" "bad number"
printf 'peak -3\n' > "$work/empty.sfx"
expect error "$sfx" "$work/empty.sfx" "$work/empty.wav" "no tones"
printf 'tone wave=square dur=0.1 f=440 gain=0\n' > "$work/silent.sfx"
expect error "$sfx" "$work/silent.sfx" "$work/silent.wav" "silent"

# musicfit keeps a render's length and one second after it, and refuses one
# that is shorter than the piece, silent or clipped.
fitted() {  # fitted ok|error IN LENGTH_MS [text the message must contain]
  local msg rc
  rm -f "$work/fit.wav"
  msg=$("$fit" "$2" "$3" "$work/fit.wav" 2>&1 >/dev/null)
  rc=$?
  if [ "$1" = ok ] && [ $rc -ne 0 ]; then echo "FAIL: $2 should fit $3 ms: $msg"; fail=1; fi
  if [ "$1" = error ]; then
    if [ $rc -eq 0 ] || [ -e "$work/fit.wav" ]; then echo "FAIL: $2 should be refused for $3 ms"; fail=1; fi
    if ! grep -q -- "$4" <<<"$msg"; then echo "FAIL: $2: '$msg' lacks '$4'"; fail=1; fi
  fi
}
printf 'tone wave=triangle dur=3 f=220\n' > "$work/render.sfx"
"$sfx" "$work/render.sfx" "$work/render.wav" >/dev/null
fitted ok "$work/render.wav" 1500
# 2.5 s of 16-bit mono at 44.1 kHz after the 44-byte header.
[ "$(stat -c %s "$work/fit.wav" 2>/dev/null)" = $((44 + 2 * 110250)) ] || { echo "FAIL: the fitted render is not 2.5 s"; fail=1; }
fitted error "$work/render.wav" 3500 "shorter"
printf 'peak 0\ntone wave=square dur=3 f=220\n' > "$work/loud.sfx"
"$sfx" "$work/loud.sfx" "$work/loud.wav" >/dev/null
fitted error "$work/loud.wav" 1500 "full scale"
{ head -c 40 "$work/render.wav"; printf '\x10\xb1\x02\x00'; head -c 176400 /dev/zero; } > "$work/quiet.wav"
fitted error "$work/quiet.wav" 1500 "silent"
fitted error "$work/render.sfx" 1500 "not a WAV"

[ $fail -eq 0 ] && echo "sound tools: all refusals and successes as expected"
exit $fail
