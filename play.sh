#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Morvik in Release and starts it.
# Any arguments go to the game (for example --window).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
morvik_install_packages
morvik_build build Release
exec ./build/morvik "$@"
