#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real window's costs under Xvfb with openbox: the game in a window in
# play (a game started from the title's first entry, Space tapped twice a
# second), measured from outside through /proc and from its --trace.
# Prints one line a figure:
#   window_ms      launch to the window on the display
#   picture_ms     launch to the first picture presented in it (when the game reports it)
#   cpu_percent    share of one core over SECONDS of play (user + system, all threads)
#   cpu_main_percent, cpu_audio_percent, cpu_other_percent
#                  the same split between the game's own thread, SDL's audio
#                  thread (the mixer and the music synthesiser) and the rest
#   peak_rss_mb    peak resident memory (VmHWM)
#   period_*_ms    play-frame periods from the trace at the 35 ms pace: p50, p99, max
#   drift_ms       the mean period of the last quarter of the frames less the first quarter's
# Usage: bench/window.sh [BUILD_DIR] [SECONDS] [game options...]
# (default: build, 20 s, --window=1). MORVIK_RENDERER is passed on to the game.
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$src/build}" && pwd)
secs=${2:-20}
shift $(($# > 2 ? 2 : $#))
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(--window=1)
work=$(mktemp -d)
game= xvfb= wm=
trap 'kill $game $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
. "$src/tests/tools/xdisplay.sh"
start_xvfb "$src" || exit 1
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/share
export MORVIK_REPORT_START=1
mkdir -p "$work/data"
cp "$bin"/*.kvd "$bin"/*.wav "$bin"/*.mid "$bin"/*.ogg "$work/data/" 2>/dev/null
launch=$(date +%s%N)
"$bin/morvik" "${args[@]}" --data-dir "$work/data" --trace "$work/t.jsonl" >"$work/out" 2>&1 &
game=$!
win=
for i in $(seq 3000); do
  win=$(xdotool search --name '^Morvik$' 2>/dev/null | tail -1)
  [ -n "$win" ] && break
  sleep 0.005
done
shown=$(date +%s%N)
[ -n "$win" ] || { echo "no window"; cat "$work/out"; exit 1; }
echo "window_ms $(( (shown - launch) / 1000000 ))"
# Space skips the opening and the title's intro and starts a game in the small mode.
for i in $(seq 60); do
  # SDL may make the window anew for its renderer: the newest one has the keys.
  xdotool windowfocus "$(xdotool search --name '^Morvik$' 2>/dev/null | tail -1)" 2>/dev/null
  xdotool key space; sleep 0.25
  [ -s "$work/t.jsonl" ] && break
done
[ -s "$work/t.jsonl" ] || { echo "no game started"; cat "$work/out"; exit 1; }
sleep 1
ticks() { awk '{print $14 + $15}' "/proc/$game/stat"; }
# Each thread's name and ticks; the name may hold spaces, the ticks follow the ')'.
threads() {
  for t in /proc/$game/task/*; do
    sed -n 's/^[0-9]* (\(.*\)) [A-Z] \(.*\)/\1|\2/p' "$t/stat" 2>/dev/null |
      awk -F'|' -v tid="${t##*/}" '{split($2, f, " "); print tid, $1 == "morvik" && tid == '"$game"' ? "main" : ($1 ~ /^SDLAudio/ ? "audio" : "other"), f[11] + f[12]}'
  done
}
hz=$(getconf CLK_TCK)
threads >"$work/threads0"
c0=$(ticks); w0=$(date +%s%N)
end=$((w0 + secs * 1000000000))
while [ "$(date +%s%N)" -lt $end ]; do
  xdotool key space; sleep 0.5
done
c1=$(ticks); w1=$(date +%s%N)
threads >"$work/threads1"
peak=$(awk '/VmHWM/ {print $2}' "/proc/$game/status")
win=$(xdotool search --name '^Morvik$' 2>/dev/null | tail -1)
"$work/xclose" "$win"
for i in $(seq 300); do kill -0 $game 2>/dev/null || break; sleep 0.01; done
kill $game 2>/dev/null
wait $game 2>/dev/null
pic=$(sed -n 's/^morvik: first picture at \([0-9]*\) ms.*/\1/p' "$work/out" | head -1)
[ -n "$pic" ] && echo "picture_ms $((pic - launch / 1000000))"
awk -v c=$((c1 - c0)) -v hz=$hz -v w=$((w1 - w0)) 'BEGIN {printf "cpu_percent %.2f\n", 100 * c / hz / (w / 1e9)}'
# Per thread: what it used since the first reading (a thread born since counts from 0).
awk -v hz=$hz -v w=$((w1 - w0)) 'NR == FNR {t0[$1] = $3; next} {d[$2] += $3 - ($1 in t0 ? t0[$1] : 0)}
  END {for (k in d) printf "cpu_%s_percent %.2f\n", k, 100 * d[k] / hz / (w / 1e9)}' "$work/threads0" "$work/threads1" | sort
awk -v k=$peak 'BEGIN {printf "peak_rss_mb %.1f\n", k / 1024}'
python3 - "$work/t.jsonl" <<'EOF'
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1])]
# A period counts where the frame before ran at the 35 ms pace and the frames follow on.
p = [b["t"] - a["t"] for a, b in zip(rows, rows[1:]) if b["frame"] == a["frame"] + 1 and a["FrameSlowdown"] == 0]
if not p:
    sys.exit("no play periods in the trace")
s = sorted(p)
q = lambda f: s[min(len(s) - 1, int(f * len(s)))]
print("period_p50_ms %d" % q(0.5))
print("period_p99_ms %d" % q(0.99))
print("period_max_ms %d" % s[-1])
n = max(1, len(p) // 4)
print("drift_ms %.2f" % (sum(p[-n:]) / n - sum(p[:n]) / n))
print("frames %d" % len(rows))
EOF
