// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Running a whole program: the headless run of the command line, and the
// observers it attaches (trace, shots).
#include <memory>
#include <string>
#include <vector>

#include "app/options.hpp"
#include "game.hpp"
#include "platform/headless/headless_platform.hpp"

namespace morvik {

// Several observers in a row.
class ObserverList : public FrameObserver {
 public:
  void Add(FrameObserver* o) { list_.push_back(o); }
  void OnPlayFrame(Game& g) override {
    for (FrameObserver* o : list_) o->OnPlayFrame(g);
  }

 private:
  std::vector<FrameObserver*> list_;
};

// Saves M as a PNG after the requested play frames.
class ShotTaker : public FrameObserver {
 public:
  explicit ShotTaker(std::vector<ShotRequest> shots) : shots_(std::move(shots)) {}
  void OnPlayFrame(Game& g) override;

 private:
  std::vector<ShotRequest> shots_;
};

// Runs the program on the given platform until it ends; returns the exit status.
int RunGame(Game& g);

// Runs the program on `base` (the real window, or a headless platform) with
// the command line's demo, trace and shot options; `headless` is base when it
// is the headless platform (the automatic player needs it). Returns the exit status.
int RunWithOptions(Platform& base, HeadlessPlatform* headless, const Options& o, const std::string& dataDir,
                   const std::string& recordPath);

// The whole headless run of the command line; returns the exit status.
int RunHeadless(const Options& o, const std::string& dataDir, const std::string& recordPath);

}  // namespace morvik
