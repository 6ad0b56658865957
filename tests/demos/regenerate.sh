#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Rewrites the expected trace digests of the regression demos from the game
# as it now plays. Run it after a change that alters the game on purpose;
# `git diff tests/demos` then shows, frame by frame, what changed.
#   tests/demos/regenerate.sh [BUILD_DIR]      (default: build)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build}
for demo in "$here"/*.demo; do
  "$bin/morvik" --headless --data-dir "$bin" --play-demo "$demo" --trace-digest "${demo%.demo}.digest"
  echo "$(basename "$demo"): $(wc -l <"${demo%.demo}.digest") frames"
done
