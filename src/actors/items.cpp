// SPDX-License-Identifier: GPL-3.0-or-later
// The item a shot Carrier drops into slot 36: it pops up, falls onto solid
// ground and scrolls away with it; touching it gives its power.
#include <cstdint>
#include <cstdlib>

#include "actors/actor_parts.hpp"

namespace morvik {

namespace actors {

uint8_t RollItemType(Game& g) {
  // 18 % invincibility, 29 % faster throwing, 3 % a life (only while the
  // hero has at most five), 20 % the bomb, 30 % one more ball. A roll for a
  // life the hero may not have is drawn again, so every item has a type.
  for (;;) {
    const int t = IntI(100 * g.rng.Uniform());
    if (t < 18) return 0;
    if (t < 47) return 1;
    if (t < 50) {
      if (g.Lives <= 5) return 2;
      continue;
    }
    if (t < 70) return 3;
    return 4;
  }
}

}  // namespace actors

namespace {

// Everything on the field is knocked down for a flat 100 points a slot, the
// pop-up of each written at the slot's own index.
void Bomb(Game& g) {
  g.FlashTimer = 10;
  const int last = actors::LastSlot(g);
  for (int k = 1; k <= last; ++k) {
    if (g.ThrowState[k] != 0) {
      g.ThrowState[k] = 4;
      g.PopX[k] = g.ThrowX[k];
      g.PopY[k] = g.ThrowY[k];
      g.PopValue[k] = 1;
      g.Score = g.Score < INT32_MAX - 100 ? g.Score + 100 : INT32_MAX;
    }
    if (g.EnemyKind[k] != 0) {
      g.PopX[k] = g.EnemyX[k];
      g.PopY[k] = g.EnemyY[k];
      g.PopValue[k] = 1;
      g.Score = g.Score < INT32_MAX - 100 ? g.Score + 100 : INT32_MAX;
      g.EnemyVY[k] = 8;
      g.EnemyState[k] = 12;
    }
  }
}

void Collect(Game& g, int16_t i) {
  // What each item plays and labels: invincibility, faster throwing, an
  // extra life, the bomb, one more ball.
  struct Got {
    const char* sound;
    int16_t priority;
    uint8_t label;
  };
  static constexpr Got kGot[5] = {{"Muteki", 24, 4}, {"getitem", 14, 3}, {"1UP", 12, 2}, {"bomb", 20, 0},
                                  {"getitem", 14, 1}};
  const int type = static_cast<int>(g.ThrowFrame[i]);
  switch (type) {
    case 0: g.Invincible = 350; break;
    case 1:
      if (g.BallRate < 6) ++g.BallRate;
      break;
    case 2:
      if (g.Lives < 255) ++g.Lives;
      break;
    case 3: Bomb(g); break;
    case 4:
      if (g.BallMax < 10) ++g.BallMax;
      break;
    default: break;
  }
  if (type >= 0 && type <= 4) {
    PlaySound(g, kGot[type].sound, kGot[type].priority);
    g.LabelIndex = kGot[type].label;
  }
  g.LabelTimer = 60;
  g.ThrowState[i] = 0;
}

// Either probe under the item on solid ground.
bool ItemOnGround(const Game& g, int16_t i) {
  return actors::EitherOnSolid(g, g.ThrowX[i], g.ThrowY[i], 5.0, 11.0, 21.0);
}

// Picked up in any state while the hero is alive and playing, invincible or not.
void StrikeItem(Game& g, int16_t i) {
  BoxesOverlap(g, g.HeroX, g.HeroY, 20, 24, g.ThrowX[i], g.ThrowY[i], 16, 20);
  if (g.HitFlag != 0 && g.HeroState == 0) Collect(g, i);
}

void DrawItem(const Game& g, Surface& to, int16_t i) {
  actors::DrawCell(to, g.pic.Enemy[6], g.ThrowX[i], g.ThrowY[i], 16, 20, g.ThrowFrame[i]);
}

void MoveItem(Game& g, int16_t i) {
  const int s = actors::Scroll(g);
  switch (g.ThrowState[i]) {
    case 5:
      g.ThrowVY[i] = 20;
      g.ThrowState[i] = 6;
      break;
    case 6:  // popping up 210 pixels
      g.ThrowY[i] -= g.ThrowVY[i];
      g.ThrowVY[i] -= 1.0;
      if (g.ThrowVY[i] <= 0) g.ThrowState[i] = 7;
      break;
    case 7: {  // falling, every pixel tested for ground
      g.ThrowX[i] -= static_cast<double>(s);
      const int n = std::abs(Rnd(g.ThrowVY[i]));
      for (int k = 0; k <= n; ++k) {
        if (!ItemOnGround(g, i)) {
          g.ThrowY[i] += 1.0;
        } else {
          g.ThrowVY[i] = 0;
          g.ThrowState[i] = 8;
        }
      }
      if (g.ThrowVY[i] > -14) g.ThrowVY[i] -= 1.0;
      break;
    }
    case 8: g.ThrowX[i] -= static_cast<double>(s); break;
    default: break;
  }
  if (g.ThrowX[i] < -16 || (g.ThrowVY[i] < 0 && g.ThrowY[i] > 350)) g.ThrowState[i] = 0;
}

}  // namespace

namespace actors {
const KindSteps kItemSteps{StrikeItem, DrawItem, MoveItem};
}  // namespace actors

void StepItem(Game& g, int16_t i) { actors::kItemSteps.Step(g, i); }

}  // namespace morvik
