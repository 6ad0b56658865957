// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a game: the wipe, the resets, the first segment and the second
// segment's file left open.
#include <gtest/gtest.h>

#include <algorithm>

#include "course_tiles.hpp"
#include "support.hpp"

using namespace morvik;
using namespace morvik::test;

namespace {

// Notes, at every yield, each change of the visible picture: when it came
// and how far from the left it is white.
class WipeWatcher : public HeadlessPlatform {
 public:
  explicit WipeWatcher(uint32_t start, uint32_t extraPerYield = 0) : HeadlessPlatform(start), extra_(extraPerYield) {}
  struct Step {
    uint32_t at;
    int white;
  };
  void Yield() override {
    Note();
    HeadlessPlatform::Yield();
    if (extra_) WaitUntil(Clock() + extra_);  // a slow machine
  }
  void Note() {
    const Surface* m = Screen();
    if (!m || (seen_ && m->Generation() == gen_)) return;
    seen_ = true;
    gen_ = m->Generation();
    int w = 0;
    while (w < m->Width() && m->Get(w, 100) == kWhite) ++w;
    steps.push_back({Clock(), w});
  }
  std::vector<Step> steps;

 private:
  uint32_t extra_;
  bool seen_ = false;
  uint32_t gen_ = 0;
};

struct WipeRun {
  WipeWatcher plat;
  TempDir dir;
  std::unique_ptr<Game> g;
  WipeRun(uint8_t mode, uint32_t extra) : plat(5000, extra) {
    g = std::make_unique<Game>(plat);
    g->dataDir = dir.Path();
    plat.AttachScreen(&g->pic.M);
    g->pic.M.Clear(0xC02020);
    g->ScreenMode = mode;
    PrepareCanvases(*g);
    StartStage(*g);
    plat.Note();
  }
};

}  // namespace

TEST(StageStart, WipeStripsAndTheirTiming) {
  struct Case {
    uint8_t mode;
    int strips, w, lastX;
  };
  for (Case c : {Case{1, 41, 8, 320}, Case{0, 43, 10, 420}})
    for (uint32_t extra : {0u, 17u}) {
      WipeRun run(c.mode, extra);
      const auto& st = run.plat.steps;
      ASSERT_EQ(static_cast<int>(st.size()), c.strips + 1) << "mode " << int(c.mode);
      EXPECT_EQ(st[0].white, 0);
      for (int k = 1; k <= c.strips; ++k) {
        const int x = (k - 1) * c.w;  // the strip drawn by this step
        EXPECT_EQ(st[k].white, std::min(2 * x + c.w, 425)) << "step " << k;
        EXPECT_GE(st[k].at - st[k - 1].at, 41u) << "step " << k;
      }
      EXPECT_EQ((c.strips - 1) * c.w, c.lastX);
      EXPECT_EQ(st.back().white, 425);
      if (extra == 0) {
        // At the pace of a fast machine: one step every 41 ms exactly.
        EXPECT_EQ(st.back().at - st[0].at, 41u * c.strips);
      }
    }
}

