// SPDX-License-Identifier: GPL-3.0-or-later
// Builds: the program around the game sees every layer under it.
#include "app/settings.hpp"
#include "core/files.hpp"
#include "game.hpp"
#include "media/surface.hpp"
#include "platform/headless/headless_platform.hpp"
#include "platform/platform.hpp"
