// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stop_signals.hpp"

#include <signal.h>

#include <csignal>
#include <initializer_list>

namespace morvik {

namespace {
volatile std::sig_atomic_t stopSignalled = 0;

extern "C" void NoteStop(int) { stopSignalled = 1; }
}  // namespace

void CatchStopSignals() {
  static bool done = false;
  if (done) return;
  done = true;
  struct sigaction sa {};
  sa.sa_handler = NoteStop;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;  // reads and writes in progress carry on
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &sa, nullptr);
}

bool StopSignalled() { return stopSignalled != 0; }

}  // namespace morvik
