// SPDX-License-Identifier: GPL-3.0-or-later
// Must not build: a platform sees only the platform's words and what lies below.
#include "platform/headless/headless_platform.hpp"
#include "game.hpp"
