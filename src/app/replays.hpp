// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The best games kept as replays. A player's session is recorded as it is
// played (the demo recorder under the game); when a game ends with a new
// best score, the session up to that game's end is written beside the
// records as replays/best.demo, with a dated copy (the last 20 are kept).
// Such a replay plays from the program's start to that game's end and
// stops there cleanly; the leaderboard replays it to check its score.
#include <functional>
#include <string>

#include "app/demo.hpp"
#include "game.hpp"

namespace morvik {

constexpr int kDatedReplaysKept = 20;

// The folder the replays are kept in, beside the record file ("" without one).
std::string ReplayFolder(const std::string& recordPath);
// Where morvik --board keeps the ticket its game is played on, in that folder.
std::string TicketPath(const std::string& recordPath);

class BestReplayKeeper : public FrameObserver {
 public:
  BestReplayKeeper(const DemoRecorder& rec, std::string folder) : rec_(rec), folder_(std::move(folder)) {}
  void OnPlayFrame(Game&) override {}
  void OnGameEnd(Game& g) override;
  // The bytes of the session up to now as a replay that ends here.
  std::vector<uint8_t> ReplayBytes() const;

 private:
  const DemoRecorder& rec_;
  std::string folder_;
  bool warned_ = false;
};

// The game a session played on a leaderboard's ticket, kept as a replay when
// it ends (the session up to that game's end), as board-TICKET.demo in the
// replays' folder, and handed to `kept` (which sends it to the board); without
// `kept`, one line says where it is and how to send it.
class BoardReplayKeeper : public FrameObserver {
 public:
  BoardReplayKeeper(const DemoRecorder& rec, std::string folder, std::function<void(const std::string&)> kept)
      : rec_(rec), folder_(std::move(folder)), kept_(std::move(kept)) {}
  void OnPlayFrame(Game&) override {}
  void OnGameEnd(Game& g) override;

 private:
  const DemoRecorder& rec_;
  std::string folder_;
  std::function<void(const std::string&)> kept_;
};

// Plays the replay at `path` on `base` (the platform under any recorder of
// g's session) at its recorded speed from the start of its last game (what
// comes before is played flat out), until it ends or the player presses
// Escape or closes the window; then gives the window back to g as it was.
// Nothing of g changes, nor anything it reads. False, with a line on
// stderr, when the replay cannot be played.
bool WatchReplay(Game& g, Platform& base, const std::string& path);

}  // namespace morvik
