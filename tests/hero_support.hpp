// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Play-field set-ups for the hero, world-frame and sky tests: a headless game
// with cleared canvases and solid rectangles stamped straight into the
// collision map, so the tests do not depend on the course being streamed.
#include "support.hpp"

namespace morvik::test {

// Makes the rectangle [x0, x1) x [y0, y1) of the collision map solid.
inline void StampSolid(Game& g, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) g.pic.Color.Set(x, y, kSolid);
}

// Makes block row r solid over the whole canvas width (a floor or a ceiling).
inline void StampRow(Game& g, int r) { StampSolid(g, 0, 25 * r, g.pic.Color.Width(), 25 * r + 25); }

// A live hero at (x, y) with the values a stage start gives.
struct Field : Fixture {
  explicit Field(float x = 150, float y = 30) {
    PrepareCanvases(*g);
    g->ScrollSpeed = 2;
    g->Lives = 3;
    g->BallMax = 2;
    g->HeroState = 0;
    g->HeroX = x;
    g->HeroY = y;
  }
  Game& G() { return *g; }
  void Keys(uint32_t k) { plat.HoldKeys(k); }
  void Steps(int n) {
    for (int i = 0; i < n; ++i) HeroStep(*g);
  }
  // Steps until the hero stands (HeroVY exactly 0), at most n steps.
  bool Settle(int n = 200) {
    for (int i = 0; i < n; ++i) {
      HeroStep(*g);
      if (g->HeroVY == 0) return true;
    }
    return false;
  }
  int Sounds(const std::string& name) const {
    int c = 0;
    for (const auto& s : plat.AudioLog())
      if (s.find(name) != std::string::npos) ++c;
    return c;
  }
};

}  // namespace morvik::test
