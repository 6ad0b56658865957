// SPDX-License-Identifier: GPL-3.0-or-later
// The item: its type odds, pop-up, fall and landing, pick-up and effects,
// and the bomb.
#include <gtest/gtest.h>

#include <array>

#include "actors_support.hpp"

namespace morvik::test {
namespace {

// The type a Carrier shot with a given generator state drops.
int DropType(ActorGame& a, uint64_t seed) {
  Game& g = a.g;
  PlaceCarrier(g, 36, 0, 1);
  g.EnemyState[36] = 1;
  g.ThrowState[36] = 0;
  a.Ball(0, g.EnemyX[36], g.EnemyY[36]);
  g.ShotHits[0] = 0;
  g.rng.SetState(seed);
  StepCarrier(g, 36);
  return static_cast<int>(g.ThrowFrame[36]);
}

std::array<int, 5> TypeCounts(ActorGame& a, int n) {
  std::array<int, 5> c{};
  for (int k = 0; k < n; ++k) {
    const float t = static_cast<float>(DropType(a, 0x5851F42D4C957F2DULL * static_cast<uint64_t>(k + 1)));
    EXPECT_TRUE(t == 0 || t == 1 || t == 2 || t == 3 || t == 4) << t;
    if (t >= 0 && t <= 4) ++c[static_cast<int>(t)];
  }
  return c;
}

TEST(ItemTypes, DropOddsFollowTheTable) {
  ActorGame a;
  const int n = 40000;
  auto c = TypeCounts(a, n);
  EXPECT_NEAR(c[0], 0.18 * n, 0.18 * n * 0.05);
  EXPECT_NEAR(c[1], 0.29 * n, 0.29 * n * 0.05);
  EXPECT_NEAR(c[2], 0.03 * n, 0.03 * n * 0.15);
  EXPECT_NEAR(c[3], 0.20 * n, 0.20 * n * 0.05);
  EXPECT_NEAR(c[4], 0.30 * n, 0.30 * n * 0.05);
}

TEST(ItemTypes, WithSixLivesNoLifeDropsAndEveryItemStillHasAType) {
  ActorGame a;
  a.g.Lives = 6;
  const int n = 40000;
  auto c = TypeCounts(a, n);
  EXPECT_EQ(c[2], 0);
  // the roll for a life is drawn again, so the other types share its 3 %
  EXPECT_NEAR(c[0], 18.0 / 97 * n, 18.0 / 97 * n * 0.05);
  EXPECT_NEAR(c[1], 29.0 / 97 * n, 29.0 / 97 * n * 0.05);
  EXPECT_NEAR(c[3], 20.0 / 97 * n, 20.0 / 97 * n * 0.05);
  EXPECT_NEAR(c[4], 30.0 / 97 * n, 30.0 / 97 * n * 0.05);
  EXPECT_EQ(c[0] + c[1] + c[3] + c[4], n);
}

// An item of type t lying at (x, y) in state 8.
void LayItem(Game& g, int t, float x, float y) {
  g.ThrowFrame[36] = static_cast<float>(t);
  g.ThrowState[36] = 8;
  g.ThrowX[36] = x;
  g.ThrowY[36] = y;
  g.ThrowVY[36] = -1;
}

// Puts the hero on the item and steps it once.
void Collect(ActorGame& a, int t) {
  Game& g = a.g;
  LayItem(g, t, 200, 250);
  g.HeroX = 200;
  g.HeroY = 246;
  a.ClearSounds();
  StepItem(g, 36);
}

TEST(ItemEffects, EachTypeGivesItsPowerSoundAndLabel) {
  {
    ActorGame a;
    a.g.Invincible = 150;
    Collect(a, 0);
    EXPECT_EQ(a.g.Invincible, 350);
    EXPECT_EQ(a.SoundCount("Muteki"), 1);
    EXPECT_EQ(a.g.LabelIndex, 4);
    EXPECT_EQ(a.g.LabelTimer, 60);
    EXPECT_EQ(a.g.ThrowState[36], 0);
  }
  {
    ActorGame a;
    Collect(a, 1);
    EXPECT_EQ(a.g.BallRate, 1);
    EXPECT_EQ(a.g.LabelIndex, 3);
    a.g.BallRate = 6;  // at the top it is used up and changes nothing
    a.g.LabelTimer = 3;
    Collect(a, 1);
    EXPECT_EQ(a.g.BallRate, 6);
    EXPECT_EQ(a.SoundCount("getitem"), 1);
    EXPECT_EQ(a.g.LabelTimer, 60);
    EXPECT_EQ(a.g.ThrowState[36], 0);
  }
  {
    ActorGame a;
    a.g.Lives = 5;
    Collect(a, 2);
    EXPECT_EQ(a.g.Lives, 6);
    EXPECT_EQ(a.SoundCount("1UP"), 1);
    EXPECT_EQ(a.g.LabelIndex, 2);
  }
  {
    ActorGame a;
    Collect(a, 4);
    EXPECT_EQ(a.g.BallMax, 3);
    EXPECT_EQ(a.g.LabelIndex, 1);
    a.g.BallMax = 10;
    Collect(a, 4);
    EXPECT_EQ(a.g.BallMax, 10);
    EXPECT_EQ(a.SoundCount("getitem"), 1);
  }
}

TEST(ItemPickUp, AnInvincibleHeroCollectsButADyingOneCannot) {
  ActorGame a;
  Game& g = a.g;
  g.Invincible = 100;
  Collect(a, 4);
  EXPECT_EQ(g.BallMax, 3);
  g.HeroState = 1;
  Collect(a, 4);
  EXPECT_EQ(g.BallMax, 3);
  EXPECT_EQ(g.ThrowState[36], 8);
  EXPECT_FLOAT_EQ(g.ThrowX[36], 198);  // it lies on and scrolls
  // boxes sharing an edge do not touch
  g.HeroState = 0;
  LayItem(g, 4, 220, 250);
  g.HeroX = 200;
  StepItem(g, 36);
  EXPECT_EQ(g.BallMax, 3);
}

TEST(ItemFlight, PopsUpFallsLandsAndScrollsOff) {
  ActorGame a;
  Game& g = a.g;
  a.Ground(0, 300, 425, 329);
  g.ThrowState[36] = 5;
  g.ThrowFrame[36] = 1;
  g.ThrowX[36] = 300;
  g.ThrowY[36] = 250;
  StepItem(g, 36);
  EXPECT_EQ(g.ThrowState[36], 6);
  float top = 1000;
  int k = 0;
  while (g.ThrowState[36] != 8 && g.ThrowState[36] != 0 && k < 200) {
    StepItem(g, 36);
    top = std::min(top, g.ThrowY[36]);
    ++k;
  }
  EXPECT_FLOAT_EQ(top, 250 - 210);
  ASSERT_EQ(g.ThrowState[36], 8);
  EXPECT_EQ(Rnd(g.ThrowY[36] + 21), 300);  // resting right on the ground
  const float y = g.ThrowY[36];
  k = 0;
  while (g.ThrowState[36] != 0 && k < 400) {
    StepItem(g, 36);
    ++k;
  }
  EXPECT_EQ(g.ThrowState[36], 0);
  EXPECT_FLOAT_EQ(g.ThrowY[36], y);
  EXPECT_LT(g.ThrowX[36], -16);
  EXPECT_GE(g.ThrowX[36], -18);
}

TEST(ItemFlight, OverAGapItFallsThroughAndIsGoneBelowTheScreen) {
  ActorGame a;
  Game& g = a.g;
  g.ThrowState[36] = 5;
  g.ThrowFrame[36] = 0;
  g.ThrowX[36] = 300;
  g.ThrowY[36] = 250;
  int k = 0;
  while (g.ThrowState[36] != 0 && k < 300) {
    StepItem(g, 36);
    ++k;
  }
  EXPECT_EQ(g.ThrowState[36], 0);
  EXPECT_GT(g.ThrowY[36], 350);
  EXPECT_GT(g.ThrowX[36], 0);
}

TEST(ItemBomb, TenEnemiesAndTwoProjectilesAreWorth1300) {
  ActorGame a;
  Game& g = a.g;
  for (int s = 1; s <= 10; ++s) {
    PlaceDiver(g, static_cast<int16_t>(s), 100, static_cast<uint8_t>(s));
    g.EnemyFrame[s] = 1.4f;
  }
  g.EnemyState[4] = 12;  // already falling: counts all the same
  g.ThrowState[3] = 2;   // a slot holding an enemy and a projectile
  g.ThrowX[3] = 11;
  g.ThrowVY[3] = 5;
  g.ThrowState[20] = 1;
  g.ThrowX[20] = 22;
  g.ThrowY[20] = 33;
  g.ThrowVY[20] = -4;
  g.KillCount = 7;
  g.ShotHits[0] = 2;
  Collect(a, 3);
  EXPECT_EQ(g.Score, 1300);
  EXPECT_EQ(g.FlashTimer, 10);
  EXPECT_EQ(a.SoundCount("bomb"), 1);
  EXPECT_EQ(a.SoundCount("piro"), 0);
  EXPECT_EQ(g.LabelIndex, 0);
  EXPECT_EQ(g.ThrowState[36], 0);
  EXPECT_EQ(g.KillCount, 7);
  EXPECT_EQ(g.ShotHits[0], 2);
  EXPECT_EQ(g.PopNext, 1);
  for (int s = 1; s <= 10; ++s) {
    EXPECT_EQ(g.EnemyKind[s], 1) << s;  // knocked down, not freed
    EXPECT_EQ(g.EnemyState[s], 12);
    EXPECT_FLOAT_EQ(g.EnemyVY[s], 8);
    EXPECT_FLOAT_EQ(g.EnemyFrame[s], 1.4f);  // the frame is left as it was
    EXPECT_EQ(g.PopValue[s], 1);
    EXPECT_FLOAT_EQ(g.PopX[s], g.EnemyX[s]);
  }
  EXPECT_EQ(g.ThrowState[3], 4);
  EXPECT_FLOAT_EQ(g.ThrowVY[3], 5);  // falls keeping its speed
  EXPECT_FLOAT_EQ(g.PopX[3], g.EnemyX[3]);  // the enemy's pop-up is the one left
  EXPECT_EQ(g.ThrowState[20], 4);
  EXPECT_FLOAT_EQ(g.ThrowVY[20], -4);
  EXPECT_EQ(g.PopValue[20], 1);
  EXPECT_FLOAT_EQ(g.PopX[20], 22);
  EXPECT_FLOAT_EQ(g.PopY[20], 33);
  EXPECT_EQ(g.PopValue[36], 1);  // the bomb item itself
  EXPECT_EQ(g.PopValue[15], 0);
}

TEST(ItemBomb, ABombedFlyerStillTestsBallsInTheFrameOfTheBomb) {
  ActorGame a;
  Game& g = a.g;
  PlaceFlyer(g, 16, 0, 1);
  g.EnemyFrame[16] = 1;
  Collect(a, 3);
  EXPECT_EQ(g.EnemyState[16], 12);
  a.Ball(0, g.EnemyX[16], g.EnemyY[16]);
  StepFlyer(g, 16);
  EXPECT_EQ(g.KillCount, 1);
  EXPECT_EQ(g.EnemyFrame[16], 3);
  const int kills = g.KillCount;
  StepFlyer(g, 16);
  EXPECT_EQ(g.KillCount, kills);
}

}  // namespace
}  // namespace morvik::test
