// SPDX-License-Identifier: GPL-3.0-or-later
// Must not build: pictures know nothing of the machine that shows them.
#include "media/surface.hpp"
#include "platform/platform.hpp"
