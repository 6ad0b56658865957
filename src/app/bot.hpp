// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The automatic player: it reads the game's state before each play frame
// and holds the keys a player would. It jumps pits and walls,
// throws at what comes, steps away from what is about to touch it, walks to
// items, comes back after a death, leaves the game-over screen and chooses a
// display mode on the title (the two modes by turns).
#include <cstdint>
#include <unordered_map>

#include "app/demo.hpp"
#include "game.hpp"
#include "platform/headless/headless_platform.hpp"

namespace morvik {

class AutoPlayer {
 public:
  // Drives `p` (through its input hook) for the game `g` from now on.
  AutoPlayer(Game& g, HeadlessPlatform& p, int firstMode = 1);
  // Drives nothing by itself: a BotKeys relay asks it for the keys.
  explicit AutoPlayer(Game& g, int firstMode = 1);
  ~AutoPlayer();
  AutoPlayer(const AutoPlayer&) = delete;
  AutoPlayer& operator=(const AutoPlayer&) = delete;

  int GamesStarted() const { return games_; }
  // Called at each yield and frame note (`frame`: the play frame last
  // noted); true when it sets the keys to hold from now on.
  bool KeysFor(int frame, uint32_t& keys);

 private:
  uint32_t PlayKeys();
  uint32_t MenuKeys();
  bool Solid(double x, double y) const;
  double Threat() const;
  // Looks ahead with the hero's own moves over the collision map: true when
  // the move (dir, jump) now leaves a way to be standing safely a second on.
  bool Safe(int dir, bool jump);
  bool Plan(int x, int p, int y, int a, int depth);

  Game& g_;
  HeadlessPlatform* p_ = nullptr;
  int lastFrame_ = -1;
  int yieldsSinceFrame_ = 1000;
  int ticks_ = 0;
  int charge_ = 0, chargeGoal_ = 3;
  int mode_;           // display mode of the next game
  int games_ = 0;
  std::unordered_map<uint64_t, bool> memo_;
  int budget_ = 0;
};

// Passes everything on to the platform underneath (the real window) and adds
// the automatic player's keys to the keys held there, read at each yield and
// frame note as the headless platform reads them.
class BotKeys : public PlatformRelay {
 public:
  explicit BotKeys(Platform& inner) : PlatformRelay(inner) {}
  void SetPlayer(AutoPlayer* p) { player_ = p; }
  void Yield() override;
  void NoteFrame(int f) override;
  bool KeyDown(int vk) override;

 private:
  AutoPlayer* player_ = nullptr;
  int frame_ = 0;
  uint32_t keys_ = 0;
};

}  // namespace morvik
