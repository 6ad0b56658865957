// SPDX-License-Identifier: GPL-3.0-or-later
// The three kinds that fly: the Diver drops in from above in a slanted line,
// the Flyer flaps along in a wave, and the Carrier floats in on a long arc
// and drops an item when a ball brings it down.
#include "actors/actor_parts.hpp"

namespace morvik {

using namespace actors;

namespace {

// A ball hit on an enemy: combo score and pop-up, one more kill, and the
// enemy knocked into the given state with its shot-down frame.
void KnockDown(Game& g, int16_t i, int ball, uint8_t state, float frame) {
  ScoreBallHit(g, static_cast<int16_t>(ball), g.EnemyX[i], g.EnemyY[i]);
  g.KillCount = SatInc16(g.KillCount);
  g.EnemyState[i] = state;
  g.EnemyVY[i] = 8;
  g.EnemyFrame[i] = frame;
}

// The Diver is drawn before anything of its step.
void StrikeDiver(Game&, int16_t) {}

void DrawDiver(const Game& g, Surface& to, int16_t i) {
  DrawCell(to, g.pic.Enemy[0], g.EnemyX[i], g.EnemyY[i], 15, 19, g.EnemyFrame[i]);
}

void MoveDiver(Game& g, int16_t i) {
  const int s = Scroll(g);
  if (g.EnemyState[i] == 0 && g.Invincible == 0) ContactTest(g, g.EnemyX[i], g.EnemyY[i], 15, 19);
  if (g.EnemyState[i] == 0) {
    g.EnemyX[i] -= s - 2.0;
    Advance(g.EnemyFrame[i], 0.2, 3);
    g.EnemyY[i] += 4.0;
    g.EnemyX[i] -= 4.0;
    const int b = BallTest(g, g.EnemyX[i], g.EnemyY[i], 15, 19);
    if (b >= 0) KnockDown(g, i, b, 12, 3);
  } else if (g.EnemyState[i] == 12) {
    g.EnemyFrame[i] = 3;
    g.EnemyY[i] -= g.EnemyVY[i];
    g.EnemyVY[i] -= 1.0;
  }
  if (g.EnemyY[i] > 350) g.EnemyKind[i] = 0;
}

void StrikeFlyer(Game& g, int16_t i) {
  if (g.EnemyFrame[i] != 3) {
    const int b = BallTest(g, g.EnemyX[i], g.EnemyY[i], 20, 20);
    if (b >= 0) KnockDown(g, i, b, 12, 3);
  }
  if (g.EnemyFrame[i] != 3 && g.Invincible == 0) ContactTest(g, g.EnemyX[i] + 4.0, g.EnemyY[i] + 4.0, 16, 16);
}

void DrawFlyer(const Game& g, Surface& to, int16_t i) {
  DrawCell(to, g.pic.Enemy[3], g.EnemyX[i], g.EnemyY[i], 20, 20, g.EnemyFrame[i]);
}

void MoveFlyer(Game& g, int16_t i) {
  const int s = Scroll(g);
  switch (g.EnemyState[i]) {
    case 0:  // entering from the right edge
      Advance(g.EnemyFrame[i], 0.5, 3);
      g.EnemyX[i] -= 3.0;
      if (g.EnemyX[i] <= 420) {
        g.EnemyState[i] = 1;
        g.EnemyVY[i] = 8;
      }
      break;
    case 1:  // sinking
      if (g.EnemyVY[i] > -3) g.EnemyVY[i] -= 1.0;
      g.EnemyY[i] -= g.EnemyVY[i];
      g.EnemyFrame[i] += 0.2;
      if (g.EnemyFrame[i] >= 3) {
        g.EnemyFrame[i] = 0;
        g.EnemyState[i] = 2;
      }
      g.EnemyX[i] -= 4.0;
      g.EnemyX[i] -= s - 2.0;
      break;
    case 2:  // rising
      g.EnemyX[i] -= 4.0;
      g.EnemyX[i] -= s - 2.0;
      g.EnemyFrame[i] += 0.2;
      if (g.EnemyFrame[i] >= 3) {
        g.EnemyFrame[i] = 0;
        g.EnemyVY[i] = -2;
        g.EnemyState[i] = 1;
      }
      g.EnemyY[i] -= 3.0;
      break;
    case 12:  // shot down
      g.EnemyFrame[i] = 3;
      g.EnemyVY[i] -= 1.0;
      g.EnemyY[i] -= g.EnemyVY[i];
      break;
    default: break;
  }
  if (g.EnemyY[i] > 350 || g.EnemyX[i] < -20) g.EnemyKind[i] = 0;
}

void StrikeCarrier(Game& g, int16_t i) {
  // A Carrier brought down by a ball goes to state 10, which drops the item
  // in this same step. Only a ball sets its shot-down frame, so a bombed
  // Carrier can still be hit while it falls, and then it drops its item.
  if (g.EnemyFrame[i] != 4) {
    const int b = BallTest(g, g.EnemyX[i], g.EnemyY[i], 20, 26);
    if (b >= 0) KnockDown(g, i, b, 10, 4);
  }
  if (g.EnemyFrame[i] != 4 && g.Invincible == 0) ContactTest(g, g.EnemyX[i] + 4.0, g.EnemyY[i] + 4.0, 16, 22);
}

void DrawCarrier(const Game& g, Surface& to, int16_t i) {
  DrawCell(to, g.pic.Enemy[5], g.EnemyX[i], g.EnemyY[i], 21, 26, g.EnemyFrame[i]);
}

void MoveCarrier(Game& g, int16_t i) {
  const int s = Scroll(g);
  switch (g.EnemyState[i]) {
    case 0:
      g.EnemyVY[i] = 4;
      g.EnemyState[i] = 1;
      break;
    case 1:  // rises for about 40 frames, then sinks at about 5 a frame
      Advance(g.EnemyFrame[i], 0.2, 4);
      if (g.EnemyVY[i] > -5) g.EnemyVY[i] -= 0.1;
      g.EnemyY[i] -= g.EnemyVY[i];
      g.EnemyX[i] -= static_cast<double>(s);
      g.EnemyX[i] -= 3.5;
      break;
    case 10:  // shot: the item drops where the Carrier is
      g.ThrowY[i] = g.EnemyY[i];
      g.ThrowX[i] = g.EnemyX[i];
      g.ThrowFrame[i] = actors::RollItemType(g);
      g.ThrowState[i] = 5;
      g.EnemyState[i] = 12;
      break;
    case 12:
      g.EnemyY[i] -= g.EnemyVY[i];
      g.EnemyVY[i] -= 1.0;
      break;
    default: break;
  }
  if (g.EnemyY[i] > 350 || g.EnemyX[i] < -20) g.EnemyKind[i] = 0;
}

}  // namespace

namespace actors {
const KindSteps kDiverSteps{StrikeDiver, DrawDiver, MoveDiver};
const KindSteps kFlyerSteps{StrikeFlyer, DrawFlyer, MoveFlyer};
const KindSteps kCarrierSteps{StrikeCarrier, DrawCarrier, MoveCarrier};

}  // namespace actors

void StepDiver(Game& g, int16_t i) { kDiverSteps.Step(g, i); }
void StepFlyer(Game& g, int16_t i) { kFlyerSteps.Step(g, i); }
void StepCarrier(Game& g, int16_t i) { kCarrierSteps.Step(g, i); }

}  // namespace morvik
