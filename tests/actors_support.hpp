// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for the tests of the enemies and items: a game with empty slots,
// the hero out of the way, ground stamped into the collision map, balls
// placed by hand and the effects started in a frame.
#include <cstring>
#include <string>

#include "support.hpp"

namespace morvik::test {

struct ActorGame {
  Fixture f;
  Game& g;
  ActorGame() : g(*f.g) {
    PrepareCanvases(g);
    g.SlotCount = 40;
    g.ScrollSpeed = 2;
    g.HeroX = -500;  // far from everything unless a test moves it
    g.HeroY = -500;
    g.HeroState = 0;
    g.Lives = 3;
    g.BallMax = 2;
    g.PopNext = 1;
    g.KillCount = 0;
  }
  // Solid ground in the collision map over [x0, x1) x [y0, y1).
  void Ground(int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) g.pic.Color.Set(x, y, kSolid);
  }
  // Ball b flying with its box at (x, y).
  void Ball(int b, float x, float y) {
    g.BallState[b] = 3;
    g.BallX[b] = x;
    g.BallY[b] = y;
  }
  // The hero's contact box (HeroX + 4, HeroY + 5, 16 x 13) put with its corner at (x, y).
  void HeroContactAt(float x, float y) {
    g.HeroX = x - 4;
    g.HeroY = y - 5;
  }
  void ClearSounds() { g.frameSoundCount = 0; }
  int SoundCount(const char* name) const {
    int n = 0;
    for (int k = 0; k < g.frameSoundCount; ++k)
      if (g.frameSounds[k] && std::strcmp(g.frameSounds[k], name) == 0) ++n;
    return n;
  }
};

}  // namespace morvik::test
