// SPDX-License-Identifier: GPL-3.0-or-later
// Must not build: the game knows nothing of the program around it.
#include "game.hpp"
#include "app/settings.hpp"
