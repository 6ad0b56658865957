// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a game: the white wipe, the per-game resets and the first segment.
#include <algorithm>

#include "game.hpp"

namespace morvik {

namespace {

// The wipe: the old picture slides right by w a step while white fills the
// screen from the left at twice that rate. Each step comes at least 41 ms
// after the one before; the window stays responsive while it waits.
void DrawWipeStep(const Game& g, Sheets& p, int w) {
  const int mw = p.M.Width(), mh = p.M.Height();
  const int x = Rnd(g.SceneX[0]);
  DrawOpaque(p.UraM, x, 0, w, mh, p.WhiteB, 0, 0);
  DrawOpaque(p.M, x, 0, mw, mh, p.UraM, 0, 0);
}

void Wipe(Game& g) {
  const int m = g.ScreenMode == 0 ? 0 : 1;
  const int w = 10 - 2 * m;
  const double end = 425 - 105 * m;
  uint32_t stepTime = g.plat.Clock();
  if (g.pictures) DrawOpaque(g.pic.UraM, 0, 0, g.pic.M.Width(), g.pic.M.Height(), g.pic.M, 0, 0);
  for (;;) {
    for (;;) {
      const uint32_t now = g.plat.Clock();
      if (now - stepTime >= 41u) break;
      YieldToSystem(g);
      if (g.plat.Clock() - stepTime < 41u)
        g.plat.WaitUntil(std::min<uint32_t>(stepTime + 41u, g.plat.Clock() + 10u));
    }
    stepTime = g.plat.Clock();
    if (g.pictures) DrawWipeStep(g, g.pic, w);
    g.SceneX[0] = static_cast<float>(static_cast<double>(g.SceneX[0]) + w);
    if (g.SceneX[0] > end) break;
  }
}

// Zeroes elements [from, to] of each array.
template <class... Arrays>
void ZeroEach(int from, int to, Arrays&... arrays) {
  for (int i = from; i <= to; ++i) ((arrays[static_cast<size_t>(i)] = 0), ...);
}

void ResetForGame(Game& g) {
  g.CloudDrift = 0;
  g.PopNext = 1;
  g.Lives = 3;
  g.Invincible = 0;
  g.LabelIndex = 0;
  g.LabelTimer = 0;
  g.Score = 0;
  g.BallMax = 2;
  g.BallRate = 0;
  g.MinimapY = 36;
  g.FrameSlowdown = 0;
  g.MaxCombo = 100;
  g.HeroX = 150.0f;
  g.HeroY = 30.0f;
  g.HeroFrame = 0.0f;
  g.HeroVY = 0.0f;
  g.HeroState = 0;
  g.MapCol = 0;
  g.MapRow = 0;
  g.CourseState = 0;
  g.BallNext = 0;
  g.SlotCount = 40;
  g.KillCount = 0;
  // Elements 11 and 12 of the scene table belong to the title screen and stay.
  ZeroEach(0, 10, g.BallX, g.BallY, g.BallState, g.BallVX, g.BallVY, g.ShotHits, g.SceneX, g.SceneY, g.SceneV);
  // Slot 0 of the enemy table is never used and is left alone.
  ZeroEach(1, 40, g.EnemyX, g.EnemyY, g.EnemyFrame, g.EnemyVY, g.EnemyKind, g.EnemyState, g.ThrowX, g.ThrowY,
           g.ThrowFrame, g.ThrowState, g.ThrowVY, g.PopX, g.PopY, g.PopValue);
  g.SceneStep = 0;
}

// Stamps every block of BlockMap into the collision map, or into the
// terrain's two pictures (`pictures`), bottom row first, so that a block's
// 5-pixel lip shows only where no block sits on it.
void StampSegment(const int16_t* map, Sheets& p, bool pictures) {
  for (int r = kSegmentRows - 1; r >= 0; --r)
    for (int c = kSegmentCols - 1; c >= 0; --c) {
      if (map[r * kSegmentCols + c] != 1) continue;
      const int x = 25 * c, y = 25 * r - 5;
      if (pictures) {
        DrawOpaque(p.BLOCK, x, y, 25, 30, p.Yuka, 0, 0);
        DrawOpaque(p.BLOCKD, x, y, 25, 30, p.Yuka, 25, 0);
      } else {
        DrawOpaque(p.Color, x, y, 25, 30, p.Yuka, 50, 0);
      }
    }
}

void StampFirstSegment(Game& g) { StampSegment(g.BlockMap, g.pic, false); }
void DrawFirstSegment(const Game& g, Sheets& p) { StampSegment(g.BlockMap, p, true); }

}  // namespace

void StartStage(Game& g) {
  Reseed(g);
  g.SceneX[0] = 0.0f;
  Wipe(g);
  ResetForGame(g);
  // A file a game left open is closed before the next one starts, so the
  // stage file always takes the first free number.
  g.stage.Close();
  g.FileNumber = 1;
  g.SegmentNo = static_cast<int16_t>(Rnd(1.0 + 11.0 * g.rng.Uniform()));
  g.ScrollAcc = 0.0f;
  g.ScrollSpeed = 2;
  g.ViewY = 0;
  g.ViewX = 0;
  PlayMusic(g, "stage", 84970);
  g.stage.OpenSegment(g.dataDir, g.SegmentNo);
  for (int k = 0; k < kSegmentCells; ++k) g.BlockMap[k] = g.stage.ReadCell();
  g.stage.Close();
  if (g.pictures) DrawFirstSegment(g, g.pic);
  StampFirstSegment(g);
  g.MapCol = 0;
  g.MapRow = 0;
  g.CourseState = 0;
  PickSegment(g);
  g.stage.OpenSegment(g.dataDir, g.SegmentNo);
}

}  // namespace morvik
