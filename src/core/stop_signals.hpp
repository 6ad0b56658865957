// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGTERM, SIGINT and SIGHUP end the program as closing the window does:
// the handler only notes the signal, and each platform's CloseRequested
// reports it, so that the game shuts down through its own Unload event.

namespace morvik {

// Installs the handlers (once; later calls do nothing).
void CatchStopSignals();
// True once one of the signals has arrived.
bool StopSignalled();

}  // namespace morvik
