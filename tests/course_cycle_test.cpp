// SPDX-License-Identifier: GPL-3.0-or-later
// The segment cycle over many frames: streaming, stamping, opening the next
// file, and the course that keeps coming without a gap.
#include <gtest/gtest.h>

#include "course_tiles.hpp"
#include "support.hpp"

using namespace morvik;
using namespace morvik::test;

namespace {

constexpr uint32_t kUnstamped = 0xFF00FE;

// Segment n: a floor, and blocks at a height and spacing of its own, so
// that any misplaced column shows.
std::vector<int16_t> MarkedSegment(int n) {
  std::vector<int16_t> cells(663, 0);
  for (int c = 0; c < 51; ++c) {
    cells[12 * 51 + c] = 1;
    if ((c * 7 + n) % 5 == 0) cells[(n % 11 + 1) * 51 + c] = 1;
    if (c == n) cells[0 * 51 + c] = 1;
  }
  return cells;
}

// The course steps of a play frame, in the play loop's order: the world
// frame's scroll, then the course step.
void CourseFrame(Game& g, int s) {
  ScrollTerrain(g, s);
  switch (g.CourseState) {
    case 0: StreamCells(g); break;
    case 1: DrawNextColumn(g); break;
    case 2: NextSegment(g); break;
  }
}

// Whatever lies beyond the played width shows as this colour if it ever
// scrolls into view unstamped. (The rows below the course, 325 to 328, are
// never stamped: they keep the colour the canvases were cleared to.)
void MarkBeyond(Game& g) {
  for (Surface* s : {&g.pic.BLOCK, &g.pic.BLOCKD, &g.pic.Color})
    for (int y = 0; y < 325; ++y)
      for (int x = 1250; x < s->Width(); ++x) s->Set(x, y, kUnstamped);
}

bool VisibleFieldIsStamped(const Game& g, int& badX) {
  for (const Surface* s : {&g.pic.BLOCK, &g.pic.BLOCKD, &g.pic.Color})
    for (int x = 0; x < 425; ++x)
      for (int y : {0, 100, 200, 310, 324})
        if (s->Get(x, y) == kUnstamped) {
          badX = x;
          return false;
        }
  return true;
}

}  // namespace

TEST(CourseCycle, StreamingReadsFourCellsAFrameFor166Frames) {
  Fixture f;
  std::vector<int16_t> cells(663);
  for (int k = 0; k < 663; ++k) cells[k] = static_cast<int16_t>(k % 3 == 0 ? 1 : k);
  for (int n = 1; n <= 30; ++n) WriteSegmentCells(StageFileName(f.dir.Path(), n), cells);
  f.Start();
  Game& g = *f.g;
  int calls = 0;
  while (g.CourseState == 0 && calls < 1000) {
    const int before = g.stage.Position();
    StreamCells(g);
    ++calls;
    if (g.CourseState == 0) {
      ASSERT_EQ(g.stage.Position() - before, 4);
    }
  }
  EXPECT_EQ(calls, 166);
  EXPECT_EQ(g.CourseState, 1);
  EXPECT_EQ(g.MapCol, 0);
  EXPECT_EQ(g.MapRow, 0);
  EXPECT_FALSE(g.stage.IsOpen());
  EXPECT_FALSE(g.stage.HoldsFile());
  for (int k = 0; k < 663; ++k) ASSERT_EQ(g.BlockMap[k], cells[k]) << k;
}

TEST(CourseCycle, StampingAtTheStartingSpeedCatchesUpFourteenColumnsThenOneEveryFewFrames) {
  Fixture f;
  WriteAllSegments(f.dir.Path(), FlatFloor());
  PaintTestYuka(f.g->pic.Yuka);
  f.Start();
  Game& g = *f.g;
  std::vector<std::pair<int, float>> stamps;  // frame, ScrollAcc the column step saw
  for (int frame = 1; frame <= 200; ++frame) {
    ScrollTerrain(g, 2);
    if (g.CourseState == 1) {
      const float acc = g.ScrollAcc;
      const int col = g.MapCol;
      DrawNextColumn(g);
      if (g.MapCol != col) stamps.push_back({frame, acc});
    } else if (g.CourseState == 0) {
      StreamCells(g);
    }
  }
  ASSERT_GE(stamps.size(), 16u);
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(stamps[i].first, 167 + i);
    EXPECT_EQ(stamps[i].second, 334.0f - 23.0f * i);
  }
  // ScrollAcc is then 10, and the next stamp comes 8 frames later at 26;
  // after it 1 is left, and the one after needs 12 frames.
  EXPECT_EQ(stamps[14].first, 180 + 8);
  EXPECT_EQ(stamps[14].second, 26.0f);
  EXPECT_EQ(stamps[15].first - stamps[14].first, 12);
  EXPECT_EQ(stamps[15].second, 25.0f);
}

