// SPDX-License-Identifier: GPL-3.0-or-later
// Stop requests on Windows: Ctrl+C, Ctrl+Break, the console window closed,
// the player logging off or the machine shutting down end the game as
// closing its window does.
#include "core/stop_signals.hpp"

#include <windows.h>

#include <atomic>

namespace morvik {

namespace {
std::atomic<bool> stopSignalled{false};

BOOL WINAPI NoteStop(DWORD event) {
  stopSignalled = true;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // For a closed console, a log-off or a shut-down the system ends the
  // process as soon as this returns: it waits here (the system allows a few
  // seconds) while the game saves its records and ends itself.
  for (;;) Sleep(1000);
}
}  // namespace

void CatchStopSignals() {
  static bool done = false;
  if (done) return;
  done = true;
  SetConsoleCtrlHandler(NoteStop, TRUE);
}

bool StopSignalled() { return stopSignalled; }

}  // namespace morvik
