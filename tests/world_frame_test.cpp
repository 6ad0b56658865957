// SPDX-License-Identifier: GPL-3.0-or-later
// The world frame: the scroll carry, the caption and flash counters, the
// slot pass, the view copied to the screen, and the hero drawn from its
// variables.
#include <gtest/gtest.h>

#include "hero_support.hpp"

using namespace morvik;
using namespace morvik::test;

namespace {

// A sky whose row y has the colour y (so the copied rows can be told apart).
void PaintBackRows(Game& g) {
  for (int y = 0; y < g.pic.Back.Height(); ++y)
    for (int x = 0; x < g.pic.Back.Width(); ++x) g.pic.Back.Set(x, y, Rgb(0, y >> 8, y & 255));
}

// A sheet painted black all over: its sprites draw as black rectangles.
void Blacken(Surface& s) { s.Clear(kBlack); }

}  // namespace

TEST(WorldCarry, TheScrollCarriesTheHeroUnlessItStandsAtTheEdge) {
  Field f(3.5f, 100);
  Game& g = f.G();
  WorldFrame(g);
  EXPECT_FLOAT_EQ(g.HeroX, 1.5f);
  WorldFrame(g);
  EXPECT_FLOAT_EQ(g.HeroX, 1.5f);
  g.HeroX = 3;
  WorldFrame(g);
  EXPECT_EQ(g.HeroX, 3);
  g.HeroX = 100;
  g.ScrollSpeed = 4 + 256;  // only the low byte counts
  WorldFrame(g);
  EXPECT_EQ(g.HeroX, 96);
}

TEST(WorldCaption, CountsDownWhileShownAndNotAfterTheGameIsOver) {
  Field f(100, 100);
  Game& g = f.G();
  Blacken(g.pic.GetItem);
  g.LabelIndex = 2;
  g.LabelTimer = 1;
  WorldFrame(g);
  EXPECT_EQ(g.LabelTimer, 0);
  EXPECT_EQ(g.pic.M.Get(120, 101), kBlack);  // (x + 22, y + 1), x after the carry
  WorldFrame(g);
  EXPECT_EQ(g.LabelTimer, 0);
  EXPECT_NE(g.pic.M.Get(120, 101), kBlack);
  g.LabelTimer = 5;
  g.HeroState = 4;
  WorldFrame(g);
  EXPECT_EQ(g.LabelTimer, 5);
}

TEST(WorldFlash, OddCountsAfterTheDecreaseShowWhite) {
  Field f(100, 100);
  Game& g = f.G();
  g.pic.Back.Clear(Rgb(10, 20, 30));
  g.pic.WhiteB.Clear(kWhite);
  g.FlashTimer = 1;
  WorldFrame(g);
  EXPECT_EQ(g.FlashTimer, 0);
  EXPECT_EQ(g.pic.M.Get(300, 0), Rgb(10, 20, 30));
  g.FlashTimer = 2;
  WorldFrame(g);
  EXPECT_EQ(g.FlashTimer, 1);
  EXPECT_EQ(g.pic.M.Get(300, 0), kWhite);
  WorldFrame(g);
  EXPECT_EQ(g.FlashTimer, 0);
  EXPECT_EQ(g.pic.M.Get(300, 0), Rgb(10, 20, 30));
  // A flash of 7 shows three white frames, every second one.
  g.FlashTimer = 7;
  int white = 0;
  for (int i = 0; i < 8; ++i) {
    WorldFrame(g);
    white += g.pic.M.Get(300, 0) == kWhite;
  }
  EXPECT_EQ(white, 3);
}

TEST(WorldSlots, AnEnemyPastMinus30IsFreedBeforeItsStep) {
  Field f(100, 100);
  Game& g = f.G();
  g.SlotCount = 3;
  g.EnemyKind[1] = 0;
  g.EnemyX[1] = -30.5f;
  g.EnemyKind[2] = 0;
  g.EnemyX[2] = -30;
  g.EnemyKind[3] = 0;
  g.EnemyX[3] = 0;
  // Kinds outside the enemy range do nothing in their step; the slot pass
  // alone decides whether they are kept.
  g.EnemyKind[1] = 9;
  g.EnemyKind[2] = 9;
  WorldFrame(g);
  EXPECT_EQ(g.EnemyKind[1], 0);
  EXPECT_EQ(g.EnemyKind[2], 9);
}

TEST(WorldSlots, ASlotCountBeyondTheTableIsHeldToIt) {
  Field f(100, 100);
  Game& g = f.G();
  g.SlotCount = 255;
  for (int i = 0; i <= 40; ++i) g.EnemyX[i] = g.EnemyY[i] = -100;
  // A pass past slot 40 would take EnemyY[0] as slot 41's place (far off to
  // the left) and free it by clearing its kind, EnemyX[0].
  g.EnemyX[0] = 7;
  WorldFrame(g);
  EXPECT_EQ(g.EnemyKind[40], 0);
  EXPECT_EQ(g.EnemyX[0], 7);
}

