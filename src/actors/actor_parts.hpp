// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pieces every enemy, projectile and item step is made of: the boxes of the
// hero and the balls, the ball test, the drawing of a cell and the frame
// arithmetic. Internal to the actors.
#include <algorithm>

#include "game.hpp"

namespace morvik::actors {

// Pixels the course scrolls this frame (only the low byte counts).
inline int Scroll(const Game& g) { return g.ScrollSpeed & 255; }

// Highest ball slot to look at, kept inside the ball arrays whatever BallMax holds.
inline int LastBall(const Game& g) { return std::min<int>(g.BallMax, 10); }

// Slots processed each frame, kept inside the slot arrays.
inline int LastSlot(const Game& g) { return std::min<int>(g.SlotCount, 40); }

inline bool ValidSlot(int16_t slot) { return slot >= 0 && slot <= 40; }

// The hero's contact box (16 x 13 at HeroX + 4, HeroY + 5) against a box;
// kills the hero when they overlap. The caller decides whether contact counts.
inline void ContactTest(Game& g, double x, double y, int16_t w, int16_t h) {
  BoxesOverlap(g, static_cast<float>(g.HeroX + 4.0), static_cast<float>(g.HeroY + 5.0), 16, 13, static_cast<float>(x),
               static_cast<float>(y), w, h);
  if (g.HitFlag != 0) KillHero(g);
}

// The first flying ball (in slot order) whose 15 x 15 box overlaps the
// target box, or -1. Later balls are not looked at once one has hit.
inline int BallTest(Game& g, float x, float y, int16_t w, int16_t h) {
  const int last = LastBall(g);
  for (int b = 0; b <= last; ++b) {
    g.HitFlag = 0;
    if (g.BallState[b] == 3) {
      BoxesOverlap(g, g.BallX[b], g.BallY[b], 15, 15, x, y, w, h);
      if (g.HitFlag != 0) return b;
    }
  }
  return -1;
}

// Draws cell floor(frame) of a picture whose cells of w x h lie side by side,
// image row on top, mask row under it.
inline void DrawCell(Surface& to, const Surface& pic, double x, double y, int w, int h, double frame) {
  const int c = IntI(frame);
  DrawMasked(to, Rnd(x), Rnd(y), w, h, pic, c * w, 0, c * w, h);
}

// Each kind's step in three: its hits (the balls against it, it against the
// hero), its picture where the hits leave it, then its moves. A game with
// pictures draws between the two; the whole step is hits and moves.
struct KindSteps {
  void (*strike)(Game&, int16_t);
  void (*draw)(const Game&, Surface&, int16_t);
  void (*move)(Game&, int16_t);
  void Step(Game& g, int16_t i) const {
    if (!ValidSlot(i)) return;
    strike(g, i);
    if (g.pictures) draw(g, g.pic.UraM, i);
    move(g, i);
  }
};
extern const KindSteps kDiverSteps, kFlyerSteps, kCarrierSteps, kHopperSteps, kRunnerSteps, kThrowSteps, kItemSteps;

// Either of two probes under a body (at x + dx1 and x + dx2, y + dy) on solid ground.
inline bool EitherOnSolid(const Game& g, double x, double y, double dx1, double dx2, double dy) {
  return IsSolid(g, Rnd(x + dx1), Rnd(y + dy)) || IsSolid(g, Rnd(x + dx2), Rnd(y + dy));
}

// Advances a frame counter by d; back to 0 once it reaches m.
inline void Advance(float& frame, double d, double m) {
  frame = static_cast<float>(frame + d);
  if (frame >= m) frame = 0;
}

// Draws the item type of a Carrier's drop.
uint8_t RollItemType(Game& g);

}  // namespace morvik::actors
