// SPDX-License-Identifier: GPL-3.0-or-later
// The game-over sequence, called once per frame as the world frame does.
#include <gtest/gtest.h>

#include <vector>

#include "support.hpp"

using namespace morvik;
using morvik::test::Fixture;

namespace {
struct Over : Fixture {
  explicit Over(int m) {
    g->ScreenMode = static_cast<uint8_t>(m);
    g->HeroState = 4;
    g->SceneStep = 0;
    g->LifeIconFrame = 0;
  }
  int Call() {
    GameOverScreen(*g);
    DrawGameOver(*g, g->pic.UraM);
    return g->SceneStep;
  }
  // Calls until the step is reached; the number of calls, or -1.
  int Until(int step, int limit = 1000) {
    for (int n = 1; n <= limit; ++n)
      if (Call() == step) return n;
    return -1;
  }
};
}  // namespace

TEST(GameOver, LettersStartBelowAndLandInARow) {
  for (int m : {0, 1}) {
    Over o(m);
    o.Call();
    const int gap = 45 * m;
    const float xs[8] = {29, 61, 93, 125, 167, 199, 231, 263};
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(o.g->SceneX[i], xs[i] + gap) << m << " " << i;
      EXPECT_EQ(o.g->SceneY[i], 240 + 240 * m);
    }
    // Letter 0 lands first, letter 7 last; step 2 waits for letter 7.
    bool zeroFirst = false;
    for (int n = 0; n < 500 && o.g->SceneStep == 1; ++n) {
      o.Call();
      if (o.g->SceneV[0] == -80 && o.g->SceneV[7] != -80) zeroFirst = true;
      for (int i = 0; i < 8; ++i) {
        if (o.g->SceneV[i] == -80) {
          ASSERT_EQ(o.g->SceneY[i], 88 + 47 * m) << i;
        }
      }
    }
    EXPECT_TRUE(zeroFirst);
    ASSERT_EQ(o.g->SceneStep, 2);
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(o.g->SceneY[i], 88 + 47 * m) << m << " " << i;
      EXPECT_EQ(o.g->SceneV[i], -80);
    }
    EXPECT_EQ(o.g->SceneX[8], 113 + 75 * m);
    EXPECT_EQ(o.g->SceneY[8], 240 + 240 * m);
  }
}

TEST(GameOver, TheCharacterJumpsInAndWaitsForTheKey) {
  struct Case { int m, frames; float x, y; };
  for (Case c : {Case{0, 14, 85, 149}, Case{1, 24, 140, 204}}) {
    Over o(c.m);
    o.plat.HoldKeys(kKeySpace);  // held from the start: read only once the wait begins
    ASSERT_GT(o.Until(2), 0);
    EXPECT_EQ(o.Until(3), c.frames) << c.m;
    EXPECT_EQ(o.g->SceneX[8], c.x);
    EXPECT_EQ(o.g->SceneY[8], c.y);
    EXPECT_EQ(o.Call(), 4);
    EXPECT_EQ(o.g->LifeIconFrame, 3);
    // The first call of the wait already sees the key.
    EXPECT_EQ(o.Call(), 5);
    EXPECT_EQ(o.g->LifeIconFrame, 6);
    EXPECT_EQ(o.g->QuitToTitle, 0);
  }
}

TEST(GameOver, WaitAnimatesUntilTheKeyThenEverythingDropsOut) {
  for (int m : {0, 1}) {
    Over o(m);
    ASSERT_GT(o.Until(4), 0);
    std::vector<int> cells;
    for (int n = 0; n < 30; ++n) {
      EXPECT_EQ(o.Call(), 4);
      cells.push_back(IntI(o.g->LifeIconFrame));
    }
    for (int c : cells) EXPECT_TRUE(c >= 3 && c <= 5) << c;
    o.plat.HoldKeys(kKeyZ);
    EXPECT_EQ(o.Call(), 5);
    o.plat.HoldKeys(0);
    // The game ends on the call in which letter 7's y less 53 first passes the bottom.
    int calls = 0;
    float before = 0;
    while (o.g->QuitToTitle == 0 && calls < 500) {
      before = o.g->SceneY[7];
      o.Call();
      ++calls;
    }
    ASSERT_EQ(o.g->QuitToTitle, 1);
    EXPECT_GT(o.g->SceneY[7] - 53, 240 + 240 * m);
    EXPECT_LE(before - 53, 240 + 240 * m);
  }
}

TEST(GameOver, DrawsLettersAndFromStepTwoTheCharacter) {
  Over o(0);
  for (int i = 0; i < 8; ++i)
    for (int y = 0; y < 53; ++y)
      for (int x = 0; x < 32; ++x) {
        o.g->pic.Over.Set(32 * i + x, y, 0x300000 + i);
        o.g->pic.Over.Set(32 * i + x, 53 + y, kBlack);
      }
  for (int y = 0; y < 26; ++y)
    for (int x = 0; x < 140; ++x) {
      o.g->pic.Enemy[1].Set(x, y, 0x005000);
      o.g->pic.Enemy[1].Set(x, 26 + y, kBlack);
    }
  ASSERT_GT(o.Until(3), 0);
  o.g->pic.UraM.Clear(kWhite);
  o.Call();
  Surface& u = o.g->pic.UraM;
  EXPECT_EQ(u.Get(29 + 1, 88 + 1), 0x300000u);
  EXPECT_EQ(u.Get(263 + 1, 88 + 1), 0x300007u);
  EXPECT_EQ(u.Get(85 + 1, 149 + 1), 0x005000u);
}
