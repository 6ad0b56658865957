// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Verifier threads: each claims the oldest waiting run, replays its demo and
// writes the verdict, for as long as the server runs. Any number of them, in
// any number of processes on any number of machines, share one database.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/verify.hpp"
#include "store.hpp"

namespace morvik::server {

// Why a verified replay does not rank for the run it was claimed as, in
// words ("" when it does): it was not played on the run's ticket, it is the
// automatic player's, or it reached the board sooner after its ticket was
// issued than its play frames take at the game's pace (less 2 %).
std::string TicketPaceProblem(const Claim& cl, const Verdict& v);

struct VerifierConfig {
  std::string conninfo;
  std::string dataDir;
  int leaseSeconds = 30;   // a claim not renewed for this long is free again
  int maxClaims = 5;       // after so many claims without a verdict, the run is rejected
  VerifyLimits limits;     // bytes, frames and processor time of one replay
};

class Verifiers {
 public:
  Verifiers(VerifierConfig config, const std::atomic<bool>& stopping) : config_(std::move(config)), stopping_(stopping) {}
  ~Verifiers() { Join(); }
  void Start(int count);
  // Waits for every thread; a replay under way is stopped and its run given back.
  void Join();

 private:
  void Loop(int number);
  VerifierConfig config_;
  const std::atomic<bool>& stopping_;
  std::vector<std::thread> threads_;
};

}  // namespace morvik::server
