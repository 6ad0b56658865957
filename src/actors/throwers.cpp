// SPDX-License-Identifier: GPL-3.0-or-later
// The two kinds that throw: the Hopper rises out of the ground, leaps,
// lands on solid ground and throws; the Runner runs in, jumps and throws in
// mid-air. Their projectile flies on by itself once it leaves the hand.
#include <cmath>

#include "actors/actor_parts.hpp"

namespace morvik {

using namespace actors;

namespace {

// A ball hit on a thrower: it is knocked down and a projectile still held
// up is knocked out of its hand.
void KnockDownThrower(Game& g, int16_t i, int ball) {
  ScoreBallHit(g, static_cast<int16_t>(ball), g.EnemyX[i], g.EnemyY[i]);
  g.KillCount = SatInc16(g.KillCount);
  g.EnemyState[i] = 12;
  g.EnemyVY[i] = 8;
  g.EnemyFrame[i] = 6;
  if (g.ThrowState[i] == 1) g.ThrowState[i] = 3;
}

void ThrowerBallTest(Game& g, int16_t i) {
  if (g.EnemyFrame[i] == 6) return;
  const int b = BallTest(g, g.EnemyX[i], g.EnemyY[i], 20, 26);
  if (b >= 0) KnockDownThrower(g, i, b);
}

void ShotDownFall(Game& g, int16_t i) {
  g.EnemyFrame[i] = 6;
  g.EnemyY[i] -= g.EnemyVY[i];
  g.EnemyVY[i] -= 1.0;
}

// Either foot of a Hopper over solid ground.
bool FeetOnGround(const Game& g, int16_t i) {
  return actors::EitherOnSolid(g, g.EnemyX[i], g.EnemyY[i], 5.0, 15.0, 27.0);
}

}  // namespace

void ThrowSequence(Game& g, int16_t i) {
  if (!actors::ValidSlot(i)) return;
  const int f = IntI(g.EnemyFrame[i]);
  const double x = g.EnemyX[i], y = g.EnemyY[i];
  if (f == 3) {  // held up behind the head
    g.ThrowX[i] = static_cast<float>(x + 14.0);
    g.ThrowY[i] = static_cast<float>(y + 3.0);
    g.ThrowState[i] = 1;
  }
  if (f == 4) {  // over the head
    g.ThrowX[i] = static_cast<float>(x + 5.0);
    g.ThrowY[i] = static_cast<float>(y - 3.0);
  }
  if (f == 5) {  // released in front; each such frame launches it afresh
    g.ThrowX[i] = static_cast<float>(x - 10.0);
    g.ThrowY[i] = static_cast<float>(y + 3.0);
    g.ThrowVY[i] = 10;
    g.ThrowState[i] = 2;
  }
}

namespace {

void StrikeHopper(Game& g, int16_t i) {
  if (g.EnemyFrame[i] != 6 && g.Invincible == 0) ContactTest(g, g.EnemyX[i], g.EnemyY[i], 20, 26);
  ThrowerBallTest(g, i);
}

void DrawHopper(const Game& g, Surface& to, int16_t i) {
  DrawCell(to, g.pic.Enemy[1], g.EnemyX[i], g.EnemyY[i], 20, 26, g.EnemyFrame[i]);
}

void MoveHopper(Game& g, int16_t i) {
  const int s = Scroll(g);
  switch (g.EnemyState[i]) {
    case 0:  // rising out of the ground, then waiting
      if (g.EnemyY[i] > 310) g.EnemyY[i] -= 0.5;
      g.EnemyVY[i] += 1.0;
      if (g.EnemyVY[i] > 50) {
        g.EnemyVY[i] = 28;
        g.EnemyState[i] = 1;
      }
      break;
    case 1: {  // the leap: up against the screen, down with the ground
      Advance(g.EnemyFrame[i], 0.5, 3);
      if (g.EnemyVY[i] > 0) g.EnemyX[i] += s - 2.0;
      if (g.EnemyVY[i] > -14) g.EnemyVY[i] -= 1.0;
      if (g.EnemyVY[i] >= 0) g.EnemyY[i] -= g.EnemyVY[i];
      if (g.EnemyVY[i] < 0) {
        g.EnemyX[i] -= static_cast<double>(s);
        // Every pixel of the way down is tested for ground under either foot.
        const int n = static_cast<int>(std::fabs(Int(g.EnemyVY[i])));
        for (int k = 0; k <= n; ++k) {
          if (FeetOnGround(g, i)) {
            g.EnemyVY[i] = 0;
            g.EnemyFrame[i] = 3;
            g.EnemyState[i] = 2;
            break;
          }
          g.EnemyY[i] += 1.0;
        }
      }
      break;
    }
    case 2:  // throwing, standing on the scrolling ground
      g.EnemyX[i] -= static_cast<double>(s);
      g.EnemyFrame[i] += 0.2;
      ThrowSequence(g, i);
      if (g.EnemyFrame[i] >= 5.5) {
        g.EnemyVY[i] = 0;
        g.EnemyFrame[i] = 1;
        g.EnemyState[i] = 3;
      }
      break;
    case 3:  // a short pause after the throw
      g.EnemyX[i] -= static_cast<double>(s);
      g.EnemyFrame[i] += 0.2;
      if (g.EnemyFrame[i] >= 3) {
        g.EnemyFrame[i] = 1;
        g.EnemyState[i] = 4;
        g.EnemyVY[i] = 8;
      }
      break;
    case 4:  // leaping away, through the ground and off the bottom
      g.EnemyY[i] -= g.EnemyVY[i];
      if (g.EnemyVY[i] > -15) g.EnemyVY[i] -= 1.0;
      break;
    case 12: ShotDownFall(g, i); break;
    default: break;
  }
  if (g.EnemyVY[i] < 0 && g.EnemyY[i] > 350) g.EnemyKind[i] = 0;
}

void StrikeRunner(Game& g, int16_t i) {
  ThrowerBallTest(g, i);
  if (g.EnemyFrame[i] != 6 && g.Invincible == 0) ContactTest(g, g.EnemyX[i] + 4.0, g.EnemyY[i] + 4.0, 16, 22);
}

void DrawRunner(const Game& g, Surface& to, int16_t i) {
  DrawCell(to, g.pic.Enemy[4], g.EnemyX[i], g.EnemyY[i], 20, 26, g.EnemyFrame[i]);
}

void MoveRunner(Game& g, int16_t i) {
  const int s = Scroll(g);
  switch (g.EnemyState[i]) {
    case 0:  // running in
      g.EnemyX[i] -= static_cast<double>(s);
      g.EnemyX[i] -= 2.0;
      Advance(g.EnemyFrame[i], 0.2, 3);
      if (g.EnemyX[i] < 395) {
        g.EnemyState[i] = 1;
        g.EnemyVY[i] = 22;
      }
      break;
    case 1:  // the jump
      if (g.EnemyVY[i] > -14) g.EnemyVY[i] -= 1.0;
      g.EnemyY[i] -= g.EnemyVY[i];
      g.EnemyX[i] -= static_cast<double>(s);
      g.EnemyX[i] -= 4.0;
      if (g.EnemyX[i] < 380) g.EnemyState[i] = 2;
      break;
    case 2:  // throwing in the air
      g.EnemyX[i] -= static_cast<double>(s);
      g.EnemyX[i] -= 4.0;
      if (g.EnemyVY[i] > -14) g.EnemyVY[i] -= 1.0;
      g.EnemyY[i] -= g.EnemyVY[i];
      g.EnemyFrame[i] += 0.2;
      ThrowSequence(g, i);
      if (g.EnemyFrame[i] >= 5.5) {
        g.EnemyFrame[i] = 1;
        g.EnemyState[i] = 3;
      }
      break;
    case 3:  // falling away
      g.EnemyX[i] -= static_cast<double>(s);
      g.EnemyX[i] -= 4.0;
      if (g.EnemyVY[i] > -14) g.EnemyVY[i] -= 1.0;
      g.EnemyFrame[i] += 0.2;
      g.EnemyY[i] -= g.EnemyVY[i];
      if (g.EnemyFrame[i] >= 3) g.EnemyFrame[i] = 0;
      break;
    case 12: ShotDownFall(g, i); break;
    default: break;
  }
  if (g.EnemyY[i] > 350 || g.EnemyX[i] < -20) g.EnemyKind[i] = 0;
}

void StrikeThrow(Game& g, int16_t i) {
  // A knocked projectile (frame 3) neither hurts nor can be hit; a held one can do both.
  if (g.ThrowFrame[i] != 3 && g.Invincible == 0) ContactTest(g, g.ThrowX[i], g.ThrowY[i], 15, 15);
  if (g.ThrowFrame[i] != 3) {
    const int b = BallTest(g, g.ThrowX[i], g.ThrowY[i], 20, 15);
    if (b >= 0) {
      ScoreBallHit(g, static_cast<int16_t>(b), g.ThrowX[i], g.ThrowY[i]);
      g.ThrowState[i] = 3;
      g.ThrowVY[i] = 8;
      g.ThrowFrame[i] = 3;
    }
  }
}

void DrawThrow(const Game& g, Surface& to, int16_t i) {
  DrawCell(to, g.pic.Enemy[2], g.ThrowX[i], g.ThrowY[i], 20, 15, g.ThrowFrame[i]);
}

void MoveThrow(Game& g, int16_t i) {
  const int s = Scroll(g);
  switch (g.ThrowState[i]) {
    case 1: Advance(g.ThrowFrame[i], 0.2, 3); break;
    case 2:  // rises 55 pixels, then falls at up to 12 a frame
      Advance(g.ThrowFrame[i], 0.5, 3);
      g.ThrowX[i] -= 4.0;
      g.ThrowX[i] -= s - 2.0;
      g.ThrowY[i] -= g.ThrowVY[i];
      if (g.ThrowVY[i] > -12) g.ThrowVY[i] -= 1.0;
      break;
    case 3:
      g.ThrowFrame[i] = 3;
      g.ThrowVY[i] = 8;
      g.ThrowState[i] = 4;
      break;
    case 4:
      g.ThrowFrame[i] = 3;
      g.ThrowVY[i] -= 1.0;
      g.ThrowY[i] -= g.ThrowVY[i];
      break;
    default: break;
  }
  if (g.ThrowVY[i] < 0 && g.ThrowY[i] > 350) g.ThrowState[i] = 0;
}

}  // namespace

namespace actors {
const KindSteps kHopperSteps{StrikeHopper, DrawHopper, MoveHopper};
const KindSteps kRunnerSteps{StrikeRunner, DrawRunner, MoveRunner};
const KindSteps kThrowSteps{StrikeThrow, DrawThrow, MoveThrow};
}  // namespace actors

void StepHopper(Game& g, int16_t i) { kHopperSteps.Step(g, i); }
void StepRunner(Game& g, int16_t i) { kRunnerSteps.Step(g, i); }
void StepThrow(Game& g, int16_t i) { kThrowSteps.Step(g, i); }

}  // namespace morvik
