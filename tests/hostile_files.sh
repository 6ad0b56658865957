#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Files and waits under a careless or hostile user: links planted where the
# game writes, a player's own links, shared folders, outputs named as
# inputs, folders that cannot be written, locks held and FIFOs nobody reads
# (a stop signal still ends the game within a second), numbers past 2^31,
# raw bytes in names, and the real cause named. The permission cases run as
# an unprivileged user, since root passes them all.
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
pids=
trap 'kill $pids 2>/dev/null; chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
cd "$work" || exit 1
mkdir D && cp "$bin"/Morvik_*.kvd "$bin"/*.wav "$bin"/*.mid D/ && chmod -R a+rX D
printf '@0 -\n' >idle.script
fail=0
bad() { echo "FAIL: $*"; fail=$((fail + 1)); }
h=(--headless --data-dir D)
nobody=()
command -v setpriv >/dev/null && id nobody >/dev/null 2>&1 &&
  nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
[ "$(id -u)" -ne 0 ] && nobody=()  # an ordinary user already meets the permissions

# check WANT_STATUS WANT_IN_STDERR ARGS...: one run of the program.
check() {
  local want=$1 text=$2
  shift 2
  timeout 60 "$@" >out 2>err
  local got=$?
  [ "$got" = "$want" ] && { [ -z "$text" ] || grep -qF -- "$text" err; } ||
    { bad "$*: status $got (want $want), want '$text' in:"; sed 's/^/    /' err; }
}
# Starts the program in the background; its pid in $p.
start() { "$@" >bg.out 2>&1 & p=$!; pids="$pids $p"; }
# The time in tenths of a second that process $p takes to end after SIGTERM (at most 5 s), its status in $rc.
ends_after_term() {
  kill -TERM "$p"
  local i
  for i in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
  took=$i
  if kill -0 "$p" 2>/dev/null; then kill -9 "$p"; took=99; fi
  wait "$p"
  rc=$?
}

# 1. A link planted at the lock's name is never followed, nor made through.
mkdir L && cp -r D L/d && rm -f L/d/Mor_vik_0.kvd* && ln -s "$work/victim" L/d/Mor_vik_0.kvd.lock
check 0 "it is a link" "$bin/morvik" --headless --data-dir L/d --until-ms 3000
[ ! -e victim ] && [ -s L/d/Mor_vik_0.kvd ] || bad "a planted lock link made a file elsewhere"

# 2. No home and a data folder nobody may write: no shared folder, the bests last for the run.
if [ ${#nobody[@]} -gt 0 ]; then
  before=$(ls -l --full-time /tmp/morvik 2>&1)
  check 0 "this session's bests last for the session" env -u HOME -u XDG_DATA_HOME "${nobody[@]}" \
    "$bin/morvik" "${h[@]}" --until-ms 3000
  [ "$(ls -l --full-time /tmp/morvik 2>&1)" = "$before" ] || bad "records went to the shared /tmp/morvik"
fi

# 3. The player's own links are written through: the link stays, its file changes.
mkdir P P/store && cp -r D P/d && rm -f P/d/Mor_vik_0.kvd* && printf 'x' >P/store/rec.kvd && ln -s ../store/rec.kvd P/d/Mor_vik_0.kvd
check 0 "" "$bin/morvik" --headless --data-dir P/d --until-ms 3000
[ -L P/d/Mor_vik_0.kvd ] && [ "$(stat -c %s P/store/rec.kvd)" = 85120 ] || bad "the player's record link was replaced"
mkdir -p C/morvik C/mine && ln -s ../mine/settings.txt C/morvik/settings.txt
XDG_CONFIG_HOME=$work/C DISPLAY= WAYLAND_DISPLAY= "$bin/morvik" --data-dir D >out 2>err
[ -L C/morvik/settings.txt ] && grep -q '^display fullscreen' C/mine/settings.txt ||
  { bad "a dangling settings link: the defaults not written through it"; cat err; }

# 4. Every file a run reads is an input: sounds, music, and the window's settings file.
check 2 "is a sound file" "$bin/morvik" "${h[@]}" --until-ms 100 --trace D/piro.wav
check 2 "is a music file" "$bin/morvik" "${h[@]}" --until-ms 100 --trace-digest D/stage.mid
check 2 "is the settings file" env XDG_CONFIG_HOME="$work/C" "$bin/morvik" --data-dir D --trace C/mine/settings.txt
[ -s D/piro.wav ] && [ -s D/stage.mid ] && grep -q '^display' C/mine/settings.txt || bad "an input was emptied"

# 5. A demo or shot whose folder cannot be written is refused before the game.
if [ ${#nobody[@]} -gt 0 ]; then
  mkdir shut && touch shut/rec.demo shut/s.png && chmod 666 shut/rec.demo shut/s.png && chmod 555 shut
  check 2 "cannot write the demo to record shut/rec.demo: Permission denied" "${nobody[@]}" "$bin/morvik" "${h[@]}" \
    --until-ms 3000 --record-demo shut/rec.demo
  check 2 "cannot write a shot shut/s.png: Permission denied" "${nobody[@]}" "$bin/morvik" "${h[@]}" \
    --until-ms 3000 --shot 5:shut/s.png
fi

# 6. Waits that a stop signal ends within a second: a lock another program
#    holds (the records are still saved), and FIFOs nobody reads.
mkdir K && cp -r D K/d && rm -f K/d/Mor_vik_0.kvd* && : >K/d/Mor_vik_0.kvd.lock
setsid flock K/d/Mor_vik_0.kvd.lock sleep 60 >/dev/null 2>&1 &
holder=$!
pids="$pids -$holder"
sleep 0.3
start "$bin/morvik" --headless --data-dir K/d --script idle.script --until-ms 1000000000
sleep 2
ends_after_term
[ "$rc" = 0 ] && [ "$took" -le 15 ] && [ -s K/d/Mor_vik_0.kvd ] && grep -q "saving without the lock" bg.out ||
  { bad "a held lock: status $rc after ${took}0 ms"; cat bg.out; }
kill -- -$holder 2>/dev/null
mkfifo nobody-reads
start "$bin/morvik" "${h[@]}" --until-ms 1000000000 --trace nobody-reads
sleep 1
ends_after_term
[ "$took" -le 15 ] && [ "$rc" != 0 ] || bad "a trace into a FIFO nobody reads: status $rc after ${took}0 ms"
start "$bin/morvik" "${h[@]}" --until-ms 2000 --record-demo nobody-reads
sleep 2
ends_after_term
[ "$took" -le 15 ] && grep -q "nobody read it" bg.out || { bad "a demo into a FIFO: ${took}0 ms"; cat bg.out; }

# 7. Numbers past 2^31 keep their meaning.
timeout -s KILL 3 "$bin/morvik" "${h[@]}" --until-ms 3000000000 --script idle.script 2>/dev/null
[ $? = 137 ] || bad "--until-ms 3000000000 ended the run at once"
printf '@0 Space\nP3000000000 Escape\n' >far.script
check 0 "" "$bin/morvik" "${h[@]}" --until-ms 20000 --script far.script --trace-digest far.digest
[ "$(wc -l <far.digest)" -gt 300 ] || bad "an event at P3000000000 fired at the start"
check 2 "--until-ms takes a whole number" "$bin/morvik" "${h[@]}" --until-ms 99999999999999999999

# 8. Raw bytes never reach the terminal: names and read values are escaped.
check 2 'bad\x1B[2J.demo' "$bin/morvik" "${h[@]}" --play-demo $'bad\e[2J.demo'
mkdir -p $'E\e]0;x\a/Mor_vik_0.kvd.lock' && cp D/Morvik_1.kvd $'E\e]0;x\a/'
check 0 'cannot lock E\x1B]0;x\x07/Mor_vik_0.kvd.lock' "$bin/morvik" --headless --data-dir $'E\e]0;x\a' --until-ms 100
printf 'key-left \xff\xfe\n' >C/mine/settings.txt
check 1 "'\\xFF\\xFE' is not a key name" env XDG_CONFIG_HOME="$work/C" DISPLAY= WAYLAND_DISPLAY= "$bin/morvik" --data-dir D
! grep -q $'\e' err || bad "an escape byte reached the terminal"

# 9. The real cause: a folder that cannot be made, a lock file that is a folder.
if [ ${#nobody[@]} -gt 0 ]; then
  mkdir -p X/locked && chmod 555 X/locked
  check 0 "cannot make the folder $work/X/locked/morvik: Permission denied" env XDG_DATA_HOME="$work/X/locked" \
    "${nobody[@]}" "$bin/morvik" --headless --data-dir D --until-ms 3000
fi
mkdir F && cp -r D F/d && rm -f F/d/Mor_vik_0.kvd* && mkdir F/d/Mor_vik_0.kvd.lock
check 0 "(Is a directory); saving without the lock" "$bin/morvik" --headless --data-dir F/d --until-ms 3000
[ -s F/d/Mor_vik_0.kvd ] || bad "a folder at the lock's name: the records were not saved"

[ $fail -eq 0 ] && echo "every hostile file and wait handled" || echo "$fail failed"
[ $fail -eq 0 ]
