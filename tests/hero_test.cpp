// SPDX-License-Identifier: GPL-3.0-or-later
// The hero against hand-made collision maps: jumping, standing, walking,
// bumping, the two deaths, charging and throwing, ball flight, dying and
// coming back, and the pause.
#include <gtest/gtest.h>

#include <vector>

#include "hero_support.hpp"
#include "platform/headless/script.hpp"

using namespace morvik;
using namespace morvik::test;

namespace {

std::vector<int> Deltas(Field& f, int n) {
  std::vector<int> d;
  for (int i = 0; i < n; ++i) {
    const float before = f.G().HeroY;
    HeroStep(f.G());
    d.push_back(static_cast<int>(f.G().HeroY - before));
  }
  return d;
}

std::vector<ScriptEvent> Script(const std::string& text) {
  std::vector<ScriptEvent> ev;
  std::string err;
  EXPECT_TRUE(ParseScript(text, ev, err)) << err;
  return ev;
}

}  // namespace

TEST(HeroJump, RisesTwelveDownToOneThenFallsFasterUpToEighteen) {
  Field f(150, 30);
  StampRow(f.G(), 12);
  ASSERT_TRUE(f.Settle());
  EXPECT_EQ(f.G().HeroY, 275);  // resting on row 12

  f.Keys(kKeyUp);
  const float y0 = f.G().HeroY;
  HeroStep(f.G());
  f.Keys(0);
  EXPECT_FLOAT_EQ(f.G().HeroVY, 11.1f);  // 12.1, less this step's gravity
  EXPECT_EQ(y0 - f.G().HeroY, 12);
  std::vector<int> up = Deltas(f, 11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(up[i], -(11 - i)) << i;
  EXPECT_EQ(y0 - f.G().HeroY, 78);
  std::vector<int> down = Deltas(f, 11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(down[i], 2 + i) << i;
  // 2 + ... + 12 = 77: one pixel above the floor, and the next step lands.
  HeroStep(f.G());
  EXPECT_EQ(f.G().HeroY, 275);
  EXPECT_EQ(f.G().HeroVY, 0);
  // Holding Up jumps again only from the ground, never in the air.
  f.Keys(kKeyUp);
  HeroStep(f.G());
  HeroStep(f.G());
  EXPECT_EQ(275 - f.G().HeroY, 12 + 11);
}

TEST(HeroJump, FreeFallIsCappedAtEighteenPixels) {
  Field f(150, -300);
  f.G().HeroVY = 12.1f;
  std::vector<int> d = Deltas(f, 32);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(d[i], -(12 - i)) << i;
  for (int i = 12; i < 29; ++i) EXPECT_EQ(d[i], i - 10) << i;  // 2 .. 18
  EXPECT_EQ(d[29], 18);
  EXPECT_EQ(d[31], 18);
  EXPECT_FLOAT_EQ(f.G().HeroVY, -16.9f);
}

TEST(HeroGround, RestsOneCellAboveTheBlockRow) {
  for (int r : {3, 7, 12}) {
    Field f(100, 0);
    StampRow(f.G(), r);
    ASSERT_TRUE(f.Settle()) << r;
    EXPECT_EQ(f.G().HeroY, 25 * r - 25) << r;
    f.Steps(5);
    EXPECT_EQ(f.G().HeroY, 25 * r - 25) << r;
    EXPECT_EQ(f.G().HeroVY, 0) << r;
  }
}

TEST(HeroGround, WalkingOffAnEdgeStartsAFall) {
  Field f(100, 0);
  StampSolid(f.G(), 0, 300, 130, 325);
  ASSERT_TRUE(f.Settle());
  f.Keys(kKeyRight);
  f.Steps(7);  // both feet past the block's end at x 130
  EXPECT_NE(f.G().HeroVY, 0);
  f.Keys(0);
  f.Steps(20);
  EXPECT_GT(f.G().HeroY, 275);
}

TEST(HeroWalk, FlatGroundDoesNotStopAOneCellBlockDoes) {
  Field f(150, 0);
  StampRow(f.G(), 12);
  StampSolid(f.G(), 250, 275, 275, 300);  // one block on the floor
  ASSERT_TRUE(f.Settle());
  f.Keys(kKeyRight);
  f.Steps(4);
  EXPECT_EQ(f.G().HeroX, 170);  // 5 pixels a frame along the floor
  f.Steps(20);
  EXPECT_EQ(f.G().HeroX, 229);  // the right probe (x + 21) touches the block at 250
  f.Keys(kKeyLeft);
  f.Steps(2);
  EXPECT_EQ(f.G().HeroX, 219);
  // Left and right together: left first, then right.
  f.Keys(kKeyLeft | kKeyRight);
  f.Steps(3);
  EXPECT_EQ(f.G().HeroX, 219);
}

TEST(HeroWalk, FieldEdgesHoldTheHero) {
  Field f(10, 0);
  StampRow(f.G(), 12);
  ASSERT_TRUE(f.Settle());
  f.Keys(kKeyLeft);
  f.Steps(10);
  EXPECT_EQ(f.G().HeroX, 1);  // each pixel at 0 or less is given back
  EXPECT_EQ(f.G().HeroState, 0);
  f.G().HeroX = 390;
  f.Keys(kKeyRight);
  f.Steps(10);
  EXPECT_EQ(f.G().HeroX, 403);  // x + 21 stays below 425
}

TEST(HeroBump, HeadStopsAtTheBlockAboveAndTheFallStarts) {
  Field f(150, 0);
  StampRow(f.G(), 12);
  ASSERT_TRUE(f.Settle());
  StampRow(f.G(), 8);  // ceiling: solid rows 200 .. 224
  f.Keys(kKeyUp);
  for (int i = 0; i < 7; ++i) HeroStep(f.G());
  f.Keys(0);
  EXPECT_EQ(f.G().HeroY, 215);  // head probe (y + 9) on the ceiling's lowest row
  EXPECT_FLOAT_EQ(f.G().HeroVY, 0.1f);
  HeroStep(f.G());
  EXPECT_GT(f.G().HeroY, 215);
}

TEST(HeroDeath, FallingBelow330KillsButNotAt330) {
  for (float y : {330.0f, 330.5f}) {
    Field f(150, y);  // nothing below
    f.G().Invincible = 100;  // does not protect against falling
    HeroStep(f.G());
    EXPECT_EQ(f.G().HeroState, y > 330 ? 1 : 0) << y;
  }
  Field f(150, 330.5f);
  HeroStep(f.G());
  EXPECT_FLOAT_EQ(f.G().HeroVY, 8.0f);
  EXPECT_EQ(f.G().ChargeGauge, 0);
}

TEST(HeroDeath, KillHeroActsOnlyOnALiveHero) {
  Field f;
  f.G().ChargeGauge = 64;
  KillHero(f.G());
  EXPECT_EQ(f.G().HeroState, 1);
  EXPECT_EQ(f.G().HeroVY, 8);
  EXPECT_EQ(f.G().ChargeGauge, 0);
  f.G().HeroVY = 3;
  KillHero(f.G());
  EXPECT_EQ(f.G().HeroVY, 3);
  for (uint8_t s : {2, 3, 4}) {
    f.G().HeroState = s;
    KillHero(f.G());
    EXPECT_EQ(f.G().HeroState, s);
  }
}

namespace {
// One frame of the left edge as the world frame does it: hero step, terrain
// scroll, carry.
void EdgeFrame(Field& f) {
  HeroStep(f.G());
  f.G().pic.Color.ScrollLeft(f.G().ScrollSpeed);
  if (f.G().HeroX - 3.0 > 0) f.G().HeroX = static_cast<float>(f.G().HeroX - 2.0);
}
}  // namespace

TEST(HeroDeath, AWallPushesTheHeroOutAtTheLeftEdge) {
  Field f(30, 0);
  f.G().Invincible = 200;
  StampRow(f.G(), 12);
  StampSolid(f.G(), 60, 0, 85, 300);  // a wall up to the sky, 10 pixels right of the hero
  ASSERT_TRUE(f.Settle());
  float prev = f.G().HeroX;
  int frames = 0;
  while (f.G().HeroState == 0 && frames < 200) {
    prev = f.G().HeroX;
    EdgeFrame(f);
    ++frames;
  }
  ASSERT_EQ(f.G().HeroState, 1);
  EXPECT_LE(f.G().HeroX + 20, 0);
  EXPECT_GT(prev + 20, 0);
  EXPECT_GT(f.G().Invincible, 0);  // invincibility did not help
}

TEST(HeroDeath, WithoutAWallTheHeroStaysAtTheEdge) {
  for (int s : {2, 4}) {
    Field f(30, 0);
    f.G().ScrollSpeed = s;
    StampRow(f.G(), 12);
    ASSERT_TRUE(f.Settle());
    for (int i = 0; i < 150; ++i) EdgeFrame(f);
    EXPECT_EQ(f.G().HeroState, 0) << s;
    EXPECT_GT(f.G().HeroX, 0) << s;
    EXPECT_LE(f.G().HeroX, 5 + s) << s;
  }
}

TEST(HeroThrow, PowerFollowsTheFramesHeld) {
  struct Case {
    int held;
    float vx, vy;
    int16_t gauge;
  };
  for (Case c : {Case{1, 4.0f, 6.0f, 8}, Case{15, 13.333333f, 20.0f, 120}, Case{40, 13.333333f, 20.0f, 120}}) {
    Field f(150, 0);
    StampRow(f.G(), 12);
    ASSERT_TRUE(f.Settle());
    f.Keys(kKeySpace);
    f.Steps(c.held);
    EXPECT_EQ(f.G().BallState[0], 1);
    EXPECT_EQ(f.G().ChargeGauge, c.gauge) << c.held;
    f.Keys(0);
    HeroStep(f.G());
    EXPECT_EQ(f.G().BallState[0], 2);
    EXPECT_FLOAT_EQ(f.G().BallVX[0], c.vx) << c.held;
    EXPECT_FLOAT_EQ(f.G().BallVY[0], c.vy) << c.held;
    // In the hand behind the hero, then over its front, then off it goes.
    EXPECT_EQ(f.G().BallX[0], f.G().HeroX - 5);
    EXPECT_EQ(f.G().BallY[0], f.G().HeroY + 13);
    int steps = 0;
    while (f.G().BallState[0] == 2 && steps < 20) {
      HeroStep(f.G());
      ++steps;
    }
    EXPECT_EQ(f.G().BallState[0], 3);
    EXPECT_EQ(f.G().BallNext, 1);
    EXPECT_EQ(f.G().ChargeGauge, 0);
    EXPECT_EQ(f.G().HeroFrame, 0);
  }
}

TEST(HeroThrow, ZAndTheStickButtonChargeToo) {
  Field f(150, 0);
  StampRow(f.G(), 12);
  ASSERT_TRUE(f.Settle());
  f.Keys(kKeyZ);
  HeroStep(f.G());
  EXPECT_EQ(f.G().BallState[0], 1);
  f.Keys(0);
  f.plat.SetJoystick(true, JoyReading{0, 0, 0});
  HeroStep(f.G());  // the stick is taken up at rest; no button: the throw starts
  EXPECT_EQ(f.G().BallState[0], 2);
  Field h(150, 0);
  h.plat.SetJoystick(true, JoyReading{0, 0, 0});
  HeroStep(h.G());
  h.plat.SetJoystick(true, JoyReading{0, 0, 2});  // the second button
  HeroStep(h.G());
  EXPECT_EQ(h.G().BallState[0], 1);
}

TEST(HeroThrow, NoChargeWhileTheSlotsBallStillFlies) {
  Field f(150, 0);
  StampRow(f.G(), 12);
  ASSERT_TRUE(f.Settle());
  f.G().BallState[0] = 3;
  f.G().BallX[0] = 100;
  f.G().BallY[0] = -100;
  f.G().BallVY[0] = -30;
  f.Keys(kKeySpace);
  HeroStep(f.G());
  EXPECT_EQ(f.G().BallState[0], 3);
  EXPECT_EQ(f.G().BallState[1], 0);
  EXPECT_EQ(f.G().ChargeGauge, 0);
}

TEST(HeroThrow, AtMostThreeBallsWithTwoAsTheHighestSlot) {
  Field f(150, 0);
  StampRow(f.G(), 12);
  ASSERT_TRUE(f.Settle());
  int flying = 0;
  for (int t = 0; t < 4; ++t) {
    f.Keys(kKeySpace);
    f.Steps(15);  // high throws stay in the air a long time
    f.Keys(0);
    f.Steps(10);
  }
  for (int i = 0; i <= 10; ++i) flying += f.G().BallState[i] == 3;
  EXPECT_LE(flying, 3);
  for (int i = 3; i <= 10; ++i) EXPECT_EQ(f.G().BallState[i], 0);
}

TEST(HeroBalls, LeaveAtTheBottomOrTheRightWithTheirHitsCleared) {
  Field f(150, 0);
  StampRow(f.G(), 12);
  ASSERT_TRUE(f.Settle());
  Game& g = f.G();
  g.BallState[0] = 3;
  g.BallX[0] = 100;
  g.BallY[0] = 343;
  g.BallVY[0] = 0;
  g.ShotHits[0] = 4;
  g.BallState[1] = 3;
  g.BallX[1] = 420;
  g.BallY[1] = 100;
  g.BallVX[1] = 5;
  g.BallVY[1] = 0;
  g.ShotHits[1] = 2;
  HeroStep(g);
  EXPECT_EQ(g.BallState[0], 3);  // 343 is still in
  EXPECT_EQ(g.BallState[1], 3);  // 425 is still in
  HeroStep(g);
  EXPECT_EQ(g.BallState[0], 0);
  EXPECT_EQ(g.ShotHits[0], 0);
  EXPECT_EQ(g.BallVY[0], 0);
  EXPECT_FLOAT_EQ(g.BallY[0], 344.2f);  // the position is kept
  EXPECT_EQ(g.BallState[1], 0);
  EXPECT_EQ(g.ShotHits[1], 0);
  EXPECT_EQ(g.BallVX[1], 0);
  EXPECT_EQ(g.BallX[1], 430);
}

TEST(HeroBalls, EverySlotMovesWhileTheHeroIsDown) {
  Field f(150, 100);
  Game& g = f.G();
  g.BallState[1] = 1;  // was being charged
  g.BallX[1] = 50;
  g.BallY[1] = 200;
  g.BallVY[1] = 9;
  KillHero(g);
  HeroStep(g);
  EXPECT_EQ(g.BallY[1], 191);
  EXPECT_FLOAT_EQ(g.BallVY[1], 7.8f);
}

TEST(HeroLife, DiesJumpsFallsWaitsAndComesBackFromTheLivesRow) {
  Field f(150, 0);
  StampRow(f.G(), 12);
  ASSERT_TRUE(f.Settle());
  Game& g = f.G();
  g.Lives = 2;
  KillHero(g);
  f.Steps(1);
  EXPECT_EQ(g.HeroY, 267);
  EXPECT_EQ(g.HeroFrame, 6);
  int n = 1;
  while (g.HeroState == 1 && n < 100) {
    HeroStep(g);
    ++n;
  }
  EXPECT_EQ(g.HeroState, 2);
  EXPECT_GE(g.HeroY, 400);
  f.Steps(5);
  EXPECT_EQ(g.HeroState, 2);  // waits for the action key
  f.Keys(kKeySpace);
  HeroStep(g);
  EXPECT_EQ(g.HeroState, 3);
  f.Keys(0);
  g.LabelTimer = 30;
  g.BallRate = 4;
  g.LifeIconFrame = 1.4f;
  HeroStep(g);
  EXPECT_EQ(g.HeroState, 0);
  EXPECT_EQ(g.HeroX, 17 * 2 + 3);  // placed before the life is taken
  EXPECT_EQ(g.Lives, 1);
  EXPECT_EQ(g.HeroY, 28);
  EXPECT_FLOAT_EQ(g.HeroVY, 10.1f);
  EXPECT_EQ(g.Invincible, 200);
  EXPECT_EQ(g.BallRate, 0);
  EXPECT_EQ(g.BallMax, 2);
  EXPECT_EQ(g.LabelTimer, 0);
  EXPECT_FLOAT_EQ(g.HeroFrame, 1.4f);
  HeroStep(g);
  EXPECT_EQ(g.Invincible, 199);
  EXPECT_FLOAT_EQ(g.HeroVY, 9.1f);
}

TEST(HeroLife, WithoutLivesTheGameOverStarts) {
  Field f(150, 500);
  Game& g = f.G();
  g.Lives = 0;
  g.HeroState = 2;
  g.SceneStep = 7;
  HeroStep(g);
  EXPECT_EQ(g.HeroState, 4);
  EXPECT_EQ(g.FrameSlowdown, 25);
  EXPECT_EQ(g.SceneStep, 0);
}

TEST(HeroLife, ComingBackWithFewerSlotsLeavesNoStaleBall) {
  Field f(150, 500);
  Game& g = f.G();
  g.HeroState = 3;
  g.BallMax = 5;
  g.BallNext = 4;
  g.BallState[4] = 3;  // still in the air, above the slots left after the respawn
  g.BallY[4] = 100;
  g.BallState[1] = 1;  // was being charged when the hero died
  g.BallVY[1] = -12;
  g.BallState[0] = 3;  // a ball in a slot that stays keeps flying
  g.BallY[0] = 100;
  g.BallVY[0] = 1;
  HeroStep(g);
  EXPECT_EQ(g.BallNext, 0);
  EXPECT_EQ(g.BallState[4], 0);
  EXPECT_EQ(g.BallState[1], 0);
  EXPECT_EQ(g.BallState[0], 3);
  // The hero can charge at once.
  f.Keys(kKeySpace);
  g.BallState[0] = 0;
  HeroStep(g);
  EXPECT_EQ(g.ChargeGauge, 8);
}

TEST(HeroView, SmallModeFollowsTheHeroAndTheSkyOffsetIsClamped) {
  Field f(150, 0);
  Game& g = f.G();
  g.ScreenMode = 0;
  struct Case {
    float y;
    int view;
  };
  // The view is taken from the height before this step's move, halves to even.
  for (Case c : {Case{-30, 0}, Case{100.5f, 34}, Case{160.5f, 54}, Case{163.5f, 54}, Case{300, 88}}) {
    g.HeroState = 0;
    g.HeroY = c.y;
    g.HeroVY = -0.9f;
    HeroStep(g);
    EXPECT_EQ(g.ViewY, c.view) << c.y;
    const double b = g.HeroY / 4.0;
    EXPECT_FLOAT_EQ(g.BackY, static_cast<float>(b < 0 ? 0 : b > 85 ? 85 : b)) << c.y;
  }
  g.ScreenMode = 1;
  g.HeroState = 0;
  g.ViewY = 7;
  g.HeroY = 200;
  HeroStep(g);
  EXPECT_EQ(g.ViewY, 7);
  g.HeroState = 0;
  g.HeroY = 345;
  HeroStep(g);
  EXPECT_EQ(g.BackY, 85);
}

TEST(HeroView, TheViewSlidesHomeWhileTheHeroDies) {
  Field f(150, 250);
  Game& g = f.G();
  g.ScreenMode = 0;
  g.ViewY = 87;
  KillHero(g);
  int frames = 0;
  while (g.HeroState == 1 && frames < 200) {
    HeroStep(g);
    ++frames;
  }
  EXPECT_EQ(g.HeroState, 2);
  EXPECT_EQ(g.ViewY, 0);
  EXPECT_GE(frames, 44);  // 87 down to -1 by 2 a frame
}

TEST(HeroPause, APressPausesUntilTheNextPressAfterARelease) {
  Field f(150, 100);
  Game& g = f.G();
  // The label's cells: black all over, so it shows where it is drawn.
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 52; ++x) g.pic.Pose.Set(x, y, kBlack);
  g.pic.M.Clear(kWhite);
  const uint32_t t0 = f.plat.Clock();
  f.plat.SetScript(Script("@" + std::to_string(t0 + 300) + " -\n@" + std::to_string(t0 + 600) + " P\n"));
  f.Keys(kKeyP);
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_GE(f.plat.Clock(), t0 + 600);
  EXPECT_LT(f.plat.Clock(), t0 + 700);
  EXPECT_EQ(g.PauseLatch, 1);
  EXPECT_EQ(g.QuitToTitle, 0);
  EXPECT_EQ(g.pic.M.Get(172, 104), kBlack);  // (x + 22, y + 4)
  EXPECT_EQ(g.pic.M.Get(223, 117), kBlack);
  EXPECT_EQ(g.pic.M.Get(171, 104), kWhite);
  // Still held: the latch keeps the same press from pausing again.
  const uint32_t t1 = f.plat.Clock();
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_EQ(f.plat.Clock(), t1);
  f.Keys(0);
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_EQ(g.PauseLatch, 0);
}

TEST(HeroPause, EscapeWhilePausedLeavesTheGame) {
  Field f(150, 100);
  Game& g = f.G();
  const uint32_t t0 = f.plat.Clock();
  f.plat.SetScript(Script("@" + std::to_string(t0 + 200) + " P+Escape\n"));
  f.Keys(kKeyP);
  PauseCheck(g, g.HeroX, g.HeroY);
  EXPECT_EQ(g.QuitToTitle, 1);
  EXPECT_GE(f.plat.Clock(), t0 + 200);
}

TEST(HeroPause, OnlyALiveOrWaitingHeroPauses) {
  Field f(150, 100);
  Game& g = f.G();
  f.Keys(kKeyP);
  for (uint8_t s : {1, 3, 4}) {
    g.HeroState = s;
    const uint32_t t = f.plat.Clock();
    PauseCheck(g, g.HeroX, g.HeroY);
    EXPECT_EQ(f.plat.Clock(), t) << int(s);
  }
  // Waiting: the pause works, its label off the picture.
  g.HeroState = 2;
  g.Lives = 1;
  g.pic.M.Clear(kWhite);
  const uint32_t t0 = f.plat.Clock();
  f.plat.SetScript(Script("@" + std::to_string(t0 + 100) + " -\n@" + std::to_string(t0 + 200) + " P\n"));
  HeroStep(g);
  EXPECT_GE(f.plat.Clock(), t0 + 200);
  EXPECT_EQ(g.HeroState, 2);
}
