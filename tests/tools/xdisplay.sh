# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the real-window tests (sourced, not run): a private Xvfb display
# and a way to find the game's window on it. Needs $work (a scratch directory).

# Builds xclose, starts Xvfb on a display it picks itself, waits for it and
# exports DISPLAY; sets $xvfb for the caller's clean-up. $1: the source tree.
start_xvfb() {
  cc -O1 -o "$work/xclose" "$1/tests/tools/xclose.c" -lX11 || { echo "cannot build xclose"; return 1; }
  # Xvfb takes the first display that is free, under its own lock, and
  # writes its number once it is ready: two tests at once never share one.
  : >"$work/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/xvfb.display" >/dev/null 2>&1 &
  xvfb=$!
  local i
  disp=
  for i in $(seq 300); do
    disp=$(head -1 "$work/xvfb.display")
    [ -n "$disp" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$disp" ] || { echo "Xvfb did not start"; return 1; }
  disp=:$disp
  export DISPLAY=$disp
  # The X11, D-Bus and GL libraries that SDL loads keep a few blocks to the
  # end of the process; the leak check of our own code runs in the unit tests.
  export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
}

# Prints the game's window once it is there (waits up to 30 s, as a loaded
# machine can be slow to start the first GL context; nothing if it never comes). SDL may make the window anew for its renderer, so the newest
# one counts.
find_window() {
  local w=
  for i in $(seq 300); do
    w=$(xdotool search --name '^Morvik$' 2>/dev/null | tail -1)
    [ -n "$w" ] && break
    sleep 0.1
  done
  echo "$w"
}
