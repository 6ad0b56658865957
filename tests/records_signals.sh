#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Headless runs of the real program: SIGTERM, SIGINT and SIGHUP end it as a
# closed window does (status 0, records written); two games in one data
# folder keep the better best score; a record file that cannot be read is
# never written over (run as an ordinary user, as root reads anything).
set -u
bin=$1
work=$(mktemp -d)
pids=
trap 'kill $pids 2>/dev/null; rm -rf "$work"' EXIT
fails=0 passes=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
pass() { passes=$((passes + 1)); }
best() { od -An -tu4 -j42240 -N4 "$1" 2>/dev/null | tr -d ' '; }
# A data folder with the course and no records.
data() {
  mkdir -p "$1"
  cp "$bin"/Morvik_*.kvd "$1/"
}
long=1000000000  # a run that only a signal ends
printf '@0 -\n' >"$work/idle"  # no key: the game waits on the title
# Waits up to $2 seconds for process $1 to end; its status in $rc, or 124.
wait_for() {
  local i
  for i in $(seq $(($2 * 10))); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$1" 2>/dev/null; then kill -9 "$1"; wait "$1" 2>/dev/null; rc=124; else wait "$1"; rc=$?; fi
}

for sig in TERM INT HUP; do
  d=$work/sig$sig
  data "$d"
  "$bin/morvik" --headless --script "$work/idle" --data-dir "$d" --until-ms $long >"$d.out" 2>&1 &
  p=$!
  sleep 2
  kill -$sig $p
  wait_for $p 20
  if [ $rc -ne 0 ]; then fail "SIG$sig: status $rc"; cat "$d.out"
  elif [ ! -s "$d/Mor_vik_0.kvd" ]; then fail "SIG$sig: no records written"
  else pass; fi
done

# Two games at once: one started first and idle on the title, the other
# plays and saves a better best; the first ends last and must not lower it.
d=$work/two
data "$d"
"$bin/morvik" --headless --data-dir "$d" --script "$work/idle" --until-ms $long >"$work/two.out" 2>&1 &
idle=$!
pids=$idle
sleep 2
"$bin/morvik" --headless --bot --data-dir "$d" --until-ms 150000 >>"$work/two.out" 2>&1 || fail "the playing game: status $?"
b=$(best "$d/Mor_vik_0.kvd")
kill -TERM $idle
wait_for $idle 20
a=$(best "$d/Mor_vik_0.kvd")
if [ -z "$b" ] || [ "$b" -le 5000 ]; then fail "the playing game saved no best above 5000 (${b:-none})"; cat "$work/two.out"
elif [ $rc -ne 0 ] || [ "$a" != "$b" ]; then fail "the best $b became $a when the idle game ended (status $rc)"; cat "$work/two.out"
else pass; fi

# An unreadable record file holding 999,999 is left alone.
d=$work/locked
data "$d"
head -c 85120 /dev/zero >"$d/Mor_vik_0.kvd"
printf '\x3f\x42\x0f\x00' | dd of="$d/Mor_vik_0.kvd" bs=1 seek=42240 conv=notrunc status=none
chmod 000 "$d/Mor_vik_0.kvd"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  # An ordinary user: the program and the folder must be open to it.
  cp "$bin/morvik" "$work/morvik"
  chmod 755 "$work" "$work/morvik"
  chmod 777 "$d"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/nonexistent)
  prog=$work/morvik
else
  prog=$bin/morvik
fi
"${as_user[@]}" "$prog" --headless --bot --data-dir "$d" --until-ms 20000 >"$work/locked.out" 2>&1
rc=$?
chmod 644 "$d/Mor_vik_0.kvd"
n=$(grep -c 'Mor_vik_0.kvd' "$work/locked.out")
if [ $rc -ne 0 ]; then fail "unreadable records: status $rc"; cat "$work/locked.out"
elif [ "$(best "$d/Mor_vik_0.kvd")" != 999999 ]; then fail "unreadable records written over: best $(best "$d/Mor_vik_0.kvd")"
elif [ "$n" -ne 1 ]; then fail "unreadable records: said $n times, not once"; cat "$work/locked.out"
else pass; fi

echo "$passes passed, $fails failed"
[ $fails -eq 0 ]