TEST(CourseCycle, TheCourseKeepsComingAtEverySpeedWithoutAGapOrAMisplacedColumn) {
  Fixture f;
  for (int n = 1; n <= 30; ++n) WriteSegmentCells(StageFileName(f.dir.Path(), n), MarkedSegment(n));
  PaintTestYuka(f.g->pic.Yuka);
  f.Start();
  Game& g = *f.g;
  MarkBeyond(g);
  std::vector<int> streamed{g.SegmentNo};  // the segments after the first, in order
  const std::vector<int16_t> first(g.BlockMap, g.BlockMap + 663);
  long total = 0;   // pixels scrolled
  int stamped = 0;  // columns stamped since the start
  int opened = 0;
  int prevState = g.CourseState;
  for (int frame = 1; frame <= 3000; ++frame) {
    // Calm stretches at 2 with gusts at 3 and 4.
    const int phase = frame % 700;
    const int s = phase < 400 ? 2 : phase < 550 ? 3 : 4;
    const int col = g.MapCol;
    const int state = g.CourseState;
    CourseFrame(g, s);
    total += s;
    if (state == 1 && g.MapCol != col) ++stamped;
    if (state == 2) {
      ASSERT_EQ(prevState, 1) << "frame " << frame;
      ASSERT_EQ(g.CourseState, 0);
      streamed.push_back(g.SegmentNo);
      ++opened;
    }
    prevState = state;
    int bad = 0;
    ASSERT_TRUE(VisibleFieldIsStamped(g, bad)) << "frame " << frame << ": an unstamped strip at x " << bad;
    // Every visible cell is the course's own: the first segment up to its
    // column 49, then the streamed ones 51 columns each.
    for (int x = 0; x < 425; x += 5) {
      const long cx = x + total;
      int16_t v;
      if (cx < 1250) {
        v = -1;
        for (int r = 0; r < 13; ++r) {
          const bool want = first[r * 51 + cx / 25] == 1;
          ASSERT_EQ(g.pic.Color.Get(x, 25 * r + 12) == kSolid, want) << "frame " << frame << " x " << x;
        }
        continue;
      }
      const long k = (cx - 1250) / 25;
      ASSERT_LT(k, stamped) << "frame " << frame << ": x " << x << " shows a column not yet stamped";
      const std::vector<int16_t> seg = MarkedSegment(streamed[k / 51]);
      for (int r = 0; r < 13; ++r) {
        v = seg[r * 51 + k % 51];
        ASSERT_EQ(g.pic.Color.Get(x, 25 * r + 12) == kSolid, v == 1)
            << "frame " << frame << " x " << x << " row " << r << " segment " << streamed[k / 51];
      }
    }
  }
  EXPECT_GE(opened, 4);
}

TEST(CourseCycle, ThePlayLoopKeepsTheCourseComingForThreeThousandFrames) {
  Fixture f;
  WriteAllSegments(f.dir.Path(), FlatFloor());
  f.Start();
  Game& g = *f.g;
  MarkBeyond(g);
  f.plat.HoldKeys(0);
  int segments = 0;
  for (int frame = 1; frame <= 3000; ++frame) {
    const int state = g.CourseState;
    PlayFrame(g);
    if (state == 2) ++segments;
    int bad = 0;
    ASSERT_TRUE(VisibleFieldIsStamped(g, bad)) << "frame " << frame << ": an unstamped strip at x " << bad;
  }
  EXPECT_GE(segments, 3);
}
