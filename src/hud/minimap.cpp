// SPDX-License-Identifier: GPL-3.0-or-later
// The minimap of the small display mode: the whole play field shrunk from the
// collision map, with dots for enemies, their projectiles, the item, the
// hero's shots and the hero. It slides up or down out of the hero's way.
#include <algorithm>

#include "game.hpp"

namespace morvik {

namespace {
constexpr int kSlotLast = 40;   // the slot table's last entry
constexpr int kBallLast = 10;   // the shot table's last entry
constexpr int kItemSlot = 36;

bool OnField(double x, double y) { return x >= 0 && x < 400 && y >= 0 && y < 300; }

// One dot of SBit cell (cx, cy) for a thing at play-field position (x, y).
void Mark(const Game& g, Surface& to, double x, double y, int cx, int cy, int size) {
  const int left = g.ViewX + 5, top = g.ViewY + g.MinimapY;
  DrawOpaque(to, left + Rnd(x / 12.5), top + Rnd(y / 12.5), size, size, g.pic.SBit, cx, cy);
}
}  // namespace

void MinimapStep(Game& g) {
  // While the hero is in the minimap's column, high up sends it down and low
  // down sends it up; otherwise it keeps going the way it last went.
  if (g.HeroX < 55) {
    if (g.HeroY < 90) g.MinimapVY = 10;
    if (g.HeroY > 170) g.MinimapVY = -10;
  }
  g.MinimapY = static_cast<int16_t>(std::clamp(g.MinimapY + g.MinimapVY, 36, 178));
}

void DrawMinimap(const Game& g, Surface& to) {
  // The collision map, reduced so that a block reaching into a dot shows.
  DrawStretched(to, g.ViewX + 5, g.ViewY + g.MinimapY, 34, 26, g.pic.Color, 0, 0, 425, 325,
                StretchMode::KeepSolid);

  const int last = std::min<int>(g.SlotCount, kSlotLast);
  for (int i = 1; i <= last; ++i) {
    const double kind = g.EnemyKind[i], frame = g.EnemyFrame[i];
    if (kind != 0 && OnField(g.EnemyX[i], g.EnemyY[i])) {
      // A shot-down enemy has no dot: cell 3 or 6, or 4 for the carrier.
      const bool down = kind == 5 ? frame == 4 : (frame == 3 || frame == 6);
      if (!down) Mark(g, to, g.EnemyX[i], g.EnemyY[i], 2, 0, 2);
    }
    if (g.ThrowState[i] != 0 && OnField(g.ThrowX[i], g.ThrowY[i])) {
      if (i == kItemSlot)
        Mark(g, to, g.ThrowX[i], g.ThrowY[i], 4, 2, 2);
      else if (g.ThrowFrame[i] != 3)
        Mark(g, to, g.ThrowX[i], g.ThrowY[i], 2, 2, 2);
    }
  }
  const int balls = std::min<int>(g.BallMax, kBallLast);
  for (int b = 0; b <= balls; ++b)
    if (g.BallState[b] == 3) Mark(g, to, g.BallX[b], g.BallY[b], 4, 0, 1);
  if (g.HeroState == 0) Mark(g, to, g.HeroX, g.HeroY, 0, 0, 2);
}

}  // namespace morvik
