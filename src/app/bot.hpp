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

namespace morvik {

// The keys the automatic player holds, a bit each.
enum BotKey : uint32_t { kBotLeft = 1, kBotRight = 2, kBotUp = 4, kBotDown = 8, kBotSpace = 16, kBotP = 64, kBotEscape = 128 };

class AutoPlayer {
 public:
  // Plays the game `g` through a BotKeys relay, which asks it for the keys.
  explicit AutoPlayer(Game& g, int firstMode = 1);
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
  int lastFrame_ = -1;
  int yieldsSinceFrame_ = 1000;
  int ticks_ = 0;
  int charge_ = 0, chargeGoal_ = 3;
  int mode_;           // display mode of the next game
  int games_ = 0;
  std::unordered_map<uint64_t, bool> memo_;
  int budget_ = 0;
};

// Passes everything on to the platform underneath (the real window, the
// headless one) and adds the automatic player's keys to the keys held there,
// asked for at each yield and frame note.
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
