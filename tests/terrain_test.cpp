// SPDX-License-Identifier: GPL-3.0-or-later
// The terrain canvases: scroll, column stamps, the lip rule and the
// collision test.
#include <gtest/gtest.h>

#include "course_tiles.hpp"
#include "support.hpp"

using namespace morvik;
using namespace morvik::test;

namespace {

constexpr uint32_t kJunk = 0xC02020;

// A game whose canvases are ready and whose column step is due.
struct Stamper {
  Fixture f;
  Game& g;
  Stamper() : g(*f.g) {
    PaintTestYuka(g.pic.Yuka);
    PrepareCanvases(g);
    g.CourseState = 1;
    g.MapCol = 0;
    g.MapRow = 0;
  }
  // The world frame's scroll and the course's column step, pictures and all.
  void Scroll(int s) {
    ScrollTerrainPictures(g.pic, s);
    ScrollTerrain(g, s);
  }
  void NextColumn() {
    DrawNextColumnPictures(g, g.pic);
    DrawNextColumn(g);
  }
  void Column(std::initializer_list<std::pair<int, int16_t>> cells) {
    for (int r = 0; r < 13; ++r) g.BlockMap[r * 51 + g.MapCol] = 0;
    for (auto [r, v] : cells) g.BlockMap[r * 51 + g.MapCol] = v;
  }
};

}  // namespace

TEST(Terrain, ScrollMovesAllThreeCanvasesAndCountsThePixels) {
  Stamper t;
  for (Surface* s : {&t.g.pic.BLOCK, &t.g.pic.BLOCKD, &t.g.pic.Color}) {
    s->Set(10, 5, kJunk);
    s->Set(1251, 7, kJunk);  // beyond the played width
  }
  t.g.ScrollAcc = 1.5f;
  t.Scroll(3);
  EXPECT_EQ(t.g.ScrollAcc, 4.5f);
  for (Surface* s : {&t.g.pic.BLOCK, &t.g.pic.BLOCKD, &t.g.pic.Color}) {
    EXPECT_EQ(s->Get(7, 5), kJunk);
    EXPECT_NE(s->Get(10, 5), kJunk);
    EXPECT_EQ(s->Get(1248, 7), kJunk);  // the last columns receive what lies beyond
    EXPECT_EQ(s->Get(1251, 7), kJunk);  // which itself stays
  }
}

TEST(Terrain, ColumnStepWaitsForAFullColumnOfScroll) {
  Stamper t;
  t.Column({{12, 1}});
  t.g.ScrollAcc = 24.9f;
  const uint32_t gen = t.g.pic.Color.Generation();
  t.NextColumn();
  EXPECT_EQ(t.g.pic.Color.Generation(), gen);
  EXPECT_EQ(t.g.CourseState, 1);
  EXPECT_EQ(t.g.MapCol, 0);
  t.g.ScrollAcc = 25.0f;
  t.NextColumn();
  EXPECT_EQ(t.g.ScrollAcc, 0.0f);
  EXPECT_EQ(t.g.MapCol, 1);
  EXPECT_NE(t.g.pic.Color.Get(1224, 310), kSolid);
  EXPECT_EQ(t.g.pic.Color.Get(1225, 310), kSolid);
  EXPECT_EQ(t.g.pic.Color.Get(1249, 310), kSolid);
  EXPECT_NE(t.g.pic.Color.Get(1250, 310), kSolid);
  // The rounding of the place halves to even: 1250 - 37.5 is 1212.5 -> 1212.
  t.Column({{12, 1}});
  t.g.ScrollAcc = 37.5f;
  t.NextColumn();
  EXPECT_EQ(t.g.pic.Color.Get(1212, 310), kSolid);
  EXPECT_NE(t.g.pic.Color.Get(1211, 310), kSolid);
}

