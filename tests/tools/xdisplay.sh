# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the real-window tests (sourced, not run): a private Xvfb display
# and a way to find the game's window on it. Needs $work (a scratch directory).

# Builds xclose, starts Xvfb on a free-looking display, waits for it and
# exports DISPLAY; sets $xvfb for the caller's clean-up. $1: the source tree.
start_xvfb() {
  cc -O1 -o "$work/xclose" "$1/tests/tools/xclose.c" -lX11 || { echo "cannot build xclose"; return 1; }
  # Other tests may hold a display at the same time: a display whose lock is
  # taken is passed over, and a server that did not stay up is tried again.
  local tries
  for tries in 1 2 3 4 5; do
    disp=:$((100 + RANDOM % 800))
    [ -e "/tmp/.X${disp#:}-lock" ] && continue
    Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for i in $(seq 100); do [ -e "/tmp/.X11-unix/X${disp#:}" ] && break; sleep 0.1; done
    sleep 0.2
    kill -0 "$xvfb" 2>/dev/null && break
  done
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