TEST(StageStart, ResetsEveryPerGameVariableAndLeavesTheRestAlone) {
  Fixture f;
  Game& g = *f.g;
  g.Lives = 0; g.Score = 123456; g.HeroX = -7; g.HeroY = 999; g.HeroVY = 3.1f; g.HeroFrame = 2.2f; g.HeroState = 4;
  g.CloudDrift = 9; g.PopNext = 30; g.Invincible = 50; g.LabelIndex = 3; g.LabelTimer = 8; g.BallMax = 9;
  g.BallRate = 6; g.MinimapY = 1; g.FrameSlowdown = 25; g.MaxCombo = 7; g.BallNext = 4; g.SlotCount = 3;
  g.KillCount = 32767; g.SceneStep = 12; g.ScrollAcc = 44.5f; g.ScrollSpeed = 4; g.ViewX = 5; g.ViewY = 88;
  g.MapCol = 33; g.MapRow = 7; g.CourseState = 2;
  for (int i = 0; i <= 12; ++i) {
    g.SceneX[i] = 100.0f + i; g.SceneY[i] = 200.0f + i; g.SceneV[i] = 300.0f + i; g.ShotHits[i] = 9;
  }
  for (int i = 0; i <= 10; ++i) { g.BallX[i] = 1; g.BallY[i] = 2; g.BallState[i] = 3; g.BallVX[i] = 4; g.BallVY[i] = 5; }
  for (int i = 0; i <= 40; ++i) {
    g.EnemyX[i] = 1; g.EnemyY[i] = 2; g.EnemyFrame[i] = 3; g.EnemyVY[i] = 4; g.EnemyKind[i] = 5; g.EnemyState[i] = 6;
    g.ThrowX[i] = 7; g.ThrowY[i] = 8; g.ThrowFrame[i] = 9; g.ThrowState[i] = 10; g.ThrowVY[i] = 11;
    g.PopX[i] = 12; g.PopY[i] = 13; g.PopValue[i] = 14;
  }
  f.Start();
  EXPECT_EQ(g.Lives, 3); EXPECT_EQ(g.Score, 0); EXPECT_EQ(g.HeroX, 150.0f); EXPECT_EQ(g.HeroY, 30.0f);
  EXPECT_EQ(g.HeroVY, 0.0f); EXPECT_EQ(g.HeroFrame, 0.0f); EXPECT_EQ(g.HeroState, 0);
  EXPECT_EQ(g.CloudDrift, 0); EXPECT_EQ(g.PopNext, 1); EXPECT_EQ(g.Invincible, 0); EXPECT_EQ(g.LabelIndex, 0);
  EXPECT_EQ(g.LabelTimer, 0); EXPECT_EQ(g.BallMax, 2); EXPECT_EQ(g.BallRate, 0); EXPECT_EQ(g.MinimapY, 36);
  EXPECT_EQ(g.FrameSlowdown, 0); EXPECT_EQ(g.MaxCombo, 100); EXPECT_EQ(g.BallNext, 0); EXPECT_EQ(g.SlotCount, 40);
  EXPECT_EQ(g.KillCount, 0); EXPECT_EQ(g.SceneStep, 0); EXPECT_EQ(g.ScrollAcc, 0.0f); EXPECT_EQ(g.ScrollSpeed, 2);
  EXPECT_EQ(g.ViewX, 0); EXPECT_EQ(g.ViewY, 0); EXPECT_EQ(g.MapCol, 0); EXPECT_EQ(g.MapRow, 0);
  EXPECT_EQ(g.CourseState, 0); EXPECT_EQ(g.FileNumber, 1);
  EXPECT_GE(g.SegmentNo, 1); EXPECT_LE(g.SegmentNo, 30);
  for (int i = 0; i <= 10; ++i) {
    EXPECT_EQ(g.SceneX[i], 0.0f); EXPECT_EQ(g.SceneY[i], 0.0f); EXPECT_EQ(g.SceneV[i], 0.0f);
    EXPECT_EQ(g.ShotHits[i], 0); EXPECT_EQ(g.BallX[i], 0.0f); EXPECT_EQ(g.BallY[i], 0.0f);
    EXPECT_EQ(g.BallState[i], 0); EXPECT_EQ(g.BallVX[i], 0.0f); EXPECT_EQ(g.BallVY[i], 0.0f);
  }
  for (int i = 11; i <= 12; ++i) {  // the title screen's own elements
    EXPECT_EQ(g.SceneX[i], 100.0f + i); EXPECT_EQ(g.SceneY[i], 200.0f + i); EXPECT_EQ(g.SceneV[i], 300.0f + i);
    EXPECT_EQ(g.ShotHits[i], 9);
  }
  for (int i = 1; i <= 40; ++i) {
    EXPECT_EQ(g.EnemyX[i], 0.0f); EXPECT_EQ(g.EnemyKind[i], 0.0f); EXPECT_EQ(g.EnemyState[i], 0);
    EXPECT_EQ(g.ThrowState[i], 0); EXPECT_EQ(g.ThrowVY[i], 0.0f); EXPECT_EQ(g.PopValue[i], 0);
    EXPECT_EQ(g.PopX[i], 0.0f); EXPECT_EQ(g.EnemyFrame[i], 0.0f);
  }
  // Slot 0 is not part of the table and keeps what it had.
  EXPECT_EQ(g.EnemyX[0], 1.0f); EXPECT_EQ(g.EnemyKind[0], 5.0f); EXPECT_EQ(g.PopValue[0], 14);
}

TEST(StageStart, StartsTheMusicAndLeavesTheSecondSegmentOpenAtItsStart) {
  Fixture f;
  WriteAllSegments(f.dir.Path(), FlatFloor());
  f.Start();
  const auto& log = f.plat.AudioLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "midi open " + f.dir.Path() + "/stage.mid"), log.end());
  EXPECT_EQ(f.g->MusicLength, 84970);
  EXPECT_TRUE(f.g->stage.HoldsFile());
  EXPECT_EQ(f.g->stage.Position(), 0);
  EXPECT_EQ(f.g->CourseState, 0);
}

TEST(StageStart, FirstSegmentComesFromOneToTwelveWithTheEndsHalfAsOften) {
  Fixture f;
  Game& g = *f.g;
  // A tiny screen keeps the wipe cheap; each file names itself in its first cell.
  g.pic.M.Create(1, 1, kWhite);
  g.pic.UraM.Create(1, 1, kWhite);
  // Two bytes each: the rest of a short file reads as empty cells.
  for (int n = 1; n <= 30; ++n) {
    std::FILE* o = std::fopen(StageFileName(f.dir.Path(), n).c_str(), "wb");
    ASSERT_NE(o, nullptr);
    const unsigned char v[2] = {static_cast<unsigned char>(n), 0};
    std::fwrite(v, 1, 2, o);
    std::fclose(o);
  }
  std::array<int, 31> first{};
  const int runs = 4400;
  for (int i = 0; i < runs; ++i) {
    StartStage(g);
    ASSERT_GE(g.BlockMap[0], 1);
    ASSERT_LE(g.BlockMap[0], 12);
    ++first[g.BlockMap[0]];
  }
  const double mid = (first[2] + first[3] + first[4] + first[5] + first[6] + first[7] + first[8] + first[9] +
                      first[10] + first[11]) / 10.0;
  EXPECT_NEAR(mid, runs / 11.0, runs / 11.0 * 0.12);
  EXPECT_NEAR(first[1] / mid, 0.5, 0.13);
  EXPECT_NEAR(first[12] / mid, 0.5, 0.13);
}