TEST(WorldView, TheSmallModeCopiesFromTheViewRow) {
  Field f(100, 300);
  Game& g = f.G();
  PaintBackRows(g);
  g.ScreenMode = 0;
  g.ViewY = 88;
  WorldFrame(g);
  EXPECT_EQ(g.pic.M.Get(300, 0), Rgb(0, 0, 88));
  EXPECT_EQ(g.pic.M.Get(300, 239), Rgb(0, 327 >> 8, 327 & 255));
  g.ViewY = 0;
  g.ScreenMode = 1;
  g.BackY = 40.5f;  // the sky row is rounded, halves to even
  WorldFrame(g);
  EXPECT_EQ(g.pic.M.Get(300, 0), Rgb(0, 0, 40));
}

// A smoothed window blends the small screen's last column and row with the
// next ones of M: those are composed too, never left stale (the wipe's white).
TEST(WorldView, TheSmallModeComposesOneColumnAndRowPastTheScreen) {
  Field f(100, 300);
  Game& g = f.G();
  PaintBackRows(g);
  g.ScreenMode = 0;
  for (const auto& [vx, vy] : {std::pair{0, 0}, std::pair{60, 70}}) {
    g.ViewX = static_cast<int16_t>(vx);
    g.ViewY = static_cast<int16_t>(vy);
    g.pic.M.Clear(kWhite);
    g.pic.UraM.Clear(kWhite);
    WorldFrame(g);
    for (int y = 0; y <= 240; ++y) EXPECT_EQ(g.pic.M.Get(320, y), Rgb(0, (vy + y) >> 8, (vy + y) & 255)) << y;
    for (int x = 0; x <= 320; x += 40) EXPECT_EQ(g.pic.M.Get(x, 240), Rgb(0, (vy + 240) >> 8, (vy + 240) & 255)) << x;
  }
}

TEST(WorldHero, DrawnWithTheOverlayAndItsBallsButNotAfterTheGameIsOver) {
  Field f(100.5f, 200);
  Game& g = f.G();
  g.pic.Back.Clear(Rgb(0, 0, 200));
  // Hero cells: image black, mask black. Overlay cells: image red on a black mask.
  Blacken(g.pic.Snow);
  g.pic.SnowM.Clear(kBlack);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 120; ++x) g.pic.SnowM.Set(x, y, Rgb(255, 0, 0));
  Blacken(g.pic.Ball);
  g.BallState[0] = 1;  // charging: not drawn
  g.BallX[0] = 300;
  g.BallY[0] = 50;
  g.BallState[1] = 3;
  g.BallX[1] = 250;
  g.BallY[1] = 60;
  WorldFrame(g);
  // The hero is drawn after the carry: 100.5 - 2 = 98.5, rounded to 98.
  EXPECT_EQ(g.pic.M.Get(98, 200), kBlack);
  EXPECT_EQ(g.pic.M.Get(117, 223), kBlack);
  EXPECT_EQ(g.pic.M.Get(97, 200), Rgb(0, 0, 200));
  EXPECT_EQ(g.pic.M.Get(300, 50), Rgb(0, 0, 200));
  EXPECT_EQ(g.pic.M.Get(250, 60), kBlack);
  g.Invincible = 5;
  WorldFrame(g);
  EXPECT_EQ(g.pic.M.Get(100, 210), Rgb(255, 0, 0));
  g.HeroFrame = 6;  // the fallen hero has no overlay cell
  WorldFrame(g);
  EXPECT_EQ(g.pic.M.Get(100, 210), kBlack);
  g.HeroState = 4;
  g.QuitToTitle = 0;
  WorldFrame(g);
  EXPECT_EQ(g.pic.M.Get(100, 210), Rgb(0, 0, 200));
  EXPECT_EQ(g.pic.M.Get(250, 60), Rgb(0, 0, 200));
}

TEST(WorldTerrain, TheCanvasesAreDrawnBeforeTheScroll) {
  Field f(300, 10);
  Game& g = f.G();
  g.pic.Back.Clear(Rgb(0, 0, 200));
  // A block at x 50 .. 74: opaque mask, green image.
  for (int y = 100; y < 125; ++y)
    for (int x = 50; x < 75; ++x) {
      g.pic.BLOCKD.Set(x, y, kBlack);
      g.pic.BLOCK.Set(x, y, Rgb(0, 160, 0));
    }
  WorldFrame(g);
  EXPECT_EQ(g.pic.M.Get(50, 100), Rgb(0, 160, 0));
  EXPECT_EQ(g.pic.M.Get(74, 124), Rgb(0, 160, 0));
  EXPECT_EQ(g.pic.M.Get(49, 100), Rgb(0, 0, 200));
  EXPECT_EQ(g.pic.M.Get(75, 100), Rgb(0, 0, 200));
}
