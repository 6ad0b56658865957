#pragma once
// The automatic player for headless runs: it reads the game's state before
// each play frame and holds the keys a player would. It jumps pits and walls,
// throws at what comes, steps away from what is about to touch it, walks to
// items, comes back after a death, leaves the game-over screen and chooses a
// display mode on the title (the two modes by turns).
#include <cstdint>

#include "game.hpp"
#include "platform/headless/headless_platform.hpp"

namespace morvik {

class AutoPlayer {
 public:
  // Drives `p` (through its input hook) for the game `g` from now on.
  AutoPlayer(Game& g, HeadlessPlatform& p, int firstMode = 1);
  ~AutoPlayer();
  AutoPlayer(const AutoPlayer&) = delete;
  AutoPlayer& operator=(const AutoPlayer&) = delete;

  int GamesStarted() const { return games_; }

 private:
  void OnInput(HeadlessPlatform& p);
  uint32_t PlayKeys();
  uint32_t MenuKeys();
  bool Solid(double x, double y) const;
  bool PitAhead() const;
  bool WallAhead() const;
  double Threat() const;

  Game& g_;
  HeadlessPlatform& p_;
  int lastFrame_ = -1;
  int yieldsSinceFrame_ = 1000;
  int ticks_ = 0;
  int charge_ = 0, chargeGoal_ = 3;
  int mode_;           // display mode of the next game
  bool inGame_ = false;
  int games_ = 0;
  bool leaping_ = false;
};

}  // namespace morvik
