// SPDX-License-Identifier: GPL-3.0-or-later
// The box test every collision of the enemies and items is decided by, and
// the combo scoring of a ball hit with its pop-up.
#include <algorithm>
#include <cstdint>

#include "actors/actor_parts.hpp"

namespace morvik {

void BoxesOverlap(Game& g, float x1, float y1, int16_t w1, int16_t h1, float x2, float y2, int16_t w2, int16_t h2) {
  // Strict on both axes: boxes that only share an edge do not overlap.
  const double dx = x1 < x2 ? w1 + static_cast<double>(x1) - x2 : w2 + static_cast<double>(x2) - x1;
  const double dy = y1 < y2 ? h1 + static_cast<double>(y1) - y2 : h2 + static_cast<double>(y2) - y1;
  g.HitFlag = (dx > 0 && dy > 0) ? 0xFF : 0;
}

void ScoreBallHit(Game& g, int16_t ball, float x, float y) {
  if (ball < 0 || ball > 12) return;
  PlaySound(g, "piro", 0);
  g.ShotHits[ball] = SatInc16(g.ShotHits[ball]);
  // The table ends at the 27th hit; every later hit of the same flight is
  // worth as much as the 27th while the count goes on.
  const int n = g.ShotHits[ball];
  const int step = std::clamp(n, 1, 27);
  const int64_t score = static_cast<int64_t>(g.Score) + 100 * static_cast<int64_t>(g.ComboPoints[step]);
  g.Score = static_cast<int32_t>(std::min<int64_t>(score, INT32_MAX));
  if (g.PopNext < 1 || g.PopNext > 40) g.PopNext = 1;
  // The pop-up keeps the hit count itself, so the best combo counts on past
  // the table's end (its byte stops at 255); past 24 it draws no label.
  g.PopValue[g.PopNext] = static_cast<uint8_t>(std::min(n, 255));
  g.PopX[g.PopNext] = static_cast<float>(x - 10.0);
  g.PopY[g.PopNext] = static_cast<float>(y + 5.0);
  if (g.PopNext < g.SlotCount && g.PopNext < 40) {
    ++g.PopNext;
  } else {
    g.PopNext = 1;
  }
}

}  // namespace morvik
