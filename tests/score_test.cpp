// SPDX-License-Identifier: GPL-3.0-or-later
// The box test, the combo score of a ball's hits with their pop-ups, and the
// death trigger.
#include <gtest/gtest.h>

#include "actors_support.hpp"

namespace morvik::test {
namespace {

TEST(ScoreBoxes, EdgeSharingBoxesDoNotOverlapButAnyInsetDoes) {
  ActorGame a;
  BoxesOverlap(a.g, 0, 0, 16, 13, 16, 0, 15, 19);
  EXPECT_EQ(a.g.HitFlag, 0);
  BoxesOverlap(a.g, 16, 0, 15, 19, 0, 0, 16, 13);  // either order
  EXPECT_EQ(a.g.HitFlag, 0);
  BoxesOverlap(a.g, 0, 0, 16, 13, 15.9f, 0, 15, 19);
  EXPECT_EQ(a.g.HitFlag, 0xFF);
  BoxesOverlap(a.g, 15.9f, 0, 15, 19, 0, 0, 16, 13);
  EXPECT_EQ(a.g.HitFlag, 0xFF);
  // sharing a horizontal edge, and one box inside the other
  BoxesOverlap(a.g, 0, 0, 16, 13, 0, 13, 16, 13);
  EXPECT_EQ(a.g.HitFlag, 0);
  BoxesOverlap(a.g, 0, 0, 40, 40, 10, 10, 5, 5);
  EXPECT_EQ(a.g.HitFlag, 0xFF);
  BoxesOverlap(a.g, 0, 0, 16, 13, 100, 100, 16, 13);
  EXPECT_EQ(a.g.HitFlag, 0);
}

TEST(ScoreCombo, OneBallsHitsClimbTheTableAndWriteRingPopups) {
  ActorGame a;
  Game& g = a.g;
  ScoreBallHit(g, 0, 100, 50);
  ScoreBallHit(g, 0, 200, 60);
  ScoreBallHit(g, 0, 300, 70);
  EXPECT_EQ(g.Score, 100 + 200 + 500);
  EXPECT_EQ(g.PopValue[1], 1);
  EXPECT_EQ(g.PopValue[2], 2);
  EXPECT_EQ(g.PopValue[3], 3);
  EXPECT_FLOAT_EQ(g.PopX[3], 290);
  EXPECT_FLOAT_EQ(g.PopY[3], 75);
  EXPECT_EQ(g.PopNext, 4);
  // another ball starts its own count
  ScoreBallHit(g, 1, 0, 0);
  EXPECT_EQ(g.Score, 900);
  EXPECT_EQ(g.ShotHits[1], 1);
  // a removed ball's count is back at 0 and the next flight scores from the start
  g.ShotHits[0] = 0;
  ScoreBallHit(g, 0, 0, 0);
  EXPECT_EQ(g.Score, 1000);
  EXPECT_EQ(g.PopValue[5], 1);
}

TEST(ScoreCombo, LongFlightsReachTheTopStepAndStayThere) {
  ActorGame a;
  Game& g = a.g;
  g.ShotHits[2] = 21;
  ScoreBallHit(g, 2, 0, 0);
  EXPECT_EQ(g.Score, 35000);
  g.Score = 0;
  g.ShotHits[2] = 26;
  ScoreBallHit(g, 2, 0, 0);
  EXPECT_EQ(g.Score, 80000);
  // the 28th and later hits score as the 27th and the count goes on
  ScoreBallHit(g, 2, 0, 0);
  ScoreBallHit(g, 2, 0, 0);
  ScoreBallHit(g, 2, 0, 0);
  EXPECT_EQ(g.Score, 4 * 80000);
  EXPECT_EQ(g.ShotHits[2], 30);
  // the pop-up holds the count itself: the best combo, the status bar and the
  // record count 30, while a label past 24 draws nothing
  EXPECT_EQ(g.PopValue[g.PopNext - 1], 30);
  g.MaxCombo = 100;
  g.BestCombo = 100;
  const int last = g.PopNext - 1;
  for (int16_t i = 1; i <= 40; ++i) {
    DrawScorePopup(g, g.pic.UraM, i);
    StepScorePopup(g, i);
  }
  EXPECT_EQ(g.MaxCombo, 130);
  EXPECT_FLOAT_EQ(g.PopX[last], -10) << "not drawn, so not moved";
  SaveRecords(g);
  g.BestCombo = 0;
  LoadRecords(g);
  EXPECT_EQ(g.BestCombo, 130);
  // the count's byte stops at 255 rather than wrapping round
  g.ShotHits[2] = 300;
  ScoreBallHit(g, 2, 0, 0);
  EXPECT_EQ(g.PopValue[g.PopNext - 1], 255);
  // the score never wraps negative
  g.Score = INT32_MAX - 5;
  ScoreBallHit(g, 2, 0, 0);
  EXPECT_EQ(g.Score, INT32_MAX);
}

TEST(ScoreCombo, PopupRingCyclesThroughTheSlotCount) {
  ActorGame a;
  Game& g = a.g;
  for (int k = 0; k < 40; ++k) {
    g.ShotHits[0] = 0;
    ScoreBallHit(g, 0, static_cast<float>(k), 0);
  }
  EXPECT_EQ(g.PopNext, 1);
  EXPECT_FLOAT_EQ(g.PopX[40], 39 - 10);
  g.ShotHits[0] = 4;
  ScoreBallHit(g, 0, 500, 0);  // the 41st overwrites the first
  EXPECT_EQ(g.PopValue[1], 5);
  EXPECT_FLOAT_EQ(g.PopX[1], 490);
  EXPECT_EQ(g.PopNext, 2);
  // a ring index out of range is brought back into the table
  g.PopNext = 200;
  ScoreBallHit(g, 0, 0, 0);
  EXPECT_EQ(g.PopNext, 2);
  EXPECT_EQ(g.PopValue[1], 6);
}

TEST(ScoreKillHero, SecondTouchInOneFrameChangesNothing) {
  ActorGame a;
  Game& g = a.g;
  g.ChargeGauge = 90;
  KillHero(g);
  EXPECT_EQ(g.HeroState, 1);
  EXPECT_FLOAT_EQ(g.HeroVY, 8);
  EXPECT_EQ(g.ChargeGauge, 0);
  g.HeroVY = 3;  // the death jump has begun
  KillHero(g);
  EXPECT_FLOAT_EQ(g.HeroVY, 3);
  EXPECT_EQ(a.SoundCount("dead"), 1);
}

}  // namespace
}  // namespace morvik::test