TEST(Terrain, ColumnStepKeepsTheLipRuleAndErasesEverythingElse) {
  Stamper t;
  for (Surface* s : {&t.g.pic.BLOCK, &t.g.pic.BLOCKD, &t.g.pic.Color}) s->Clear(kJunk);
  // column at 1225: a stack of two over an empty bottom cell, values 2 and -1 elsewhere
  t.Column({{5, 1}, {6, 1}, {8, 2}, {9, -1}});
  t.g.ScrollAcc = 25;
  t.NextColumn();
  // column at 1225 again after a scroll of 25: a block alone on the bottom row
  t.Scroll(25);
  t.Column({{12, 1}});
  t.NextColumn();
  const Surface& b = t.g.pic.BLOCK;
  const Surface& m = t.g.pic.BLOCKD;
  const Surface& c = t.g.pic.Color;
  const int x1 = 1200, x2 = 1225;  // the first column has scrolled 25 left
  EXPECT_EQ(b.Get(x1, 120), kLipGreen);   // the upper block's lip
  EXPECT_EQ(b.Get(x1, 125), kBodyBrown);
  EXPECT_EQ(b.Get(x1, 147), kBodyBrown);  // the lower block's lip is under the upper body
  EXPECT_EQ(m.Get(x1, 120), kBlack);
  EXPECT_EQ(b.Get(x1, 119), kWhite);
  EXPECT_NE(c.Get(x1, 124), kSolid);
  EXPECT_EQ(c.Get(x1, 125), kSolid);
  EXPECT_EQ(c.Get(x1, 174), kSolid);
  EXPECT_NE(c.Get(x1, 175), kSolid);      // the row just under a block is open
  for (int y = 175; y < 325; ++y) {       // empty cells, values 2 and -1 included
    EXPECT_NE(c.Get(x1, y), kSolid) << y;
    EXPECT_NE(c.Get(x1, y), kJunk) << y;
  }
  for (int y = 0; y < 325; ++y) {
    if (y >= 120 && y < 175) continue;
    EXPECT_EQ(b.Get(x1, y), kWhite) << y;  // an empty bottom row is white down to 324
    EXPECT_EQ(m.Get(x1, y), kWhite) << y;
    EXPECT_NE(c.Get(x1, y), kJunk) << y;
  }
  EXPECT_EQ(b.Get(x1, 325), kJunk);          // below the course nothing is drawn
  EXPECT_EQ(b.Get(x2, 295), kLipGreen);      // a lone block shows its lip
  EXPECT_EQ(b.Get(x2, 294), kWhite);
  EXPECT_NE(c.Get(x2, 299), kSolid);
  EXPECT_EQ(c.Get(x2, 300), kSolid);
  EXPECT_EQ(c.Get(x2, 324), kSolid);
}

TEST(Terrain, SegmentEndsAfterColumnFiftyAndTheNextFileIsOpenedOnAFrameOfItsOwn) {
  Stamper t;
  t.g.MapCol = 49;
  t.g.ScrollAcc = 60;
  t.NextColumn();
  EXPECT_EQ(t.g.CourseState, 1);
  t.NextColumn();
  EXPECT_EQ(t.g.CourseState, 2);
  EXPECT_EQ(t.g.MapCol, 0);
  EXPECT_EQ(t.g.MapRow, 0);
  EXPECT_EQ(t.g.ScrollAcc, 10.0f);
  EXPECT_FALSE(t.g.stage.IsOpen());
  NextSegment(t.g);
  EXPECT_EQ(t.g.CourseState, 0);
  EXPECT_TRUE(t.g.stage.IsOpen());
  EXPECT_EQ(t.g.stage.Position(), 0);
}

TEST(Terrain, IsSolidOnTheTopRowOfABlockNotOnItsLip) {
  Stamper t;
  t.Column({{7, 1}});
  t.g.ScrollAcc = 25;
  t.NextColumn();
  EXPECT_FALSE(IsSolid(t.g, 1230, 174));
  EXPECT_TRUE(IsSolid(t.g, 1230, 175));
  EXPECT_TRUE(IsSolid(t.g, 1230, 199));
  EXPECT_FALSE(IsSolid(t.g, 1230, 200));
  // Coordinates round to nearest, halves to even.
  EXPECT_FALSE(IsSolid(t.g, 1230, 174.5));
  EXPECT_TRUE(IsSolid(t.g, 1230, 174.6));
  EXPECT_FALSE(IsSolid(t.g, 1224.5, 180));
  EXPECT_TRUE(IsSolid(t.g, 1224.6, 180));
  EXPECT_TRUE(IsSolid(t.g, 1248.5, 180));
  EXPECT_FALSE(IsSolid(t.g, 1249.5, 180));
  EXPECT_FALSE(IsSolid(t.g, -1, 180));
  EXPECT_FALSE(IsSolid(t.g, 1230, 329));
}

TEST(Terrain, TheCarriedBlockTilesHoldTheCollisionColours) {
  Fixture f;  // the tiles as the game carries them
  const Surface& y = f.g->pic.Yuka;
  for (int x = 0; x < 25; ++x) {
    for (int r = 0; r < 30; ++r) {
      EXPECT_EQ(y.Get(50 + x, r) == kSolid, r >= 5) << "block collision " << x << "," << r;
      EXPECT_EQ(y.Get(25 + x, r), kBlack) << "block mask " << x << "," << r;
    }
    for (int r = 0; r < 25; ++r) {
      EXPECT_NE(y.Get(75 + x, r), kSolid) << "empty collision " << x << "," << r;
      EXPECT_EQ(y.Get(100 + x, r), kWhite) << "empty " << x << "," << r;
    }
  }
}