TEST(SegmentCycle, LaterSegmentsComeFromOneToThirtyWithTheEndsHalfAsOften) {
  Fixture f;
  std::array<int, 31> n{};
  const int draws = 29000;
  for (int i = 0; i < draws; ++i) {
    PickSegment(*f.g);
    ASSERT_GE(f.g->SegmentNo, 1);
    ASSERT_LE(f.g->SegmentNo, 30);
    ++n[f.g->SegmentNo];
  }
  double mid = 0;
  for (int k = 2; k <= 29; ++k) mid += n[k];
  mid /= 28;
  EXPECT_NEAR(mid, draws / 29.0, draws / 29.0 * 0.06);
  EXPECT_NEAR(n[1] / mid, 0.5, 0.1);
  EXPECT_NEAR(n[30] / mid, 0.5, 0.1);
}

TEST(StageStart, StampsTheFirstSegmentBottomUpWithOneLipPerStack) {
  Fixture f;
  PaintTestYuka(f.g->pic.Yuka);
  SegmentRows rows(13, std::string(51, '.'));
  rows[11][3] = '#';  // a stack of two
  rows[12][3] = '#';
  rows[12][5] = '#';  // a block alone
  rows[0][8] = '#';   // on the top row: its lip falls above the picture
  auto cells = CellsFromRows(rows);
  cells[12 * 51 + 7] = 2;  // neither 2 nor -1 is a block
  cells[12 * 51 + 9] = -1;
  for (int n = 1; n <= 30; ++n) WriteSegmentCells(StageFileName(f.dir.Path(), n), cells);
  f.Start();
  const Surface& b = f.g->pic.BLOCK;
  const Surface& c = f.g->pic.Color;
  EXPECT_EQ(b.Get(80, 270), kLipGreen);    // the upper block's lip
  EXPECT_EQ(b.Get(80, 297), kBodyBrown);   // the lower lip is covered by the upper body
  EXPECT_EQ(b.Get(130, 297), kLipGreen);   // a lone block shows its lip
  EXPECT_EQ(b.Get(130, 294), kWhite);
  EXPECT_EQ(b.Get(200, 0), kBodyBrown);
  EXPECT_EQ(b.Get(180, 310), kWhite);      // value 2
  EXPECT_EQ(b.Get(230, 310), kWhite);      // value -1
  EXPECT_EQ(f.g->pic.BLOCKD.Get(80, 270), kBlack);
  EXPECT_NE(c.Get(80, 274), kSolid);       // a lip is never solid
  EXPECT_EQ(c.Get(80, 275), kSolid);
  EXPECT_EQ(c.Get(80, 299), kSolid);       // one solid body through the stack
  EXPECT_EQ(c.Get(80, 324), kSolid);
  EXPECT_NE(c.Get(80, 325), kSolid);
  EXPECT_NE(c.Get(130, 299), kSolid);
  EXPECT_EQ(c.Get(130, 300), kSolid);
  EXPECT_EQ(c.Get(200, 0), kSolid);
}

TEST(StageStart, AnEmptyFirstSegmentLeavesTheCanvasesAsCleared) {
  Fixture f;  // no segment files at all: every segment is empty
  PaintTestYuka(f.g->pic.Yuka);
  f.Start();
  for (const Surface* s : {&f.g->pic.BLOCK, &f.g->pic.BLOCKD, &f.g->pic.Color}) {
    const uint32_t want = s == &f.g->pic.Color ? kBlack : kWhite;
    for (int y = 0; y < s->Height(); ++y)
      for (int x = 0; x < s->Width(); ++x) ASSERT_EQ(s->Get(x, y), want) << x << "," << y;
  }
  EXPECT_EQ(f.g->CourseState, 0);
}

TEST(StageStart, AGameLeftWhileStreamingDoesNotLeakItsFileIntoTheNext) {
  Fixture f;
  WriteAllSegments(f.dir.Path(), FlatFloor());
  f.Start();
  StreamCells(*f.g);
  ASSERT_TRUE(f.g->stage.HoldsFile());
  EndGameCourse(*f.g);
  EXPECT_FALSE(f.g->stage.HoldsFile());
  f.Start();
  EXPECT_EQ(f.g->FileNumber, 1);
  EXPECT_EQ(f.g->stage.Position(), 0);
}
