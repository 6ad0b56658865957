// SPDX-License-Identifier: GPL-3.0-or-later
// The hero in whole headless games on courses written by the test: a flat
// floor, a pit and a wall, with the course streamed and scrolled as in play.
#include <gtest/gtest.h>

#include "hero_support.hpp"

using namespace morvik;
using namespace morvik::test;

namespace {

// The collision tiles of the terrain sheet as the game defines them: a block
// is solid below its 5-row lip, an empty cell open. The tests do not rely
// on the art for them.
void PaintCollisionTiles(Surface& yuka) {
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 25; ++x) {
      yuka.Set(25 + x, y, kBlack);                         // block mask
      yuka.Set(50 + x, y, y < 5 ? kBlack : kSolid);        // block collision
      if (y < 25) yuka.Set(75 + x, y, y < 5 ? kWhite : kBlack);  // empty collision
    }
}

// A game on the given course. Enemies may come, but while the hero is
// invincible none of them touches it, so only the course decides.
struct Course : Fixture {
  explicit Course(const SegmentRows& rows, uint8_t mode = 1) {
    PaintCollisionTiles(g->pic.Yuka);
    WriteAllSegments(dir.Path(), rows);
    Start(mode);
    g->Invincible = 30000;
  }
  Game& G() { return *g; }
  // Runs frames until pred holds (true) or n frames have passed (false).
  template <class P>
  bool RunUntil(int n, P pred) {
    for (int i = 0; i < n; ++i) {
      Frames(1);
      if (pred(*g)) return true;
    }
    return false;
  }
};

SegmentRows WithPit(int c0, int c1) {
  SegmentRows r = FlatFloor();
  for (int c = c0; c <= c1; ++c) r[12][c] = '.';
  return r;
}

SegmentRows WithWall(int c) {
  SegmentRows r = FlatFloor();
  for (int row = 0; row < 12; ++row) r[row][c] = '#';
  return r;
}

}  // namespace

TEST(HeroGame, LandsOnTheFloorIsCarriedLeftAndStaysAtTheEdge) {
  Course c(FlatFloor());
  Game& g = c.G();
  ASSERT_TRUE(c.RunUntil(100, [](Game& h) { return h.HeroVY == 0; }));
  EXPECT_EQ(g.HeroY, 275);
  const float x = g.HeroX;
  c.Frames(10);
  EXPECT_EQ(x - g.HeroX, 20);  // carried 2 pixels a frame
  EXPECT_EQ(g.HeroY, 275);
  c.Frames(100);  // at the edge by now
  for (int i = 0; i < 300; ++i) {
    c.Frames(1);
    ASSERT_EQ(g.HeroState, 0) << i;
    ASSERT_GT(g.HeroX, 0) << i;
    ASSERT_LE(g.HeroX, 5) << i;
  }
}

TEST(HeroGame, JumpsOnTheStreamedCourseWithTheSameProfile) {
  Course c(FlatFloor());
  Game& g = c.G();
  ASSERT_TRUE(c.RunUntil(100, [](Game& h) { return h.HeroVY == 0; }));
  c.plat.HoldKeys(kKeyUp);
  float y = g.HeroY;
  int rise = 0;
  for (int want = 12; want >= 1; --want) {
    c.Frames(1);
    c.plat.HoldKeys(0);
    EXPECT_EQ(y - g.HeroY, want);
    rise += static_cast<int>(y - g.HeroY);
    y = g.HeroY;
  }
  EXPECT_EQ(rise, 78);
  ASSERT_TRUE(c.RunUntil(30, [](Game& h) { return h.HeroVY == 0; }));
  EXPECT_EQ(g.HeroY, 275);
}

TEST(HeroGame, FallsIntoAPitLosesALifeAndComesBackBlinking) {
  // Columns 8 and 9 (x 200 to 249 at the start) are open to the bottom.
  Course c(WithPit(8, 9));
  Game& g = c.G();
  ASSERT_TRUE(c.RunUntil(100, [](Game& h) { return h.HeroVY == 0; }));
  // Walk right into the pit (the pit scrolls left at 2 a frame, the hero walks 5).
  c.plat.HoldKeys(kKeyRight);
  ASSERT_TRUE(c.RunUntil(40, [](Game& h) { return h.HeroVY != 0; }));
  c.plat.HoldKeys(0);
  ASSERT_TRUE(c.RunUntil(60, [](Game& h) { return h.HeroState == 1; }));
  EXPECT_GT(g.HeroY, 330);
  EXPECT_EQ(g.Lives, 3);
  ASSERT_TRUE(c.RunUntil(100, [](Game& h) { return h.HeroState == 2; }));
  c.Frames(10);
  EXPECT_EQ(g.HeroState, 2);  // waits for the action key
  c.plat.HoldKeys(kKeySpace);
  c.Frames(1);
  EXPECT_EQ(g.HeroState, 3);
  c.plat.HoldKeys(0);
  c.Frames(1);
  EXPECT_EQ(g.HeroState, 0);
  EXPECT_EQ(g.Lives, 2);
  EXPECT_EQ(g.Invincible, 200);
  EXPECT_EQ(g.HeroY, 28);
  ASSERT_TRUE(c.RunUntil(60, [](Game& h) { return h.HeroVY == 0; }));
  EXPECT_EQ(g.HeroY, 275);
  EXPECT_GT(g.Invincible, 150);
}

TEST(HeroGame, AWallCrushesTheHeroAtTheLeftEdge) {
  Course c(WithWall(12));  // x 300 at the start
  Game& g = c.G();
  float prev = g.HeroX;
  ASSERT_TRUE(c.RunUntil(400, [&](Game& h) {
    if (h.HeroState != 0) return true;
    prev = h.HeroX;
    return false;
  }));
  EXPECT_EQ(g.HeroState, 1);
  EXPECT_GT(g.Invincible, 0);
  // The death comes in the hero step, before the frame's carry.
  EXPECT_GT(prev + 20, 0);
}

TEST(HeroGame, TheSmallModeViewFollowsTheHero) {
  Course c(FlatFloor(), 0);
  Game& g = c.G();
  c.Frames(1);
  EXPECT_EQ(g.ViewY, 10);  // 30 / 3
  ASSERT_TRUE(c.RunUntil(100, [](Game& h) { return h.HeroVY == 0; }));
  c.Frames(1);
  EXPECT_EQ(g.ViewY, 88);  // 275 / 3 is held to 88
  c.plat.HoldKeys(kKeyUp);
  c.Frames(8);
  EXPECT_LT(g.ViewY, 88);
}

TEST(HeroGame, AThrowFliesOffTheFieldAndFreesItsSlot) {
  Course c(FlatFloor());
  Game& g = c.G();
  ASSERT_TRUE(c.RunUntil(100, [](Game& h) { return h.HeroVY == 0; }));
  c.plat.HoldKeys(kKeySpace);
  c.Frames(15);
  EXPECT_EQ(g.ChargeGauge, 120);
  c.plat.HoldKeys(0);
  ASSERT_TRUE(c.RunUntil(20, [](Game& h) { return h.BallState[0] == 3; }));
  EXPECT_EQ(g.BallNext, 1);
  ASSERT_TRUE(c.RunUntil(60, [](Game& h) { return h.BallState[0] == 0; }));
  EXPECT_TRUE(g.BallX[0] > 425 || g.BallY[0] >= 344);
}
