#pragma once
// Running a whole program: the headless run of the command line, and the
// observers it attaches (trace, shots).
#include <memory>
#include <string>
#include <vector>

#include "app/options.hpp"
#include "game.hpp"

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

// The whole headless run of the command line; returns the exit status.
int RunHeadless(const Options& o, const std::string& dataDir, const std::string& recordPath);

}  // namespace morvik
