// SPDX-License-Identifier: GPL-3.0-or-later
// The clouds' drift, wraps and parallax, and the phases of a wind gust.
#include <gtest/gtest.h>

#include "hero_support.hpp"

using namespace morvik;
using namespace morvik::test;

namespace {
// One frame of each cloud layer as the world frame runs it: the far one
// first brings back what blew off to the right; each is drawn, then drifts.
void FarLayer(Game& g) {
  WrapClouds(g);
  DrawFarClouds(g, g.pic.UraM);
  DriftFarClouds(g);
}
void NearLayer(Game& g) {
  DrawNearClouds(g, g.pic.UraM);
  DriftNearClouds(g);
}

// Cloud cells black all over, so a drawn cloud is a black rectangle.
void BlackClouds(Game& g) {
  g.pic.Cloud.Clear(kBlack);
  g.pic.UraM.Clear(kWhite);
}

// A generator state whose next roll of the gust is a hit (4000u rounds to 50).
uint64_t GustHitState() {
  for (uint64_t s = 1;; ++s) {
    Rng r;
    r.SetState(s);
    if (Rnd(4000 * r.Uniform()) == 50) return s;
  }
}

}  // namespace

TEST(SkyClouds, WrapAtBothSidesAndAreDrawnBeforeTheyMove) {
  Field f;
  Game& g = f.G();
  BlackClouds(g);
  g.CloudDrift = 0;
  g.CloudX[1] = -50;
  NearLayer(g);
  EXPECT_EQ(g.CloudX[1], 460);  // -53.5 is past -51: back in at the right
  g.CloudX[5] = 100.5f;
  g.CloudY[5] = 127;
  g.BackY = 85;
  g.pic.UraM.Clear(kWhite);
  NearLayer(g);
  // drawn at (100, 127 - 17) before moving 2.9 left
  EXPECT_EQ(g.pic.UraM.Get(100, 110), kBlack);
  EXPECT_EQ(g.pic.UraM.Get(145, 133), kBlack);
  EXPECT_EQ(g.pic.UraM.Get(99, 110), kWhite);
  EXPECT_EQ(g.pic.UraM.Get(100, 134), kWhite);
  EXPECT_FLOAT_EQ(g.CloudX[5], static_cast<float>(100.5f - 2.9));
  // the near layer leaves the right-hand wrap to the next far layer
  g.CloudX[1] = 462;
  NearLayer(g);
  EXPECT_FLOAT_EQ(g.CloudX[1], static_cast<float>(462 - 3.5));
  g.CloudX[1] = 462;
  FarLayer(g);
  EXPECT_EQ(g.CloudX[1], -50);
}

TEST(SkyClouds, AGustBlowsEveryCloudToTheRight) {
  Field f;
  Game& g = f.G();
  g.CloudDrift = 4;
  for (int i = 0; i < 6; ++i) g.CloudX[i] = 100;
  FarLayer(g);
  NearLayer(g);
  const double expect[6] = {1.5, 0.5, 2.5, 2.2, 1.7, 1.1};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(g.CloudX[i], 100 + expect[i], 1e-4) << i;
  // A cloud at 462 is set to -50 before it is drawn and moved.
  g.CloudX[2] = 462;
  FarLayer(g);
  EXPECT_FLOAT_EQ(g.CloudX[2], -47.5f);
}

TEST(SkyClouds, ParallaxShiftsEachLayerByItsShare) {
  Field f;
  Game& g = f.G();
  BlackClouds(g);
  g.BackY = 85;
  g.CloudDrift = 0;
  g.CloudX[2] = 10;
  g.CloudY[2] = 167;  // small: 85 / 12 = 7.083 up, drawn at 160
  g.CloudX[0] = 100;
  g.CloudY[0] = 140;  // medium: 10.625 up, drawn at 129
  for (int i : {1, 3, 4, 5}) g.CloudX[i] = 400;
  FarLayer(g);
  EXPECT_EQ(g.pic.UraM.Get(10, 160), kBlack);
  EXPECT_EQ(g.pic.UraM.Get(10, 159), kWhite);
  EXPECT_EQ(g.pic.UraM.Get(10, 173), kBlack);
  EXPECT_EQ(g.pic.UraM.Get(10, 174), kWhite);
  EXPECT_EQ(g.pic.UraM.Get(100, 129), kBlack);
  EXPECT_EQ(g.pic.UraM.Get(100, 128), kWhite);
  EXPECT_EQ(g.pic.UraM.Get(100, 147), kBlack);
  EXPECT_EQ(g.pic.UraM.Get(100, 148), kWhite);
}

TEST(SkyGust, PhasesLast44Then200Then86FramesThenOneCalmFrame) {
  Field f;
  Game& g = f.G();
  g.KillCount = 100;
  g.rng.SetState(GustHitState());
  GustStep(g);  // the trigger frame
  ASSERT_EQ(g.GustPhase, 1);
  EXPECT_EQ(g.CloudDrift, 4);
  int run[3] = {1, 0, 0};
  const int speeds[3] = {3, 4, 3};
  int k = 0;
  for (int frame = 0; frame < 400 && g.GustPhase != 0; ++frame) {
    GustStep(g);
    if (g.GustPhase == 0) break;
    if (g.ScrollSpeed != speeds[k]) ++k;
    ASSERT_LT(k, 3);
    ASSERT_EQ(g.ScrollSpeed, speeds[k]);
    EXPECT_EQ(g.CloudDrift, k == 1 ? 7 : 4);
    ++run[k];
  }
  EXPECT_EQ(run[0], 44);
  EXPECT_EQ(run[1], 200);
  EXPECT_EQ(run[2], 86);
  EXPECT_EQ(g.GustPhase, 0);
  EXPECT_EQ(g.ScrollSpeed, 2);
  EXPECT_EQ(g.CloudDrift, 0);
  EXPECT_EQ(g.GustTimer, 0);
}

TEST(SkyGust, NoGustAndNoRollBelow100Kills) {
  Field f;
  Game& g = f.G();
  g.KillCount = 99;
  g.rng.SetState(GustHitState());
  const uint64_t before = g.rng.State();
  for (int i = 0; i < 50; ++i) GustStep(g);
  EXPECT_EQ(g.GustPhase, 0);
  EXPECT_EQ(g.rng.State(), before);
  g.KillCount = 100;
  GustStep(g);
  EXPECT_EQ(g.GustPhase, 1);
  EXPECT_EQ(g.ScrollSpeed, 3);
}

TEST(SkyGust, TheFullStretchMovesTheHeroFourPixelsAndTheEdgePushMatches) {
  Field f(100, 0);
  Game& g = f.G();
  StampRow(g, 12);
  ASSERT_TRUE(f.Settle());
  g.GustPhase = 2;
  g.GustTimer = 10;
  g.ScrollSpeed = 4;
  const float x0 = g.HeroX;
  HeroStep(g);
  WorldFrame(g);
  EXPECT_EQ(x0 - g.HeroX, 4);
  g.HeroX = 2;
  HeroStep(g);
  EXPECT_EQ(g.HeroX, 6);  // pushed back in by the same 4 pixels
}
