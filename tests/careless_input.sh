#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The command line used carelessly or with hostile intent: a bad start never
# empties a file, no input is overwritten by an output, a write that fails
# (a full disk) or a shot never taken ends the run non-zero with one line
# naming the real cause, and a refused start says so in one line, status 2.
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir D E && cp "$bin"/Morvik_*.kvd D/
printf '@0 Space\n' >space.script
"$bin/morvik" --headless --data-dir D --until-ms 6000 --record-demo good.demo 2>/dev/null || { echo "FAIL: no demo"; exit 1; }
fail=0
# run WANT_STATUS WANT_IN_STDERR MAX_STDERR_LINES ARGS...: one run, its status and its message.
run() {
  local want=$1 text=$2 lines=$3
  shift 3
  timeout 120 "$bin/morvik" "$@" >out 2>err
  local got=$?
  if [ "$got" != "$want" ] || ! grep -qF -- "$text" err || [ "$(wc -l <err)" -gt "$lines" ]; then
    echo "FAIL: morvik $*: status $got (want $want), stderr (want '$text' in at most $lines lines):"
    sed 's/^/    /' err
    fail=$((fail + 1))
  fi
}
h=(--headless --data-dir D)

# A failed start leaves every file as it was.
echo keep >keep.demo
run 2 "nodir/t.jsonl: No such file or directory" 1 "${h[@]}" --record-demo keep.demo --trace nodir/t.jsonl
[ "$(cat keep.demo)" = keep ] || { echo "FAIL: a failed start emptied the demo"; fail=$((fail + 1)); }
cp good.demo x.demo
run 2 "x.demo is the demo to play" 1 "${h[@]}" --play-demo x.demo --trace x.demo
run 2 "is the script" 1 "${h[@]}" --until-ms 100 --script space.script --trace-digest ./space.script
run 2 "is a course file" 1 "${h[@]}" --until-ms 100 --shot 1:D/Morvik_7.kvd
run 2 "named as both the trace and the demo to record" 1 "${h[@]}" --trace new.out --record-demo "$work/new.out"
cmp -s good.demo x.demo && [ -s D/Morvik_7.kvd ] && [ "$(cat space.script)" = "@0 Space" ] && [ ! -e new.out ] ||
  { echo "FAIL: an input was overwritten"; fail=$((fail + 1)); }

# A full disk, a shot never reached: said once, and the run ends with status 1.
run 1 "the trace /dev/full: No space left on device" 1 "${h[@]}" --until-ms 20000 --trace /dev/full
run 1 "the trace digest /dev/full: No space left on device" 1 "${h[@]}" --until-ms 20000 --trace-digest /dev/full
run 1 "the demo /dev/full: No space left on device" 1 "${h[@]}" --until-ms 2000 --record-demo /dev/full
run 1 "cannot write /dev/full (No space left on device)" 1 "${h[@]}" --until-ms 20000 --shot 5:/dev/full
run 1 "play frame 2147483648 was never reached" 2 "${h[@]}" --until-ms 20000 --shot 2147483648:a.png --shot 5:b.png
[ -s b.png ] || { echo "FAIL: the shot that was reached is missing"; fail=$((fail + 1)); }

# Bad arguments and inputs: one line, status 2.
run 2 "--data-dir needs a value" 1 --headless --data-dir ''
run 2 "--trace needs a value" 1 "${h[@]}" --trace ''
run 2 "/dev/zero: not a plain file" 1 "${h[@]}" --script /dev/zero
run 2 "script E: not a plain file" 1 "${h[@]}" --script E
head -c 2000000 /dev/zero | tr '\0' '\n' >big.script
run 2 "larger than a script may be" 1 "${h[@]}" --script big.script
run 2 "--no-pictures draws no picture for --shot" 1 "${h[@]}" --no-pictures --until-ms 100 --shot 1:a.png
run 2 "--verify takes only the replay and --data-dir" 1 --verify good.demo --headless
run 2 "cannot read the replay none.demo: No such file or directory" 1 --verify none.demo
# --verify: the verdict as one JSON line, status 0 or 1, nothing on stderr.
printf 'MORVIKDM' >bad.demo
"$bin/morvik" --headless --data-dir D --until-ms 40000 --record-demo game.demo 2>/dev/null
for v in "1 bad.demo rejected" "0 game.demo verified"; do
  read -r want demo verdict <<<"$v"
  "$bin/morvik" --verify "$demo" --data-dir D >out 2>err
  got=$?
  if [ "$got" != "$want" ] || [ -s err ] || [ "$(wc -l <out)" != 1 ] ||
     ! grep -q "^{\"status\":\"$verdict\",\"score\":[0-9]*,\"combo\":[0-9]*,\"frames\":[0-9]*,\"games\":[0-9]*,\"version\":" out; then
    echo "FAIL: morvik --verify $demo: status $got (want $want), said: $(cat out err)"; fail=$((fail + 1))
  fi
done
for opt in "--script space.script" "--clock-start 5" "--until-ms 5" "--no-pictures"; do
  # shellcheck disable=SC2086
  run 2 "${opt%% *} works only with --headless" 1 --data-dir D $opt
done
printf '\xef\xbb\xbf@0 Space\n' >bom.script
run 2 "not '\\xEF\\xBB\\xBF@0'" 1 "${h[@]}" --script bom.script
run 2 "unknown argument '--\\x01'" 1 "${h[@]}" $'--\x01'

# Playing on with a word: a folder without the course, a run with no end.
run 0 "no course files (Morvik_1.kvd to Morvik_30.kvd) in E" 2 --headless --data-dir E --until-ms 2000
rm D/Morvik_3.kvd
run 0 "course files not found in D: Morvik_3.kvd;" 2 "${h[@]}" --until-ms 2000
timeout 1 "$bin/morvik" "${h[@]}" 2>err
grep -q "goes on until the game is left" err || { echo "FAIL: a run with no end says nothing"; fail=$((fail + 1)); }
"$bin/morvik" --help >help
for opt in --bot --trace-digest --script --clock-start --until-ms --shot --record-demo --play-demo --data-dir \
           --no-pictures --verify; do
  grep -qF -- "$opt" help || { echo "FAIL: --help does not list $opt"; fail=$((fail + 1)); }
done

# The real cause, for a user the permissions stop (root passes them all).
if command -v setpriv >/dev/null && id nobody >/dev/null 2>&1; then
  chmod 755 "$work" && chmod -R a+rX D && mkdir shut && chmod 000 shut bom.script
  as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups "$bin/morvik" "${h[@]}")
  run() { local want=$1 text=$2; shift 3; "${as_nobody[@]}" "$@" >out 2>err; local got=$?
    [ "$got" = "$want" ] && grep -qF -- "$text" err || { echo "FAIL: as nobody $*: $got"; cat err; fail=$((fail + 1)); }; }
  run 2 "shut/t.jsonl: Permission denied" 1 --trace shut/t.jsonl
  run 2 "bom.script: Permission denied" 1 --script bom.script
fi

[ $fail -eq 0 ] && echo "every careless start handled" || echo "$fail failed"
[ $fail -eq 0 ]
