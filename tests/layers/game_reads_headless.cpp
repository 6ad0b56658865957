// SPDX-License-Identifier: GPL-3.0-or-later
// Must not build: the game never learns which platform runs it.
#include "game.hpp"
#include "platform/headless/headless_platform.hpp"
