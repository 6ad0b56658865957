// SPDX-License-Identifier: GPL-3.0-or-later
// The behaviours: contact and ball tests in each kind's order, movement and
// turns, the Carrier's drop, the throwers' throw and their projectiles.
#include <gtest/gtest.h>

#include <map>

#include "actors_support.hpp"

namespace morvik::test {
namespace {

TEST(EnemyDiver, KillsOnlyWhileFlyingAndNotWhileTheHeroIsInvincible) {
  ActorGame a;
  Game& g = a.g;
  PlaceDiver(g, 1, 100, 1);
  g.EnemyY[1] = 100;
  a.HeroContactAt(g.EnemyX[1] + 5, 105);
  g.EnemyState[1] = 12;  // already shot down, falling through the hero
  g.EnemyVY[1] = -3;
  StepDiver(g, 1);
  EXPECT_EQ(g.HeroState, 0);
  g.EnemyState[1] = 0;
  a.HeroContactAt(g.EnemyX[1] + 5, g.EnemyY[1] + 5);
  g.Invincible = 1;
  StepDiver(g, 1);
  EXPECT_EQ(g.HeroState, 0);
  g.Invincible = 0;
  a.HeroContactAt(g.EnemyX[1] + 5, g.EnemyY[1] + 5);
  StepDiver(g, 1);
  EXPECT_EQ(g.HeroState, 1);
}

TEST(EnemyDiver, FliesDownAndLeftAndFallsAwayWhenShot) {
  ActorGame a;
  Game& g = a.g;
  PlaceDiver(g, 1, 200, 1);  // (230, -30)
  g.ScrollSpeed = 3;
  std::map<int, int> cells;
  for (int k = 0; k < 15; ++k) {
    StepDiver(g, 1);
    ++cells[IntI(g.EnemyFrame[1])];
  }
  EXPECT_FLOAT_EQ(g.EnemyX[1], 230 - 15 * 5);
  EXPECT_FLOAT_EQ(g.EnemyY[1], -30 + 15 * 4);
  EXPECT_EQ(cells[0], 5);  // one cycle of 15 frames: cells 0, 1, 2 five frames each
  EXPECT_EQ(cells[1], 5);
  EXPECT_EQ(cells[2], 5);
  // a ball where the Diver will be after its move shoots it down
  a.Ball(0, g.EnemyX[1] - 5, g.EnemyY[1] + 4);
  StepDiver(g, 1);
  EXPECT_EQ(g.EnemyState[1], 12);
  EXPECT_EQ(g.EnemyFrame[1], 3);
  EXPECT_EQ(g.KillCount, 1);
  EXPECT_EQ(g.Score, 100);
  EXPECT_EQ(a.SoundCount("piro"), 1);
  const float y = g.EnemyY[1];
  StepDiver(g, 1);
  EXPECT_FLOAT_EQ(g.EnemyY[1], y - 8);  // first moves up 8, then 7, ...
  StepDiver(g, 1);
  EXPECT_FLOAT_EQ(g.EnemyY[1], y - 15);
  EXPECT_EQ(g.KillCount, 1);  // no more hits while falling
  for (int k = 0; k < 60 && g.EnemyKind[1] != 0; ++k) StepDiver(g, 1);
  EXPECT_EQ(g.EnemyKind[1], 0);
  EXPECT_GT(g.EnemyY[1], 350);
}

TEST(EnemyBallTest, TwoBallsOnOneEnemyAndOneBallOnTwoEnemies) {
  ActorGame a;
  Game& g = a.g;
  PlaceFlyer(g, 16, 0, 1);
  PlaceFlyer(g, 17, 0, 1);
  g.EnemyX[16] = 200;
  g.EnemyX[17] = 210;
  g.EnemyY[16] = g.EnemyY[17] = 150;
  a.Ball(1, 205, 150);   // over both Flyers
  a.Ball(2, 201, 151);   // over the first only
  StepFlyer(g, 16);
  StepFlyer(g, 17);
  EXPECT_EQ(g.ShotHits[1], 2);
  EXPECT_EQ(g.ShotHits[2], 0);  // the lower-numbered ball took the first Flyer
  EXPECT_EQ(g.Score, 100 + 200);
  EXPECT_EQ(g.KillCount, 2);
  EXPECT_EQ(g.PopValue[1], 1);
  EXPECT_EQ(g.PopValue[2], 2);
  EXPECT_EQ(g.BallState[1], 3);  // the ball flies on
}

TEST(EnemyFlyer, TurnsOnTheFrameItReaches419AndThenSwoops) {
  ActorGame a;
  Game& g = a.g;
  PlaceFlyer(g, 16, 0, 1);
  g.EnemyX[16] = 440;
  for (int k = 0; k < 6; ++k) StepFlyer(g, 16);
  EXPECT_EQ(g.EnemyState[16], 0);
  EXPECT_FLOAT_EQ(g.EnemyX[16], 422);
  StepFlyer(g, 16);
  EXPECT_EQ(g.EnemyState[16], 1);
  EXPECT_FLOAT_EQ(g.EnemyX[16], 419);
  // placed at 415 it enters after one step
  PlaceFlyer(g, 17, 0, 1);
  StepFlyer(g, 17);
  EXPECT_EQ(g.EnemyState[17], 1);
  // then 15 frames sinking and 15 rising, rising 3 a frame
  g.EnemyFrame[17] = 0;
  int sinking = 0;
  while (g.EnemyState[17] == 1 && sinking < 100) {
    StepFlyer(g, 17);
    ++sinking;
  }
  EXPECT_EQ(sinking, 15);
  const float y = g.EnemyY[17];
  int rising = 0;
  while (g.EnemyState[17] == 2 && rising < 100) {
    StepFlyer(g, 17);
    ++rising;
  }
  EXPECT_EQ(rising, 15);
  EXPECT_FLOAT_EQ(g.EnemyY[17], y - 45);
  EXPECT_EQ(g.EnemyVY[17], -2);
}

TEST(EnemyCarrier, ShotAtTheEdgeStillDropsItsItemWhereItWas) {
  ActorGame a;
  Game& g = a.g;
  PlaceCarrier(g, 36, 0, 1);
  StepCarrier(g, 36);
  EXPECT_EQ(g.EnemyState[36], 1);
  g.EnemyX[36] = -18;
  g.EnemyY[36] = 200;
  a.Ball(0, -18, 205);
  StepCarrier(g, 36);
  EXPECT_EQ(g.EnemyState[36], 12);
  EXPECT_EQ(g.ThrowState[36], 5);
  EXPECT_FLOAT_EQ(g.ThrowX[36], -18);
  EXPECT_FLOAT_EQ(g.ThrowY[36], 200);
  EXPECT_GE(g.ThrowFrame[36], 0);
  EXPECT_LE(g.ThrowFrame[36], 4);
  EXPECT_EQ(g.KillCount, 1);
  // and the same Carrier not shot leaves the screen that frame
  PlaceCarrier(g, 36, 0, 1);
  g.BallState[0] = 0;
  StepCarrier(g, 36);
  g.EnemyX[36] = -18;
  StepCarrier(g, 36);
  EXPECT_EQ(g.EnemyKind[36], 0);
}

TEST(EnemyCarrier, ABombedCarrierDropsNothingUnlessABallHitsItWhileFalling) {
  ActorGame a;
  Game& g = a.g;
  PlaceCarrier(g, 36, 0, 1);
  StepCarrier(g, 36);
  StepCarrier(g, 36);
  g.ThrowState[36] = 0;
  // the bomb's knock-down: state 12, VY 8, frame left as it was
  g.EnemyState[36] = 12;
  g.EnemyVY[36] = 8;
  for (int k = 0; k < 5; ++k) StepCarrier(g, 36);
  EXPECT_EQ(g.ThrowState[36], 0);
  a.Ball(0, g.EnemyX[36], g.EnemyY[36]);
  StepCarrier(g, 36);
  EXPECT_EQ(g.ThrowState[36], 5);
  EXPECT_EQ(g.EnemyState[36], 12);
  EXPECT_EQ(g.EnemyFrame[36], 4);
}

// Runs a Hopper in its throwing state until it leaves it, counting the frames
// the projectile is held behind the head, over it and launched.
struct ThrowFrames {
  int behind = 0, over = 0, launched = 0;
};
ThrowFrames CountThrow(ActorGame& a, int16_t slot) {
  Game& g = a.g;
  ThrowFrames t;
  while (g.EnemyState[slot] == 2) {
    StepHopper(g, slot);
    const double dx = g.ThrowX[slot] - g.EnemyX[slot];
    if (dx == 14) ++t.behind;
    if (dx == 5) ++t.over;
    if (dx == -10) ++t.launched;
    if (t.behind + t.over + t.launched > 100) break;
  }
  return t;
}

TEST(EnemyHopper, RisesLeapsLandsOnOneFootAndThrowsInFourSixThreeFrames) {
  ActorGame a;
  Game& g = a.g;
  a.Ground(0, 300, 200, 329);
  a.Ground(215, 300, 216, 329);  // a post under the right foot only
  PlaceHopper(g, 6, 0, 6);       // x = 210
  int rising = 0;
  while (g.EnemyState[6] == 0 && rising < 100) {
    StepHopper(g, 6);
    ++rising;
  }
  EXPECT_EQ(rising, 51);
  EXPECT_FLOAT_EQ(g.EnemyY[6], 310);
  int leap = 0;
  float top = 400;
  while (g.EnemyState[6] == 1 && leap < 200) {
    StepHopper(g, 6);
    top = std::min(top, g.EnemyY[6]);
    ++leap;
  }
  EXPECT_EQ(g.EnemyState[6], 2);
  EXPECT_FLOAT_EQ(top, 310 - 378);
  // it moved with the ground while falling: the right foot found the post
  EXPECT_EQ(Rnd(g.EnemyY[6] + 27), 300);
  const ThrowFrames t = CountThrow(a, 6);
  EXPECT_EQ(t.behind, 4);
  EXPECT_EQ(t.over, 6);
  EXPECT_EQ(t.launched, 3);
  EXPECT_EQ(g.EnemyState[6], 3);
  EXPECT_EQ(g.ThrowState[6], 2);
  int pause = 0;
  while (g.EnemyState[6] == 3 && pause < 100) {
    StepHopper(g, 6);
    ++pause;
  }
  EXPECT_EQ(pause, 10);
  for (int k = 0; k < 100 && g.EnemyKind[6] != 0; ++k) StepHopper(g, 6);
  EXPECT_EQ(g.EnemyKind[6], 0);
}

TEST(EnemyHopper, OverAGapItFallsThroughAndIsRemovedBelowTheScreen) {
  ActorGame a;
  Game& g = a.g;
  a.Ground(0, 300, 100, 329);  // ground far to the left only
  PlaceHopper(g, 6, 50, 8);
  g.EnemyState[6] = 1;
  g.EnemyVY[6] = 28;
  g.EnemyY[6] = 310;
  int k = 0;
  while (g.EnemyKind[6] != 0 && k < 200) {
    StepHopper(g, 6);
    ++k;
  }
  EXPECT_EQ(g.EnemyKind[6], 0);
  EXPECT_EQ(g.EnemyState[6], 1);
  EXPECT_GT(g.EnemyY[6], 350);
}

// A Hopper standing on ground, about to throw.
void ReadyHopper(ActorGame& a, int16_t slot, float x) {
  Game& g = a.g;
  a.Ground(0, 310, 425, 329);
  PlaceHopper(g, slot, 0, 6);
  g.EnemyX[slot] = x;
  g.EnemyY[slot] = 283;
  g.EnemyState[slot] = 2;
  g.EnemyFrame[slot] = 3;
}

TEST(EnemyProjectile, AHeldProjectileKillsAndIsKnockedOutWhenItsThrowerIsShot) {
  {
    ActorGame a;
    Game& g = a.g;
    ReadyHopper(a, 6, 200);
    StepHopper(g, 6);
    ASSERT_EQ(g.ThrowState[6], 1);
    a.HeroContactAt(g.ThrowX[6] + 2, g.ThrowY[6] + 2);
    StepThrow(g, 6);
    EXPECT_EQ(g.HeroState, 1);
  }
  {
    ActorGame a;
    Game& g = a.g;
    ReadyHopper(a, 6, 200);
    StepHopper(g, 6);
    StepThrow(g, 6);
    a.Ball(0, g.EnemyX[6] - 2, g.EnemyY[6] + 20);  // the Hopper, not its projectile
    StepHopper(g, 6);
    EXPECT_EQ(g.EnemyState[6], 12);
    EXPECT_EQ(g.ThrowState[6], 3);
    g.BallState[0] = 0;
    StepThrow(g, 6);
    EXPECT_EQ(g.ThrowState[6], 4);
    EXPECT_EQ(g.ThrowFrame[6], 3);
    // falling through the hero it harms no one, and it leaves below the screen
    int k = 0;
    while (g.ThrowState[6] != 0 && k < 100) {
      a.HeroContactAt(g.ThrowX[6], g.ThrowY[6]);
      StepThrow(g, 6);
      StepHopper(g, 6);
      ++k;
    }
    EXPECT_EQ(g.ThrowState[6], 0);
    EXPECT_EQ(g.HeroState, 0);
    EXPECT_EQ(g.KillCount, 1);
  }
}

TEST(EnemyProjectile, AThrownProjectileOutlivesItsThrowerAndCanBeShotForPoints) {
  ActorGame a;
  Game& g = a.g;
  ReadyHopper(a, 6, 300);
  while (g.EnemyState[6] == 2) {
    StepHopper(g, 6);
    StepThrow(g, 6);
  }
  ASSERT_EQ(g.ThrowState[6], 2);
  // the thrower is shot: the projectile flies on
  a.Ball(0, g.EnemyX[6], g.EnemyY[6]);
  StepHopper(g, 6);
  g.BallState[0] = 0;
  EXPECT_EQ(g.EnemyState[6], 12);
  EXPECT_EQ(g.ThrowState[6], 2);
  const float x = g.ThrowX[6];
  StepThrow(g, 6);
  EXPECT_FLOAT_EQ(g.ThrowX[6], x - 4);
  // a ball on it: combo points and a pop-up, no kill
  a.Ball(1, g.ThrowX[6] + 3, g.ThrowY[6]);
  const int kills = g.KillCount;
  StepThrow(g, 6);
  EXPECT_EQ(g.KillCount, kills);
  EXPECT_EQ(g.ShotHits[1], 1);
  EXPECT_EQ(g.Score, 200);
  EXPECT_EQ(g.PopValue[2], 1);
  EXPECT_EQ(g.ThrowState[6], 4);
}

TEST(EnemyProjectile, AFlyingProjectileCanStillKillTheHero) {
  ActorGame a;
  Game& g = a.g;
  g.ThrowState[8] = 2;
  g.ThrowX[8] = 200;
  g.ThrowY[8] = 200;
  g.ThrowVY[8] = 10;
  g.ThrowFrame[8] = 0;
  StepThrow(g, 8);
  EXPECT_FLOAT_EQ(g.ThrowY[8], 190);
  EXPECT_FLOAT_EQ(g.ThrowX[8], 196);
  a.HeroContactAt(g.ThrowX[8] + 14, g.ThrowY[8] + 14);  // corner to corner, inside by one
  StepThrow(g, 8);
  EXPECT_EQ(g.HeroState, 1);
}

TEST(EnemyRunner, RunsInJumpsThrowsInTheAirAndLeavesBelow) {
  ActorGame a;
  Game& g = a.g;
  PlaceRunner(g, 31, 0, 1);  // x 450
  int frames = 0, launched = 0;
  bool seenStates[4] = {};
  while (g.EnemyKind[31] != 0 && frames < 300) {
    seenStates[g.EnemyState[31] & 3] = true;
    StepRunner(g, 31);
    if (g.ThrowState[31] == 2 && g.EnemyState[31] == 2) ++launched;
    if (g.ThrowState[31] != 0) StepThrow(g, 31);
    ++frames;
  }
  EXPECT_EQ(g.EnemyKind[31], 0);
  EXPECT_TRUE(seenStates[0] && seenStates[1] && seenStates[2] && seenStates[3]);
  EXPECT_GE(launched, 2);
  EXPECT_GT(g.EnemyY[31], 350);
  EXPECT_EQ(g.HeroState, 0);
}

}  // namespace
}  // namespace morvik::test
